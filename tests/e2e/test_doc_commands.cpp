// The document's commands with their forms played by the test: what reaches the forms, what
// comes back after OK and Cancel, numbering, the enabling of the two runs, and the project's
// element order reaching the solvers and travelling with the project.

#include <QDir>
#include <QtTest>

#include <sys/resource.h>

#include <csignal>

#include "AllPara.h"
#include "CommandIds.h"
#include "DocCommands.h"
#include "DocCommandsFixture.h"
#include "FGM.h"
#include "LayerNumber.h"
#include "Mateselect.h"
#include "OstrelApp.h"
#include "OstrelDoc.h"
#include "RecordList.h"
#include "SolverOptions.h"
#include "SolverOptionsDlg.h"
#include "../GuiTestMain.h"

namespace {

CMaterial Material(const std::string& name, int no) {
    CMaterial m;
    m.m_strName = name;
    m.m_nNo = no;
    m.m_dE1 = 100;
    return m;
}

// A solver that keeps its arguments, one a line, in "arguments.txt" where it runs, and leaves
// the result file of the real one it stands for.
void InstallRecordingSolver(const QString& dir, const QString& name, const char* result) {
    QVERIFY(QDir().mkpath(dir));
    QFile script(dir + "/" + name);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QByteArray("#!/bin/sh\n: > arguments.txt\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> arguments.txt; done\n"
                            "printf '0 2\\n0 0\\n1 1\\n' > ") + result + "\n");
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void StoreOrder(const QVariant& value) {
    auto settings = COstrelApp::OpenSettings();
    settings->setValue(kElementOrderKey, value);
    settings->sync();
}

}  // namespace

class DocCommandsTest : public QObject, private CDocCommandsFixture {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void formsOpenWithTheDocumentsValuesAndTheThickness();
    void cancelChangesNoParameterAndNoEnabling();
    void okCopiesBackPreparesTheRunAndWritesBothFiles();
    void okInTheOtherFormSwapsTheEnabling();
    void solverInputThatCannotBeWrittenIsReported();
    void materialSelectionStartsEmptyAndOkNumbersInListOrder();
    void layerNumberChangesOnlyTheCount();
    void executeRunsTakeTheProjectsElementOrder();
};

void DocCommandsTest::init() { QVERIFY(Open()); }

void DocCommandsTest::cleanup() { Close(); }

void DocCommandsTest::formsOpenWithTheDocumentsValuesAndTheThickness() {
    m_doc->m_strComTitle = "plate_a";
    m_doc->m_dFrequency = 2.5;
    m_doc->m_nLoadType = 4;
    m_doc->m_bPlate = 0;
    m_doc->m_fRadius = 12.5f;
    m_doc->m_strFGMTitle = "graded";
    m_doc->m_fFGMVolFraction = 0.3f;
    m_doc->m_fFGMLastVolFraction = 0.7f;
    for (int layers : {4, 3, 0}) {
        m_doc->m_nLayers = layers;
        const float expected = layers == 4 ? 0.25f : layers == 3 ? static_cast<float>(1.0 / 3.0) : 0.0f;
        struct Seen {
            bool composite = false, fgm = false;
            std::string comTitle, fgmTitle;
            double frequency = 0;
            int loadType = 0, plate = -1, sublayers = 0;
            float radius = 0, comThickness = -1, fgmThickness = -1, volFraction = 0, lastVolFraction = 0;
        } seen;
        m_modals.Play([&seen](QDialog& dialog) {
            if (auto* form = qobject_cast<CAllPara*>(&dialog)) {
                seen.composite = true;
                seen.comTitle = form->m_strTitle;
                seen.frequency = form->m_dFrequency;
                seen.loadType = form->m_nLoadType;
                seen.plate = form->m_bPlate;
                seen.radius = form->m_fRadius;
                seen.comThickness = form->m_fThickness;
                seen.sublayers = form->m_nSublayers;
            } else if (auto* fgm = qobject_cast<CFGM*>(&dialog)) {
                seen.fgm = true;
                seen.fgmTitle = fgm->m_strTitle;
                seen.volFraction = fgm->m_fVolFraction;
                seen.lastVolFraction = fgm->m_fLastVolFraction;
                seen.fgmThickness = fgm->m_fThickness;
            }
            return 2;
        });
        m_commands->OnCommand(Cmd::kInputComposite);
        m_commands->OnCommand(Cmd::kInputFGM);
        QVERIFY(seen.composite && seen.fgm);
        QCOMPARE(seen.comTitle, std::string("plate_a"));
        QCOMPARE(seen.frequency, 2.5);
        QCOMPARE(seen.loadType, 4);
        QCOMPARE(seen.plate, 0);
        QCOMPARE(seen.radius, 12.5f);
        QCOMPARE(seen.comThickness, expected);
        QCOMPARE(seen.sublayers, 1);
        QCOMPARE(seen.fgmTitle, std::string("graded"));
        QCOMPARE(seen.volFraction, 0.3f);
        QCOMPARE(seen.lastVolFraction, 0.7f);
        QCOMPARE(seen.fgmThickness, expected);
    }
}

