// The study windows through real widgets: studies run for real (scripted and real solvers),
// their results shown as a B-scan (colour checked pixel by pixel) and as a family of curves,
// the read-out under the pointer, the CSV and PNG exports, and the command from form to window.
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QCheckBox>
#include <QImage>
#include <QListWidget>
#include <QLineEdit>
#include <QLabel>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

#include <cmath>

#include "GridReadout.h"
#include "ImageExportDialog.h"
#include "OstrelDoc.h"
#include "PlotWidget.h"
#include "ProjectFormat.h"
#include "StudyCommands.h"
#include "StudyDialog.h"
#include "StudyLauncher.h"
#include "StudyPlotData.h"
#include "StudyTestSupport.h"
#include "StudyUser.h"
#include "../ScriptedModal.h"
#include "StudyWindow.h"
#include "../GuiTestMain.h"

using namespace studytest;

namespace {

// The shared-ply project reads W (load and output direction 3).
std::string WProject() {
    return kSharedPlyProject;
}

struct CStudy {
    StudyManifest manifest;
    StudyResults results;
};

CStudy RunStudy(const CTempProject& p, const std::string& body) {
    p.Write("input/plate.dat", WProject());
    const std::string file = p.Write("s.toml", "project = \"input/plate.dat\"\nsolver = \"" +
                                                   std::string(FAKE_SOLVERS) + "/receivers_solver\"\n" + body);
    StudyCommandIO io;
    std::string said;
    io.err = [&](const std::string& l) { said += l; };
    const int status = StudyRunCommand(file, io);
    CStudy s;
    std::string error;
    if (status != 0 || !ReadManifest(p.Path("output/plate/studies/s"), s.manifest, &error) ||
        !LoadStudyResults(s.manifest, s.results, &error))
        qWarning() << "study failed:" << QString::fromStdString(said + error);
    return s;
}

}  // namespace

class TestStudyWindow : public QObject {
    Q_OBJECT
private slots:
    void bscanHoldsOneColumnPerReceiver() {
        CTempProject p;
        const CStudy s = RunStudy(p, "[receivers]\nvalues = [4, 1, 2, 3, 5]\n"
                                     "[[vary]]\nparameter = \"frequency\"\nvalues = [1, 2]\n");
        QVERIFY(ShowsAsBScan(s.manifest));
        const plot::PlotContent c = BScanContent(s.manifest, s.results, 1);
        QVERIFY(c.grid);
        const plot::Grid& g = *c.grid;
        QCOMPARE(g.nx, 5);
        QCOMPARE(g.ny, 3);
        QCOMPARE(g.name, std::string("W"));
        // Columns ascend in x whatever order the study file gave; the fake writes 10 x at t = 1.
        for (int ix = 0; ix < 5; ++ix)
            QCOMPARE(g.At(ix, 1), 10.0 * (ix + 1));
        QCOMPARE(g.extent.xMin, 0.5);
        QCOMPARE(g.extent.xMax, 5.5);
        QCOMPARE(g.extent.yMin, -0.5);
        QCOMPARE(g.extent.yMax, 2.5);
        QCOMPARE(c.title, std::string("B-scan of W, load frequency = 2 rad/us"));
        // The read-out names the receiver under the pointer (the fourth of the file's list) and
        // the cell's value.
        QCOMPARE(plot::GridReadoutText(c, {3.1, 0.9}), QStringLiteral("receiver 4 at x = 3 mm, t = 0.9 us, W = 30 mm"));
        QVERIFY(plot::GridReadoutText(c, {9, 0.9}).isEmpty());
    }

    void unevenReceiversStandWhereTheyAre() {
        CTempProject p;
        const CStudy s = RunStudy(p, "[receivers]\nvalues = [1, 2.5, 7]\n");
        const plot::PlotContent c = BScanContent(s.manifest, s.results, 0);
        QVERIFY(c.grid);
        const plot::Grid& g = *c.grid;
        // Each column reaches halfway to its neighbours: 0.25..1.75, 1.75..4.75, 4.75..9.25.
        QCOMPARE(g.ColumnEdges(1), (std::pair<double, double>{1.75, 4.75}));
        QCOMPARE(g.extent.xMin, 0.25);
        QCOMPARE(g.extent.xMax, 9.25);
        QCOMPARE(plot::GridReadoutText(c, {5, 1}), QStringLiteral("receiver 3 at x = 7 mm, t = 1 us, W = 70 mm"));
        QCOMPARE(plot::GridReadoutText(c, {4.5, 1}), QStringLiteral("receiver 2 at x = 2.5 mm, t = 1 us, W = 25 mm"));
        // On screen too: the point x = 5 is painted in the colour of receiver 3's value.
        CStudyWindow w(s.manifest, s.results);
        w.setAttribute(Qt::WA_DeleteOnClose, false);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QImage image = w.Plot()->grab().toImage();
        const plot::Mapping map{w.Plot()->View().Shown(), w.Plot()->PlotArea()};
        const QPointF at = map.ToPixel({5, 1});
        const plot::Rgb c70 = plot::DivergingColour(70, -140, 140);
        QCOMPARE(QColor(image.pixel(at.toPoint())), QColor(plot::RgbRed(c70), plot::RgbGreen(c70), plot::RgbBlue(c70)));
    }

