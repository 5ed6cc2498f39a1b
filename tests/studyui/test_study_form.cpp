// The Study form as a user meets it: a study file written outside the program is never replaced
// unasked, "Open study..." brings a study file and its results back, the form offers what it
// showed last, frequencies are in MHz, and too few output points for the load are pointed out.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QDoubleSpinBox>
#include <QComboBox>
#include <QtTest>

#include "OstrelDoc.h"
#include "PlotWidget.h"
#include "ProjectFormat.h"
#include "StudyCommands.h"
#include "StudyDialog.h"
#include "StudyLauncher.h"
#include "StudyTestSupport.h"
#include "StudyUser.h"
#include "StudyWindow.h"
#include "../GuiTestMain.h"

using namespace studytest;

namespace {

class CScriptedChooser : public IFileChooser {
public:
    std::optional<std::string> answer;
    FileDialogRequest asked;
    std::optional<std::string> ChooseFile(const FileDialogRequest& request) override {
        asked = request;
        return answer;
    }
};

void LoadDocument(COstrelDoc& doc, const CTempProject& p) {
    ProjectData data;
    ProjectReadError why;
    QVERIFY(ParseProject(CompositeKind(), kSharedPlyProject, data, &why));
    ApplyProject(CompositeKind(), data, doc);
    doc.m_szStartDir = p.Dir();
}

// The issue's own study, written by hand and run from a terminal.
std::string RunCliStudy(const CTempProject& p) {
    p.Write("input/plate.dat", kSharedPlyProject);
    const std::string file = p.Write("input/cli.study.toml", "project = \"plate.dat\"\nname = \"cli\"\nsolver = \"" +
                                                                 std::string(FAKE_SOLVERS) +
                                                                 "/receivers_solver\"\n[receivers]\nfrom = 80\n"
                                                                 "to = 120\ncount = 5\n");
    StudyCommandIO io;
    if (StudyRunCommand(file, io) != 0)
        qWarning("the terminal's study did not run");
    return file;
}

}  // namespace

class TestStudyForm : public QObject {
    Q_OBJECT
private slots:
    void init() { qputenv("PEMBLAR_STUDY", PEMBLAR_STUDY_PATH); }
    void cleanup() { qunsetenv("PEMBLAR_STUDY"); }