void DocCommandsTest::cancelChangesNoParameterAndNoEnabling() {
    m_doc->m_nRunType = 1;
    m_modals.Play([](QDialog& dialog) {
        if (auto* form = qobject_cast<CAllPara*>(&dialog)) {
            form->m_strTitle = "changed";
            form->m_dFrequency = 99;
            form->m_bPlate = 0;
        }
        if (auto* fgm = qobject_cast<CFGM*>(&dialog))
            fgm->m_fLastVolFraction = 0.9f;
        return 2;
    });
    m_commands->OnCommand(Cmd::kInputComposite);
    m_commands->OnCommand(Cmd::kInputFGM);
    QCOMPARE(m_doc->m_strComTitle, std::string("COM_project"));
    QCOMPARE(m_doc->m_dFrequency, 3.14);
    QCOMPARE(m_doc->m_bPlate, 1);
    QCOMPARE(m_doc->m_fFGMLastVolFraction, 0.0f);
    QCOMPARE(m_doc->m_nRunType, 1);
    QVERIFY(!QDir("input").exists() && !QDir("bin").exists());
    QCOMPARE(m_commands->OnUpdateCommand(Cmd::kExecuteComposite), std::optional<bool>(false));
    QCOMPARE(m_commands->OnUpdateCommand(Cmd::kExecuteFGM), std::optional<bool>(true));
}

void DocCommandsTest::okCopiesBackPreparesTheRunAndWritesBothFiles() {
    m_modals.Play([](QDialog& dialog) {
        auto* form = qobject_cast<CAllPara*>(&dialog);
        form->m_strTitle = "shell_b";
        form->m_bPlate = 0;
        form->m_fRadius = 40;
        form->m_nOutput = 3;
        form->m_fTimeTo = 20;
        form->m_fThickness = 0.125f;  // offered only: never kept by the document
        return 1;
    });
    m_commands->OnCommand(Cmd::kInputComposite);
    QCOMPARE(m_doc->m_nRunType, 0);
    QCOMPARE(m_doc->m_strComTitle, std::string("shell_b"));
    QCOMPARE(m_doc->m_bPlate, 0);
    QCOMPARE(m_doc->m_fRadius, 40.0f);
    QCOMPARE(m_doc->m_nOutput, 3);
    QCOMPARE(m_doc->m_fTimeTo, 20.0f);
    QVERIFY(QFile::exists("input/shell_b.dat"));
    QVERIFY(QFile::exists("bin/input.d"));
    QVERIFY(m_sink.texts.empty());
    QCOMPARE(m_commands->OnUpdateCommand(Cmd::kExecuteComposite), std::optional<bool>(true));
    QCOMPARE(m_commands->OnUpdateCommand(Cmd::kExecuteFGM), std::optional<bool>(false));
}

void DocCommandsTest::okInTheOtherFormSwapsTheEnabling() {
    m_modals.Play([](QDialog&) { return 1; });
    m_commands->OnCommand(Cmd::kInputComposite);
    QCOMPARE(m_doc->m_nRunType, 0);
    m_commands->OnCommand(Cmd::kInputFGM);
    QCOMPARE(m_doc->m_nRunType, 1);
    QCOMPARE(m_commands->OnUpdateCommand(Cmd::kExecuteComposite), std::optional<bool>(false));
    QCOMPARE(m_commands->OnUpdateCommand(Cmd::kExecuteFGM), std::optional<bool>(true));
    QVERIFY(QFile::exists("inputFGM/FGM_project.dat"));
    QVERIFY(QFile::exists("binFGM/inputfgm.dat"));
    // A disabled run does nothing even when its command arrives (a stale toolbar).
    m_commands->OnCommand(Cmd::kExecuteComposite);
    QCOMPARE(m_doc->m_nRunType, 1);
    QVERIFY(m_sink.texts.empty());
}

void DocCommandsTest::solverInputThatCannotBeWrittenIsReported() {
    // "binFGM" blocked by a plain file: the project file is written, the solver input is not.
    QFile blocker("binFGM");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    m_modals.Play([](QDialog&) { return 1; });
    m_commands->OnCommand(Cmd::kInputFGM);
    QCOMPARE(m_doc->m_nRunType, 1);
    QVERIFY(QFile::exists("inputFGM/FGM_project.dat"));
    QCOMPARE(m_sink.texts.size(), std::size_t(1));
    QCOMPARE(m_sink.texts[0], std::string(CDocCommands::kSolverInputFailed));
    QCOMPARE(QDir::currentPath(), QDir(m_dir->path()).canonicalPath());
}