    void bscanWindowPaintsTheColourMapAndReadsOut() {
        CTempProject p;
        CStudy s = RunStudy(p, "[receivers]\nvalues = [1, 2, 3, 4]\n[scheduler]\nreceivers_per_task = 2\n");
        // One block lost: its columns stay empty, and the window says so.
        s.results.curves[0][2].clear();
        s.results.curves[0][3].clear();
        s.results.missing = 2;
        s.results.complete = 2;
        CStudyWindow w(s.manifest, s.results);
        w.setAttribute(Qt::WA_DeleteOnClose, false);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.IsBScan());
        plot::PlotWidget* plotWidget = w.Plot();
        const QImage image = plotWidget->grab().toImage();
        const plot::Mapping map{plotWidget->View().Shown(), plotWidget->PlotArea()};
        const auto pixel = [&](double x, double t) {
            const QPointF at = map.ToPixel({x, t});
            return QColor(image.pixel(int(at.x()), int(at.y())));
        };
        // The scale is symmetric about zero up to the largest |value| (20 at x = 2, t = 2 is 40):
        // 40 is the darkest red, 0 white, and a cell without a result the background.
        const plot::Rgb red = plot::DivergingColour(40, -40, 40);
        QCOMPARE(pixel(2, 2), QColor(plot::RgbRed(red), plot::RgbGreen(red), plot::RgbBlue(red)));
        QCOMPARE(pixel(1, 0), QColor(Qt::white));
        const plot::Rgb mid = plot::DivergingColour(10, -40, 40);
        QCOMPARE(pixel(1, 1), QColor(plot::RgbRed(mid), plot::RgbGreen(mid), plot::RgbBlue(mid)));
        QCOMPARE(pixel(4, 1), plotWidget->Style().background);

        QTest::mouseMove(plotWidget, map.ToPixel({2, 1}).toPoint());
        QTRY_VERIFY(w.ReadoutText().contains(QStringLiteral("W = 20 mm")));
        QTest::mouseMove(plotWidget, map.ToPixel({4, 1}).toPoint());
        QTRY_VERIFY(w.ReadoutText().endsWith(QStringLiteral("W = no value")));