    void aStudyFileOfTheSameNameIsNotReplacedUnasked() {
        CTempProject p;
        const std::string file = RunCliStudy(p);
        const std::string before = ReadAll(file);
        COstrelDoc doc;
        LoadDocument(doc, p);
        StudyLaunchHooks hooks;
        CStudyUser user;
        hooks.modals = &user;
        user.runForm = [](QDialog& form) {
            auto& f = static_cast<CStudyDialog&>(form);
            f.m_name->setText(QStringLiteral("cli"));
            f.accept();
            return f.result();
        };
        QStringList asked;
        user.ask = [&](const QString& text) {
            asked << text;
            return int(QMessageBox::No);
        };
        QVERIFY(!OnStudy(doc, nullptr, hooks));
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked[0].contains(QStringLiteral("receiving points: 5 values from 80 to 120 mm in the file, "
                                                  "21 values from 0 to 10 mm in the form")),
                 qPrintable(asked[0]));
        QVERIFY2(asked[0].contains(QStringLiteral("Open study...")), qPrintable(asked[0]));
        QCOMPARE(ReadAll(file), before);
        QVERIFY(QFile::exists(QString::fromStdString(p.Path("output/plate/studies/cli/results.csv"))));
    }

    void openStudyBringsTheFileAndItsResultsBack() {
        CTempProject p;
        const std::string file = RunCliStudy(p);
        COstrelDoc doc;
        LoadDocument(doc, p);
        CScriptedChooser chooser;
        chooser.answer = file;
        doc.m_services.files = &chooser;
        StudyFormMemory memory;
        StudyLaunchHooks hooks;
        CStudyUser user;
        hooks.modals = &user;
        int forms = 0;
        user.runForm = [&](QDialog&) { return ++forms, int(QDialog::Rejected); };
        CStudyWindow* results = OnOpenStudy(doc, nullptr, hooks, 0, memory);
        QVERIFY(results);
        QCOMPARE(forms, 0);  // results there: the window, not the form
        QCOMPARE(QString::fromStdString(chooser.asked.startDir), QString::fromStdString(p.Path("input")));
        QVERIFY(results->IsBScan());
        QCOMPARE(results->Plot()->Content().grid->nx, 5);
        results->close();
        // The form shows the file now; OK with it changes nothing and resumes the study.
        QStringList asked;
        user.ask = [&](const QString& text) {
            asked << text;
            return int(QMessageBox::Yes);
        };
        user.runForm = [&](QDialog& form) {
            auto& f = static_cast<CStudyDialog&>(form);
            if (f.m_name->text() != QStringLiteral("cli") || !f.m_receivers->isChecked() ||
                !f.m_byCount->isChecked() || f.m_count->value() != 5 || f.m_from->value() != 80 ||
                f.m_to->value() != 120)
                return int(QDialog::Rejected);
            f.accept();
            return f.result();
        };
        const std::string before = ReadAll(file);
        CStudyWindow* resumed = OnStudy(doc, nullptr, hooks, 0, &memory);
        QVERIFY(resumed);
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked[0].contains(QStringLiteral("exists already")), qPrintable(asked[0]));
        resumed->close();
        // The fake solver the file names is kept, though the form does not show it.
        StudyDefinition written;
        std::string error;
        QVERIFY(ReadStudyFile(file, written, &error));
        QVERIFY(written.solver.find("receivers_solver") != std::string::npos);
        QVERIFY(ReadAll(file) != before);  // the form's own text, with the same meaning
    }

    void theFormOffersWhatItShowedLast() {
        CTempProject p;
        COstrelDoc doc;
        LoadDocument(doc, p);
        StudyFormMemory memory;
        StudyLaunchHooks hooks;
        CStudyUser user;
        hooks.modals = &user;
        user.runForm = [](QDialog& form) {
            auto& f = static_cast<CStudyDialog&>(form);
            f.m_name->setText(QStringLiteral("angles"));
            f.m_parameterSweep->setChecked(true);
            f.m_parameter->setCurrentIndex(0);
            f.m_layer->setValue(2);
            f.m_from->setValue(0);
            f.m_to->setValue(90);
            f.m_byCount->setChecked(true);
            f.m_count->setValue(7);
            f.m_points->setValue(301);
            return int(QDialog::Rejected);
        };
        QVERIFY(!OnStudy(doc, nullptr, hooks, 0, &memory));
        bool shown = false;
        user.runForm = [&](QDialog& form) {
            auto& f = static_cast<CStudyDialog&>(form);
            shown = f.m_name->text() == QStringLiteral("angles") && f.m_parameterSweep->isChecked() &&
                    f.m_layer->value() == 2 && f.m_to->value() == 90 && f.m_byCount->isChecked() &&
                    f.m_count->value() == 7 && f.m_points->value() == 301 && !f.m_step->isEnabled();
            return int(QDialog::Rejected);
        };
        OnStudy(doc, nullptr, hooks, 0, &memory);
        QVERIFY(shown);
    }

    void frequenciesAreInMHzAndSparseSamplingIsPointedOut() {
        CTempProject p;
        COstrelDoc doc;
        LoadDocument(doc, p);  // Sin(wt) at 3.14 rad/us (0.5 MHz) over 4 us
        CStudyDialog form(doc);
        form.show();
        form.m_parameterSweep->setChecked(true);
        form.m_parameter->setCurrentIndex(2);
        QVERIFY(form.m_parameter->currentText().contains(QStringLiteral("(MHz)")));
        QCOMPARE(form.m_unit->text(), QStringLiteral("MHz"));
        QVERIFY(!form.m_layer->isEnabled());
        form.m_from->setValue(0.1);
        form.m_to->setValue(0.6);
        form.m_step->setValue(0.5);
        // The project's own sampling (1001 points over 4 us) shows 0.6 MHz well.
        QCOMPARE(form.m_points->value(), 0);
        QVERIFY(form.m_sampling->isHidden());
        form.m_points->setValue(21);
        QVERIFY(form.m_sampling->isVisibleTo(&form));
        QVERIFY2(form.m_sampling->text().contains(QStringLiteral("21 output points over 4 us are 8.3 samples a period")),
                 qPrintable(form.m_sampling->text()));
        form.m_points->setValue(0);
        form.accept();
        QCOMPARE(form.result(), int(QDialog::Accepted));
        const StudyDefinition& def = form.Definition();
        QCOMPARE(int(def.parameters.size()), 1);
        QVERIFY(def.parameters[0].unit == FrequencyUnit::MHz);
        QCOMPARE(def.parameters[0].values, (std::vector<double>{0.1, 0.6}));
        QCOMPARE(def.points, 0);
    }

    void aFrequencySweepOfAStepLoadIsRefusedInTheForm() {
        CTempProject p;
        COstrelDoc doc;
        LoadDocument(doc, p);
        doc.m_nLoadType = 1;
        CStudyDialog form(doc);
        QString said;
        form.m_parameterSweep->setChecked(true);
        form.m_parameter->setCurrentIndex(2);
        form.m_to->setValue(1);
        form.show();
        // The refusal comes as a message box; read it and close it.
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                said = box->text();
                box->accept();
            }
        });
        form.accept();
        QVERIFY(form.result() != int(QDialog::Accepted));
        QVERIFY2(said.contains(QStringLiteral("has no frequency")), qPrintable(said));
    }

    // Rows of y belong to a point source's receiving points, and its wave fields to a project
    // that has the settings of "Wave field...": the form offers each only there, and what it
    // chose comes back through the study file.
    void thePointSourcesRowsAndFieldsAreOfferedWhereTheyFit() {
        CTempProject p;
        COstrelDoc doc;
        LoadDocument(doc, p);
        CStudyDialog bare(doc);
        QVERIFY(!bare.m_yFrom->isEnabled());
        QVERIFY(!bare.m_waveField->isEnabled());
        bare.m_source->setCurrentIndex(1);
        QVERIFY(bare.m_yFrom->isEnabled() && bare.m_yTo->isEnabled() && bare.m_yCount->isEnabled());
        QVERIFY(!bare.m_waveField->isEnabled());
        QVERIFY2(bare.m_waveField->toolTip().contains(QStringLiteral("\"Wave field...\" first")),
                 qPrintable(bare.m_waveField->toolTip()));
        bare.m_parameterSweep->setChecked(true);
        QVERIFY(!bare.m_yFrom->isEnabled());

        doc.*CompositeKind().waveField = CWaveFieldSettings{-2, 2, 5, -1, 1, 3, 0, 1, 3, 3, 3, true};
        CStudyDialog form(doc);
        form.m_source->setCurrentIndex(1);
        QVERIFY(form.m_waveField->isEnabled());
        form.m_waveField->setChecked(true);
        form.m_yFrom->setValue(-1.5);
        form.m_yTo->setValue(1.5);
        form.m_yCount->setValue(4);
        StudyDefinition def;
        std::string error;
        QVERIFY2(BuildDocumentStudy(doc, form.Choice(), def, &error), error.c_str());
        QCOMPARE(def.source, SourceKind::Point);
        QVERIFY(def.waveField);
        QCOMPARE(def.receiversY, (std::vector<double>{-1.5, -0.5, 0.5, 1.5}));
        QCOMPARE(def.receivers.size(), std::size_t(21));
        CStudyDialog again(doc);
        again.SetChoice(ChoiceFromDefinition(def));
        QCOMPARE(again.m_source->currentIndex(), 1);
        QVERIFY(again.m_waveField->isChecked());
        QCOMPARE(again.m_yCount->value(), 4);
        QCOMPARE(again.m_yTo->value(), 1.5);
        // Back to the line load: neither rows nor fields go with it.
        again.m_source->setCurrentIndex(0);
        QVERIFY(!again.m_waveField->isChecked());
        DocumentStudyChoice line = again.Choice();
        QVERIFY(BuildDocumentStudy(doc, line, def, &error));
        QVERIFY(def.receiversY.empty());
        QCOMPARE(def.source, SourceKind::Line);
        // A grid beyond the receivers a study takes is refused with the reason.
        DocumentStudyChoice large = form.Choice();
        large.yCount = 1000;
        QVERIFY(!BuildDocumentStudy(doc, large, def, &error));
        QVERIFY2(error.find("at most 10000 receiving points") != std::string::npos, error.c_str());
    }
};

PEMBLAR_GUI_TEST_MAIN(TestStudyForm)
#include "test_study_form.moc"