void DocCommandsTest::materialSelectionStartsEmptyAndOkNumbersInListOrder() {
    for (int i = 0; i < 3; ++i)
        AppendRecord(m_doc->m_materials, m_doc->m_nMaterials, Material("old" + std::to_string(i), i + 1));
    CLayer layer;
    layer.m_strMaterial = "old1";
    layer.m_nMaterial = 2;
    AppendRecord(m_doc->m_layers, m_doc->m_nComLayerCount, layer);
    // Cancel at once: nothing is selected any more.
    m_modals.Play([this](QDialog& dialog) {
        [&] { QVERIFY(qobject_cast<CMateselect*>(&dialog)); }();
        [&] { QCOMPARE(m_doc->m_nMaterials, 0); }();
        return 2;
    });
    m_commands->OnCommand(Cmd::kMaterialSelected);
    QCOMPARE(m_doc->m_nMaterials, 0);
    // The form appends with numbers of its own; OK numbers them 1, 2, 3 in list order.
    m_modals.Play([this](QDialog&) {
        AppendRecord(m_doc->m_materials, m_doc->m_nMaterials, Material("c", 7));
        AppendRecord(m_doc->m_materials, m_doc->m_nMaterials, Material("a", 7));
        AppendRecord(m_doc->m_materials, m_doc->m_nMaterials, Material("b", 0));
        return 1;
    });
    m_commands->OnCommand(Cmd::kMaterialSelected);
    QCOMPARE(m_doc->m_nMaterials, 3);
    QCOMPARE(m_doc->m_materials[0].m_strName, std::string("c"));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(m_doc->m_materials[i].m_nNo, i + 1);
    // Layers keep the name and number they had.
    QCOMPARE(m_doc->m_nComLayerCount, 1);
    QCOMPARE(m_doc->m_layers[0].m_strMaterial, std::string("old1"));
    QCOMPARE(m_doc->m_layers[0].m_nMaterial, 2);
}

void DocCommandsTest::layerNumberChangesOnlyTheCount() {
    CLayer layer;
    for (int i = 0; i < 3; ++i)
        AppendRecord(m_doc->m_layers, m_doc->m_nComLayerCount, layer);
    m_modals.Play([](QDialog& dialog) {
        auto* form = qobject_cast<CLayerNumber*>(&dialog);
        [&] { QCOMPARE(form->m_nLayers, 1); }();
        form->m_nLayers = 2;
        return 1;
    });
    m_commands->OnCommand(Cmd::kLayerPara);
    QCOMPARE(m_doc->m_nLayers, 2);
    QCOMPARE(m_doc->m_nComLayerCount, 3);
    m_modals.Play([](QDialog& dialog) {
        qobject_cast<CLayerNumber*>(&dialog)->m_nLayers = 9;
        return 2;
    });
    m_commands->OnCommand(Cmd::kLayerPara);
    QCOMPARE(m_doc->m_nLayers, 2);
    QCOMPARE(m_doc->m_nRunType, -1);
}

void DocCommandsTest::executeRunsTakeTheProjectsElementOrder() {
    InstallRecordingSolver("bin", "lumdex", "result.dat");
    InstallRecordingSolver("binFGM", "Kavrit", "resultfgm.dat");
    int chosen = 0;
    m_modals.Play([&chosen](QDialog& dialog) {
        if (auto* options = qobject_cast<CSolverOptionsDlg*>(&dialog))
            options->m_nElementOrder = chosen;
        return 1;
    });
    const auto chooseOrder = [&](int order) {
        chosen = order;
        m_commands->OnCommand(Cmd::kSolverOptions);
    };
    // Solver options set the project's order, and the user's for new projects.
    chooseOrder(5);
    QCOMPARE(m_doc->m_nElementOrder, 5);
    QCOMPARE(COstrelApp::StoredElementOrder(), 5);
    m_commands->OnCommand(Cmd::kInputComposite);
    m_commands->OnCommand(Cmd::kExecuteComposite);
    QCOMPARE(ReadAll("bin/arguments.txt"), QByteArray("--order\n5\n"));
    // Another user's choice does not change what this project computes.
    StoreOrder(0);
    m_commands->OnCommand(Cmd::kInputComposite);
    m_commands->OnCommand(Cmd::kExecuteComposite);
    QCOMPARE(ReadAll("bin/arguments.txt"), QByteArray("--order\n5\n"));
    // The order is kept beside the project, and a change reaches the file already there.
    QVERIFY(ReadAll("input/COM_project.settings").contains("\norder 5\n"));
    chooseOrder(32);
    QVERIFY(ReadAll("input/COM_project.settings").contains("\norder 32\n"));
    m_commands->OnCommand(Cmd::kInputFGM);
    m_commands->OnCommand(Cmd::kExecuteFGM);
    QCOMPARE(ReadAll("binFGM/arguments.txt"), QByteArray("--order\n32\n"));
    chooseOrder(0);
    m_commands->OnCommand(Cmd::kInputFGM);
    m_commands->OnCommand(Cmd::kExecuteFGM);
    QCOMPARE(ReadAll("binFGM/arguments.txt"), QByteArray(""));
    QVERIFY(ReadAll("inputFGM/FGM_project.settings").contains("\norder 0\n"));
    QVERIFY2(m_sink.texts.empty(), m_sink.texts.empty() ? "" : m_sink.texts[0].c_str());
    COstrelApp::OpenSettings()->remove(kElementOrderKey);
}

PEMBLAR_GUI_TEST_MAIN(DocCommandsTest)

#include "test_doc_commands.moc"