        const QString csv = QString::fromStdString(p.Path("bscan.csv"));
        const QString png = QString::fromStdString(p.Path("bscan.png"));
        QString error;
        QVERIFY2(w.ExportCsv(csv, &error), qPrintable(error));
        QVERIFY2(w.ExportImage(png, QSize(640, 400), true, &error), qPrintable(error));
        const std::string text = ReadAll(csv.toStdString());
        QCOMPARE(QString::fromStdString(text.substr(0, text.find('\n'))),
                 QStringLiteral("t (us),W at x = 1 (mm),W at x = 2 (mm),W at x = 3 (mm),W at x = 4 (mm)"));
        QVERIFY(text.find("\n1,10,20,,\n") != std::string::npos);
        QImage back(png);
        QVERIFY(!back.isNull());
        QVERIFY(back.width() >= 640 && back.height() >= 400);
    }

    // Both exports ask through the runner every dialog goes through: the file dialog proposes
    // the study's name in its directory, a file that cannot be written is said in a warning, and
    // Cancel at either question writes nothing.
    void exportsAskThroughTheRunnerAndSayWhyTheyFail() {
        CTempProject p;
        const CStudy s = RunStudy(p, "[receivers]\nvalues = [1, 2, 3]\n");
        CStudyWindow w(s.manifest, s.results);
        w.setAttribute(Qt::WA_DeleteOnClose, false);
        w.resize(700, 500);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        CScriptedModal modals;
        w.m_pModals = &modals;
        QStringList seen;      // every dialog: its class and title
        QString answer;        // the file the user picks; empty: Cancel
        QSize chosen;          // the picture's size the user sets; invalid: Cancel
        QStringList warnings;
        modals.Play([&](QDialog& d) {
            seen << QString::fromLatin1(d.metaObject()->className()) + QStringLiteral(": ") + d.windowTitle();
            if (auto* files = qobject_cast<QFileDialog*>(&d)) {
                seen << files->nameFilters().join(QStringLiteral(";;")) << files->selectedFiles().value(0);
                if (files->acceptMode() != QFileDialog::AcceptSave || answer.isEmpty())
                    return int(QDialog::Rejected);
                files->selectFile(answer);
                return int(QDialog::Accepted);
            }
            if (auto* box = qobject_cast<QMessageBox*>(&d)) {
                if (box->icon() == QMessageBox::Warning && box->standardButtons() == QMessageBox::Ok)
                    warnings << box->text();
                return int(QMessageBox::Ok);
            }
            if (auto* image = qobject_cast<plot::ImageExportDialog*>(&d); image && chosen.isValid()) {
                Child<QSpinBox>(*image, "width")->setValue(chosen.width());
                Child<QSpinBox>(*image, "height")->setValue(chosen.height());
                return int(QDialog::Accepted);
            }
            return int(QDialog::Rejected);
        });
        auto* csv = Child<QPushButton>(w, "exportCsv");
        auto* png = Child<QPushButton>(w, "exportImage");
        const QString dir = QString::fromStdString(s.manifest.studyDir);

        answer = QString::fromStdString(p.Path("table.csv"));
        csv->click();
        QCOMPARE(seen, (QStringList{QStringLiteral("QFileDialog: Export CSV"), QStringLiteral("CSV files (*.csv)"),
                                    dir + QStringLiteral("/s.csv")}));
        QVERIFY(warnings.isEmpty());
        QVERIFY(ReadAll(answer.toStdString()).rfind("t (us),W at x = 1 (mm),W at x = 2 (mm),W at x = 3 (mm)\n", 0) == 0);

        // A directory that is not there: the reason in a warning, nothing written.
        seen.clear();
        answer = QString::fromStdString(p.Path("no/such/dir/table.csv"));
        QString expected;
        QVERIFY(!w.ExportCsv(answer, &expected));
        csv->click();
        QCOMPARE(seen.size(), 4);
        QCOMPARE(seen[3], QStringLiteral("QMessageBox: Pemblar"));
        QCOMPARE(warnings, QStringList{expected});
        QVERIFY(!expected.isEmpty());

        // The picture: its size first, then the file.
        seen.clear();
        warnings.clear();
        chosen = QSize(500, 300);
        answer = QString::fromStdString(p.Path("bscan.png"));
        png->click();
        QCOMPARE(seen, (QStringList{QStringLiteral("plot::ImageExportDialog: Export image"),
                                    QStringLiteral("QFileDialog: Export image"),
                                    QString::fromLatin1(plot::kImageFilter), dir + QStringLiteral("/s.png")}));
        QVERIFY(warnings.isEmpty());
        const QImage picture(answer);
        QCOMPARE(picture.size() / picture.devicePixelRatio(), chosen);

        // Cancel at the size or at the file: no file, no warning.
        QVERIFY(QFile::remove(answer));
        chosen = QSize();
        png->click();
        chosen = QSize(500, 300);
        const QString kept = answer;
        answer.clear();
        png->click();
        csv->click();
        QVERIFY(!QFile::exists(kept));
        QVERIFY(warnings.isEmpty());
    }

    void parameterSweepIsAFamilyOfCurves() {
        CTempProject p;
        const CStudy s = RunStudy(p, "[receivers]\nvalues = [2]\n"
                                     "[[vary]]\nparameter = \"angle\"\nlayer = 2\nvalues = [0, 45, 90]\n");
        QVERIFY(!ShowsAsBScan(s.manifest));
        CStudyWindow w(s.manifest, s.results);
        w.setAttribute(Qt::WA_DeleteOnClose, false);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const plot::PlotContent& c = w.Plot()->Content();
        QVERIFY(!c.grid);
        QCOMPARE(int(c.series.size()), 3);
        QCOMPARE(c.series[1].name, std::string("angle of layer 2 = 45 deg"));
        QCOMPARE(c.series[2].points[1].y, 20.0);
        QCOMPARE(c.x.name, std::string("t"));
        QCOMPARE(c.y.name, std::string("W"));
        QCOMPARE(w.Chooser()->count(), 1);
        QString error;
        const QString csv = QString::fromStdString(p.Path("family.csv"));
        QVERIFY(w.ExportCsv(csv, &error));
        const std::string text = ReadAll(csv.toStdString());
        QCOMPARE(QString::fromStdString(text.substr(0, text.find('\n'))),
                 QStringLiteral("t (us),angle of layer 2 = 0 deg (mm),angle of layer 2 = 45 deg (mm),"
                                "angle of layer 2 = 90 deg (mm)"));
    }

    void studyCommandRunsTheDocumentWithTheRealSolver() {
        CTempProject p;
        qputenv("PEMBLAR_STUDY", PEMBLAR_STUDY_PATH);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QByteArray(SOLVERS_DIR) + ":" + path);
        COstrelDoc doc;
        ProjectData data;
        ProjectReadError why;
        QVERIFY(ParseProject(CompositeKind(), WProject(), data, &why));
        ApplyProject(CompositeKind(), data, doc);
        doc.m_szStartDir = p.Dir();
        int forms = 0;
        QString shownOrder = QStringLiteral("Automatic");
        StudyLaunchHooks hooks;
        CStudyUser user;
        hooks.modals = &user;
        user.runForm = [&](QDialog& form) {
            ++forms;
            auto& f = static_cast<CStudyDialog&>(form);
            // The order the runs will take, from the solver options.
            if (f.m_elementOrder->text() != shownOrder + QStringLiteral(" (Computing, Solver options...)")) return 0;
            f.m_name->setText(QStringLiteral("along"));
            f.m_from->setValue(1);
            f.m_to->setValue(3);
            f.m_step->setValue(1);
            f.m_points->setValue(21);
            f.accept();
            return f.result();
        };
        user.ask = [](const QString&) { return int(QMessageBox::Yes); };
        CStudyWindow* w = OnStudy(doc, nullptr, hooks);
        QVERIFY(w);
        QCOMPARE(w->m_pModals, static_cast<IModalRunner*>(&user));  // its exports ask through the same runner
        QVERIFY(w->IsBScan());
        const plot::PlotContent& c = w->Plot()->Content();
        QVERIFY(c.grid);
        QCOMPARE(c.grid->nx, 3);
        QCOMPARE(c.grid->ny, 21);
        QVERIFY(QFile::exists(QString::fromStdString(p.Path("output/plate/studies/along/results.csv"))));
        QVERIFY(QFile::exists(QString::fromStdString(p.Path("input/along.study.toml"))));
        w->close();
        // The same name again resumes: nothing to run, the results come back.
        CStudyWindow* again = OnStudy(doc, nullptr, hooks);
        QVERIFY(again);
        QCOMPARE(forms, 2);
        again->close();
        // Or it starts again from nothing.
        const std::string manifest = ReadAll(p.Path("output/plate/studies/along/manifest.toml"));
        user.ask = [](const QString&) { return int(QMessageBox::No); };
        CStudyWindow* restarted = OnStudy(doc, nullptr, hooks);
        QVERIFY(restarted);
        QVERIFY(ReadAll(p.Path("output/plate/studies/along/manifest.toml")) != manifest);  // a new study id
        restarted->close();
        // With a fixed element order of the solver options the study file and the started study
        // say otherwise: the user hears what differs before either is replaced.
        QStringList asked;
        user.ask = [&](const QString& text) {
            asked << text;
            return int(QMessageBox::Yes);
        };
        shownOrder = QStringLiteral("3");
        CStudyWindow* fresh = OnStudy(doc, nullptr, hooks, 3);
        QVERIFY(fresh);
        QCOMPARE(asked.size(), 2);
        QVERIFY2(asked[0].contains(QStringLiteral("element order: automatic in the file, 3 in the form")),
                 qPrintable(asked[0]));
        QVERIFY2(asked[1].contains(QStringLiteral("element order: automatic when the study started, 3 now")),
                 qPrintable(asked[1]));
        const std::string freshManifest = ReadAll(p.Path("output/plate/studies/along/manifest.toml"));
        QVERIFY(freshManifest.find("order = 3") != std::string::npos);
        QVERIFY(ReadAll(p.Path("input/along.study.toml")).find("order = 3\n") != std::string::npos);
        QVERIFY(QFile::exists(QString::fromStdString(p.Path("output/plate/studies/along/results.csv"))));
        fresh->close();
        user.ask = [](const QString&) { return int(QMessageBox::Cancel); };
        QVERIFY(!OnStudy(doc, nullptr, hooks));
        qputenv("PATH", path);
        qunsetenv("PEMBLAR_STUDY");
    }

    // A point source from the form: a grid of two rows of y, each a B-scan, and the case's wave
    // field listed and handed to the program's window, all run by the real solver.
    void pointSourceStudyShowsEachRowAndOpensTheField() {
        CTempProject p;
        qputenv("PEMBLAR_STUDY", PEMBLAR_STUDY_PATH);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QByteArray(SOLVERS_DIR) + ":" + path);
        COstrelDoc doc;
        ProjectData data;
        ProjectReadError why;
        // One element per ply and a 1 us window: a point-source run of a fraction of a second.
        QVERIFY(ParseProject(CompositeKind(),
                             "plate\n2    2    3.113646\n5    3.1400\n3    3\n0.00    1.00\n2.0000\n"
                             "carbon  1  181.0000  10.3000  7.1700  0.2800  0.4000  0.0000  1.6000\n"
                             "glass  2  38.6000  8.2700  4.1400  0.2600  0.3000  45.0000  1.8000\n"
                             "Layer 1  carbon  1  0.2500 1\nLayer 2  carbon  1  0.5000 1\n1 \n",
                             data, &why));
        ApplyProject(CompositeKind(), data, doc);
        doc.m_szStartDir = p.Dir();
        CWaveFieldSettings& field = doc.*CompositeKind().waveField;
        field = CWaveFieldSettings{-2, 2, 5, -1, 1, 3, 0, 1, 3, 3, 3, true};
        StudyLaunchHooks hooks;
        CStudyUser user;
        hooks.modals = &user;
        user.runForm = [&](QDialog& form) {
            auto& f = static_cast<CStudyDialog&>(form);
            f.m_name->setText(QStringLiteral("grid"));
            f.m_from->setValue(1);
            f.m_to->setValue(2);
            f.m_step->setValue(1);
            f.m_points->setValue(21);
            f.m_source->setCurrentIndex(1);
            f.m_yTo->setValue(1);
            f.m_yCount->setValue(2);
            f.m_waveField->setChecked(true);
            f.accept();
            return f.result();
        };
        user.ask = [](const QString&) { return int(QMessageBox::Yes); };
        std::vector<std::pair<std::string, std::string>> opened;
        hooks.openField = [&](const std::string& file, const std::string& title) { opened.push_back({file, title}); };
        CStudyWindow* w = OnStudy(doc, nullptr, hooks, 2);
        qputenv("PATH", path);
        qunsetenv("PEMBLAR_STUDY");
        QVERIFY(w);
        const std::string studyFile = ReadAll(p.Path("input/grid.study.toml"));
        QVERIFY2(studyFile.find("source = \"point\"\nfield = true\n") != std::string::npos, studyFile.c_str());
        QVERIFY(studyFile.find("y = { values = [0.0, 1.0] }") != std::string::npos);
        const std::string csv = ReadAll(p.Path("output/plate/studies/grid/results.csv"));
        QCOMPARE(QString::fromStdString(csv.substr(0, csv.find('\n'))), QStringLiteral("case,receiver_x,receiver_y,time,value"));
        QVERIFY(w->IsBScan());
        QCOMPARE(w->Chooser()->count(), 2);
        QCOMPARE(w->Chooser()->itemText(1), QStringLiteral("case 1, y = 1 mm"));
        w->Chooser()->setCurrentIndex(1);
        const plot::PlotContent& c = w->Plot()->Content();
        QVERIFY(c.grid);
        QCOMPARE(c.grid->nx, 2);
        QCOMPARE(c.grid->ny, 21);
        QCOMPARE(c.grid->columnNames[1], std::string("receiver 4 at (2, 1) mm"));
        QCOMPARE(QString::fromStdString(c.title), QStringLiteral("B-scan of W, y = 1 mm"));
        // The row's CSV: its two receivers.
        const QString exported = QString::fromStdString(p.Path("row.csv"));
        QString error;
        QVERIFY(w->ExportCsv(exported, &error));
        const std::string rowCsv = ReadAll(exported.toStdString());
        QVERIFY2(rowCsv.find("W at (1, 1) mm") != std::string::npos && rowCsv.find("W at (2, 1) mm") != std::string::npos &&
                     rowCsv.find("(1, 0)") == std::string::npos,
                 rowCsv.c_str());
        QVERIFY(w->Fields());
        QCOMPARE(w->Fields()->count(), 1);
        const std::string fieldFile = p.Path("output/plate/studies/grid/case-0001/wavefield.h5");
        QCOMPARE(w->Fields()->item(0)->text(), QString::fromStdString("case 1: " + fieldFile));
        QVERIFY(w->OpenField(0));
        QVERIFY(!w->OpenField(1));
        QCOMPARE(opened.size(), std::size_t(1));
        QCOMPARE(opened[0].first, fieldFile);
        QCOMPARE(opened[0].second, std::string("Wave field - plate, case 1"));
        w->close();
    }
};

PEMBLAR_GUI_TEST_MAIN(TestStudyWindow)
#include "test_study_window.moc"
