// The writers and open commands on real directories: what lands where, what the user is told,
// and that the document and the working directory come out as they should on every path.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>

#include "ProjectFiles.h"
#include <memory>

#include "ProjectFormat.h"
#include "WorkingDirectory.h"
#include "test_project_support.h"
#include "../ScopedTempDir.h"
#include "../FileSizeLimit.h"

namespace fs = std::filesystem;
using namespace projtest;

namespace {

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void Spit(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> Entries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

float Rounded(float v, int decimals) {
    float r = 0;
    const std::string t = FormatFixed(v, decimals);
    std::from_chars(t.data(), t.data() + t.size(), r);
    return r;
}

double Rounded(double v, int decimals) {
    double r = 0;
    const std::string t = FormatFixed(v, decimals);
    std::from_chars(t.data(), t.data() + t.size(), r);
    return r;
}

class ProjectFiles : public ::testing::Test {
protected:
    // The one open dialog asked: in the kind's project directory, for "*.dat" files.
    void ExpectOpenDialog(const CProjectKind& kind, const char* title, const char* dir) {
        ASSERT_EQ(chooser.requests.size(), 1u) << kind.name;
        const FileDialogRequest& r = chooser.requests[0];
        EXPECT_FALSE(r.save);
        EXPECT_EQ(r.title, title);
        EXPECT_EQ(r.defaultExt, "dat");
        EXPECT_EQ(r.initialName, "*.dat");
        EXPECT_EQ(r.filter, "*.dat");
        EXPECT_EQ(r.startDir, (m_home / dir).string());
        EXPECT_TRUE(r.hideReadOnly);
    }
    // The load block and the shell's structure model, as the file rounds them, in the kind's members.
    static void ExpectSharedBlocksRestored(const CProjectKind& k, const COstrelDoc& doc, const COstrelDoc& fresh) {
        EXPECT_EQ(fresh.*k.loadType, doc.*k.loadType) << k.name;
        EXPECT_EQ(fresh.*k.frequency, Rounded(doc.*k.frequency, 4)) << k.name;
        EXPECT_EQ(fresh.*k.loadDir, doc.*k.loadDir) << k.name;
        EXPECT_EQ(fresh.*k.output, doc.*k.output) << k.name;
        EXPECT_EQ(fresh.*k.timeFrom, Rounded(doc.*k.timeFrom, 2)) << k.name;
        EXPECT_EQ(fresh.*k.timeTo, Rounded(doc.*k.timeTo, 2)) << k.name;
        EXPECT_EQ(fresh.*k.receiverX, Rounded(doc.*k.receiverX, 4)) << k.name;
        EXPECT_EQ(fresh.*k.plate, 0) << k.name;
        EXPECT_EQ(fresh.*k.radius, Rounded(doc.*k.radius, 2)) << k.name;
        // The material block, which both kinds carry alike.
        ASSERT_EQ(fresh.m_nMaterials, doc.m_nMaterials) << k.name;
        for (int i = 0; i < doc.m_nMaterials; ++i) {
            const CMaterial& a = doc.m_materials[i];
            const CMaterial& b = fresh.m_materials[i];
            EXPECT_EQ(b.m_strName, a.m_strName) << k.name;
            EXPECT_EQ(b.m_nNo, a.m_nNo) << k.name;
            EXPECT_EQ(b.m_dE1, Rounded(a.m_dE1, 4)) << k.name;
            EXPECT_EQ(b.m_dE2, Rounded(a.m_dE2, 4)) << k.name;
            EXPECT_EQ(b.m_dG12, Rounded(a.m_dG12, 4)) << k.name;
            EXPECT_EQ(b.m_dV12, Rounded(a.m_dV12, 4)) << k.name;
            EXPECT_EQ(b.m_dV23, Rounded(a.m_dV23, 4)) << k.name;
            EXPECT_EQ(b.m_dDensity, Rounded(a.m_dDensity, 4)) << k.name;
            EXPECT_EQ(b.m_fAngle, Rounded(a.m_fAngle, 4)) << k.name;
        }
    }

protected:
    void SetUp() override {
        m_before = CurrentDirectory();
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        m_rootDir = std::make_unique<CScopedTempDir>("pemblar-project-" + name);
        m_root = m_rootDir->Path();
        fs::create_directories(m_root / "home");
        fs::create_directories(m_root / "elsewhere");
        m_home = fs::canonical(m_root / "home");
        doc.m_szStartDir = m_home.string();
        Wire(doc);
        // Start every operation from somewhere else: they must still end in the home.
        ChangeDirectory((m_root / "elsewhere").string());
    }
    void TearDown() override {
        ChangeDirectory(m_before);
        m_rootDir.reset();
    }

    void Wire(COstrelDoc& d) {
        d.m_szStartDir = m_home.string();
        d.m_services.messages = &sink;
        d.m_services.files = &chooser;
        d.m_services.views = &views;
    }

    // Every operation leaves the process in the document's directory.
    void ExpectHome() { EXPECT_EQ(CurrentDirectory(), m_home.string()); }

    std::unique_ptr<CScopedTempDir> m_rootDir;
    fs::path m_root, m_home;
    std::string m_before;
    RecordingSink sink;
    ScriptedChooser chooser;
    CountingViews views;
    COstrelDoc doc;
};

}  // namespace

TEST_F(ProjectFiles, InitialDocumentWritesAllFourFilesAndTheirDirectories) {
    EXPECT_EQ(WriteProjectFile(doc, CompositeKind()), 1);
    ExpectHome();
    EXPECT_EQ(WriteSolverInput(doc, CompositeKind()), 1);
    ExpectHome();
    EXPECT_EQ(WriteProjectFile(doc, FGMKind()), 1);
    ExpectHome();
    EXPECT_EQ(WriteSolverInput(doc, FGMKind()), 1);
    ExpectHome();
    EXPECT_EQ(Slurp(m_home / "input" / "COM_project.dat"), kInitialComProject);
    EXPECT_EQ(Slurp(m_home / "bin" / "input.d"), kInitialComSolverInput);
    EXPECT_EQ(Slurp(m_home / "inputFGM" / "FGM_project.dat"), kInitialFGMProject);
    EXPECT_EQ(Slurp(m_home / "binFGM" / "inputfgm.dat"), kInitialFGMSolverInput);
    EXPECT_EQ(Entries(m_home), (std::vector<std::string>{"bin", "binFGM", "input", "inputFGM"}));
    // Beside the project file, the project's own settings.
    EXPECT_EQ(Entries(m_home / "input"), (std::vector<std::string>{"COM_project.dat", "COM_project.settings"}));
    EXPECT_EQ(Slurp(m_home / "input" / "COM_project.settings"),
              "# the program's settings of the project beside this file\norder 0\n");
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(ProjectFiles, ShellProjectsWithMaterialsAndLayersOverwriteEarlierFiles) {
    ASSERT_EQ(WriteProjectFile(doc, CompositeKind()), 1);
    MakeLaminateShell(doc);
    MakeGradedShell(doc);
    doc.m_strComTitle = "COM_project";
    doc.m_strFGMTitle = "FGM_project";
    EXPECT_EQ(WriteProjectFile(doc, CompositeKind()), 1);
    EXPECT_EQ(WriteSolverInput(doc, CompositeKind()), 1);
    EXPECT_EQ(WriteProjectFile(doc, FGMKind()), 1);
    EXPECT_EQ(WriteSolverInput(doc, FGMKind()), 1);
    ExpectHome();
    std::string expected = kLaminateShellProject;
    expected.replace(0, 8, "COM_project");
    EXPECT_EQ(Slurp(m_home / "input" / "COM_project.dat"), expected);
    expected = kLaminateShellSolverInput;
    expected.replace(0, 8, "COM_project");
    EXPECT_EQ(Slurp(m_home / "bin" / "input.d"), expected);
    expected = kGradedShellProject;
    expected.replace(0, 6, "FGM_project");
    EXPECT_EQ(Slurp(m_home / "inputFGM" / "FGM_project.dat"), expected);
    EXPECT_EQ(Slurp(m_home / "binFGM" / "inputfgm.dat"), kGradedShellSolverInput);
}

TEST_F(ProjectFiles, OpenCompositeAsksInTheInputDirectoryAndRestoresEveryMember) {
    MakeLaminateShell(doc);
    doc.m_dDimConst = 2.718281828459;
    doc.m_dFrequency = 1.23456789;
    doc.m_fTimeFrom = 0.125f;
    doc.m_fTimeTo = 7.777f;
    doc.m_fReceiverX = 1.23456f;
    doc.m_fRadius = 0.555f;
    doc.m_materials[0] = Material("carbon", 7, 123.45678, 9.87654, 5.55555, 0.123456, 0.654321,
                                  1.23456789, 33.33333f);
    doc.m_layers[1].m_fThickness = 0.33333f;
    doc.m_nLayers = 2;
    ASSERT_EQ(WriteProjectFile(doc, CompositeKind()), 1);

    COstrelDoc fresh;
    Wire(fresh);
    MakeGradedShell(fresh);
    fresh.m_nRunType = 1;
    fresh.m_bCurveLoaded = 1;
    fresh.m_nPoints = 2;
    fresh.m_curve[1] = CCurvePoint(4, 5);
    const std::string fgmBlockBefore = Dump(fresh).substr(Dump(fresh).find("g.label"));
    chooser.answer = (m_home / "input" / "laminate.dat").string();
    OnOpenProject(fresh, CompositeKind());
    ExpectHome();
    ExpectOpenDialog(CompositeKind(), "Open Composite File", "input");
    EXPECT_TRUE(sink.messages.empty()) << sink.messages.front();
    EXPECT_EQ(views.updates, 0);

    EXPECT_EQ(fresh.m_strComTitle, "laminate");
    EXPECT_EQ(fresh.m_nLayers, 2);
    EXPECT_EQ(fresh.m_nComLayerCount, 2);
    EXPECT_EQ(fresh.m_dDimConst, Rounded(doc.m_dDimConst, 6));
    ExpectSharedBlocksRestored(CompositeKind(), doc, fresh);
    for (int i = 0; i < 2; ++i) {
        const CLayer& a = doc.m_layers[i];
        const CLayer& b = fresh.m_layers[i];
        EXPECT_EQ(b.m_strLayer, a.m_strLayer);
        EXPECT_EQ(b.m_strMaterial, a.m_strMaterial);
        EXPECT_EQ(b.m_nMaterial, a.m_nMaterial);
        EXPECT_EQ(b.m_fThickness, Rounded(a.m_fThickness, 4));
        EXPECT_EQ(b.m_nSublayers, a.m_nSublayers);
    }
    // What the file does not carry stays.
    EXPECT_EQ(fresh.m_nRunType, 1);
    EXPECT_EQ(fresh.m_nPoints, 2);
    EXPECT_EQ(fresh.m_curve[1].m_fY, 5.0f);
    EXPECT_EQ(Dump(fresh).substr(Dump(fresh).find("g.label")), fgmBlockBefore);
    EXPECT_EQ(fresh.m_nFGMLayerCount, 2);
}

TEST_F(ProjectFiles, OpenFGMRestoresEveryMemberAndKeepsTheCompositeBlock) {
    MakeGradedShell(doc);
    doc.m_dFGMFrequency = 9.87654321;
    doc.m_fFGMTimeFrom = 0.015f;
    doc.m_fFGMTimeTo = 3.333f;
    doc.m_fFGMReceiverX = 0.123456f;
    doc.m_fFGMLastVolFraction = 0.55555f;
    doc.m_fFGMRadius = 2.345f;
    doc.m_fgmLayers[0].m_fVolFraction = 0.12345f;
    doc.m_fgmLayers[0].m_fThickness = 0.98765f;
    doc.m_materials[1].m_dV12 = 0.333333;
    doc.m_nLayers = 2;
    ASSERT_EQ(WriteProjectFile(doc, FGMKind()), 1);

    COstrelDoc fresh;
    Wire(fresh);
    MakeLaminateShell(fresh);
    fresh.m_fFGMVolFraction = 0.42f;
    fresh.m_nRunType = 0;
    const std::string comLayers = Dump(fresh).substr(Dump(fresh).find("l.label"),
                                                     Dump(fresh).find("nLayers") -
                                                         Dump(fresh).find("l.label"));
    chooser.answer = (m_home / "inputFGM" / "graded.dat").string();
    OnOpenProject(fresh, FGMKind());
    ExpectHome();
    ExpectOpenDialog(FGMKind(), "Open FGM File", "inputFGM");
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_EQ(views.updates, 0);

    EXPECT_EQ(fresh.m_strFGMTitle, "graded");
    EXPECT_EQ(fresh.m_nLayers, 2);
    EXPECT_EQ(fresh.m_nFGMLayerCount, 2);
    ExpectSharedBlocksRestored(FGMKind(), doc, fresh);
    EXPECT_EQ(fresh.m_fFGMLastVolFraction, Rounded(doc.m_fFGMLastVolFraction, 4));
    EXPECT_EQ(fresh.m_materials[1].m_dV12, Rounded(0.333333, 4));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(fresh.m_fgmLayers[i].m_strLayer, doc.m_fgmLayers[i].m_strLayer);
        EXPECT_EQ(fresh.m_fgmLayers[i].m_nMaterial, doc.m_fgmLayers[i].m_nMaterial);
        EXPECT_EQ(fresh.m_fgmLayers[i].m_fVolFraction, Rounded(doc.m_fgmLayers[i].m_fVolFraction, 4));
        EXPECT_EQ(fresh.m_fgmLayers[i].m_fThickness, Rounded(doc.m_fgmLayers[i].m_fThickness, 4));
    }
    EXPECT_EQ(fresh.m_fFGMVolFraction, 0.42f) << "the remembered field value is not in the file";
    EXPECT_EQ(fresh.m_nRunType, 0);
    EXPECT_EQ(fresh.m_bPlate, 0);
    EXPECT_EQ(fresh.m_fRadius, 12.5f);
    EXPECT_EQ(fresh.m_nComLayerCount, 2);
    EXPECT_EQ(Dump(fresh).substr(Dump(fresh).find("l.label"),
                                 Dump(fresh).find("nLayers") - Dump(fresh).find("l.label")),
              comLayers);
}

TEST_F(ProjectFiles, BlanksLayerCountsAndCrLfSurviveTheRoundTrip) {
    MakeLaminateShell(doc);
    MakeGradedShell(doc);
    doc.m_strComTitle = "wing skin";
    doc.m_strFGMTitle = "graded  plate";
    doc.m_materials[0].m_strName = "carbon fibre";
    doc.m_layers[0].m_strMaterial = "carbon fibre";
    doc.m_nLayers = 5;  // more than either layer list holds
    ASSERT_EQ(WriteProjectFile(doc, CompositeKind()), 1);
    ASSERT_EQ(WriteProjectFile(doc, FGMKind()), 1);
    EXPECT_TRUE(fs::exists(m_home / "input" / "wing skin.dat"));

    // The same files with DOS line ends.
    for (const fs::path& p : {m_home / "input" / "wing skin.dat",
                              m_home / "inputFGM" / "graded  plate.dat"}) {
        std::string dos;
        for (char c : Slurp(p))
            dos += c == '\n' ? std::string("\r\n") : std::string(1, c);
        Spit(p.string() + ".crlf", dos);
    }
    for (const char* suffix : {"", ".crlf"}) {
        COstrelDoc fresh;
        Wire(fresh);
        chooser.answer = (m_home / "input" / "wing skin.dat").string() + suffix;
        OnOpenProject(fresh, CompositeKind());
        EXPECT_EQ(fresh.m_strComTitle, "wing skin") << suffix;
        EXPECT_EQ(fresh.m_nLayers, 5);
        EXPECT_EQ(fresh.m_nComLayerCount, 2);
        EXPECT_EQ(fresh.m_materials[0].m_strName, "carbon fibre");
        EXPECT_EQ(fresh.m_materials[1].m_strName, "glass");
        EXPECT_EQ(fresh.m_layers[0].m_strMaterial, "carbon fibre");
        EXPECT_EQ(fresh.m_layers[1].m_strLayer, "Layer 2");
        EXPECT_EQ(fresh.m_fRadius, 12.5f);
        chooser.answer = (m_home / "inputFGM" / "graded  plate.dat").string() + suffix;
        OnOpenProject(fresh, FGMKind());
        EXPECT_EQ(fresh.m_strFGMTitle, "graded  plate");
        EXPECT_EQ(fresh.m_nLayers, 5);
        EXPECT_EQ(fresh.m_nFGMLayerCount, 2);
        EXPECT_EQ(fresh.m_fFGMLastVolFraction, 0.9f);
        EXPECT_EQ(fresh.m_fFGMRadius, 3.75f);
        ExpectHome();
    }
    EXPECT_TRUE(sink.messages.empty()) << sink.messages.front();

    // Fewer layer lines than layers announced, the other way round.
    doc.m_nLayers = 1;
    ASSERT_EQ(WriteProjectFile(doc, CompositeKind()), 1);
    COstrelDoc fresh;
    Wire(fresh);
    chooser.answer = (m_home / "input" / "wing skin.dat").string();
    OnOpenProject(fresh, CompositeKind());
    EXPECT_EQ(fresh.m_nLayers, 1);
    EXPECT_EQ(fresh.m_nComLayerCount, 2);
    EXPECT_EQ(fresh.m_bPlate, 0);
}

TEST_F(ProjectFiles, DamagedFilesChangeNothingAndNameFileAndLine) {
    MakeLaminateShell(doc);
    MakeGradedShell(doc);
    ASSERT_EQ(WriteProjectFile(doc, CompositeKind()), 1);
    ASSERT_EQ(WriteProjectFile(doc, FGMKind()), 1);
    COstrelDoc target;
    Wire(target);
    target.m_nPoints = 1;
    AppendRecord(target.m_materials, target.m_nMaterials, Material("steel", 1, 1, 2, 3, 4, 5, 6, 7));
    AppendRecord(target.m_layers, target.m_nComLayerCount, Layer(1, "steel", 1, 0.1f, 2));
    AppendRecord(target.m_fgmLayers, target.m_nFGMLayerCount, FGMLayer(1, 1, 0.5f, 1));
    const std::string before = Dump(target);

    struct Kind {
        fs::path file;
        const CProjectKind& project;
    };
    for (const Kind& kind : {Kind{m_home / "input" / "laminate.dat", CompositeKind()},
                             Kind{m_home / "inputFGM" / "graded.dat", FGMKind()}}) {
        const std::string full = Slurp(kind.file);
        std::vector<std::string> lines;
        std::istringstream in(full);
        for (std::string l; std::getline(in, l);)
            lines.push_back(l);
        const fs::path damaged = kind.file.parent_path() / "damaged.dat";
        chooser.answer = damaged.string();
        // Cut after each line in turn.
        for (std::size_t k = 0; k < lines.size(); ++k) {
            std::string cut;
            for (std::size_t i = 0; i < k; ++i)
                cut += lines[i] + "\n";
            Spit(damaged, cut);
            sink.messages.clear();
            OnOpenProject(target, kind.project);
            ExpectHome();
            EXPECT_EQ(Dump(target), before) << "cut after " << k << " lines";
            ASSERT_EQ(sink.messages.size(), 1u);
            EXPECT_NE(sink.messages[0].find(damaged.string()), std::string::npos);
            EXPECT_NE(sink.messages[0].find("line " + std::to_string(k + 1) + ":"),
                      std::string::npos)
                << sink.messages[0];
        }
        // A letter in a number of every line that has one.
        for (std::size_t k = 1; k < lines.size(); ++k) {
            auto changed = lines;
            const auto lastBlank = changed[k].find_last_of(' ', changed[k].size() - 2);
            changed[k].insert(lastBlank == std::string::npos ? 0 : lastBlank + 1, "o");
            std::string text;
            for (const auto& l : changed)
                text += l + "\n";
            Spit(damaged, text);
            sink.messages.clear();
            OnOpenProject(target, kind.project);
            EXPECT_EQ(Dump(target), before) << changed[k];
            ASSERT_EQ(sink.messages.size(), 1u) << changed[k];
            EXPECT_NE(sink.messages[0].find("line " + std::to_string(k + 1) + ":"),
                      std::string::npos)
                << sink.messages[0];
        }
    }
}

TEST_F(ProjectFiles, FilesThatCannotBeOpenedLeaveTheListsAlone) {
    MakeLaminateShell(doc);
    MakeGradedShell(doc);
    ASSERT_EQ(WriteProjectFile(doc, CompositeKind()), 1);
    ASSERT_EQ(WriteProjectFile(doc, FGMKind()), 1);
    const std::string before = Dump(doc);
    for (const fs::path& chosen : {m_home / "input" / "missing.dat", m_home / "input"}) {
        chooser.answer = chosen.string();
        sink.messages.clear();
        OnOpenProject(doc, CompositeKind());
        ExpectHome();
        OnOpenProject(doc, FGMKind());
        ExpectHome();
        EXPECT_EQ(Dump(doc), before);
        ASSERT_EQ(sink.messages.size(), 2u);
        for (const auto& m : sink.messages)
            EXPECT_EQ(m.rfind("Cannot open the file for reading!\n" + chosen.string(), 0), 0u)
                << m;
    }
}

TEST_F(ProjectFiles, CancelOrNoProjectDirectoryDoesNothing) {
    MakeLaminateShell(doc);
    const std::string before = Dump(doc);
    OnOpenProject(doc, CompositeKind());
    OnOpenProject(doc, FGMKind());
    ExpectHome();
    EXPECT_TRUE(chooser.requests.empty()) << "no directory, no dialog";
    EXPECT_FALSE(fs::exists(m_home / "input")) << "opening never creates the directory";
    EXPECT_FALSE(fs::exists(m_home / "inputFGM"));

    fs::create_directories(m_home / "input");
    fs::create_directories(m_home / "inputFGM");
    chooser.answer.reset();
    OnOpenProject(doc, CompositeKind());
    ExpectHome();
    OnOpenProject(doc, FGMKind());
    ExpectHome();
    EXPECT_EQ(chooser.requests.size(), 2u);
    EXPECT_EQ(Dump(doc), before);
    EXPECT_TRUE(sink.messages.empty());

    // Without a chooser the command cannot ask, so it does nothing either.
    doc.m_services.files = nullptr;
    OnOpenProject(doc, CompositeKind());
    ExpectHome();
    EXPECT_EQ(Dump(doc), before);
}

TEST_F(ProjectFiles, TitlesThatAreNotPlainFileNamesWriteNothing) {
    fs::create_directories(m_home / "input" / "sub");
    for (const std::string title : {"../x", "..", ".", "", "sub/y", "/tmp/pemblar-abs", "a\nb"}) {
        sink.messages.clear();
        doc.m_strComTitle = title;
        doc.m_strFGMTitle = title;
        EXPECT_EQ(WriteProjectFile(doc, CompositeKind()), 0) << title;
        ExpectHome();
        EXPECT_EQ(WriteProjectFile(doc, FGMKind()), 0) << title;
        ExpectHome();
        EXPECT_EQ(sink.messages,
                  (std::vector<std::string>{"Cannot open the file for writing!",
                                            "Cannot open the file for writing!"}));
    }
    EXPECT_EQ(Entries(m_home), std::vector<std::string>{"input"});
    EXPECT_EQ(Entries(m_home / "input"), std::vector<std::string>{"sub"});
    EXPECT_TRUE(Entries(m_home / "input" / "sub").empty());
    EXPECT_FALSE(fs::exists(m_root / "x.dat"));
    EXPECT_FALSE(fs::exists("/tmp/pemblar-abs.dat"));

    // The solver input has a fixed name; an odd title is just its first line.
    doc.m_strComTitle = "../x";
    EXPECT_EQ(WriteSolverInput(doc, CompositeKind()), 1);
    EXPECT_EQ(Slurp(m_home / "bin" / "input.d").substr(0, 5), "../x\n");
    doc.m_strComTitle = "a\nb";
    EXPECT_EQ(WriteSolverInput(doc, CompositeKind()), 0);
    EXPECT_EQ(Slurp(m_home / "bin" / "input.d").substr(0, 5), "../x\n");

    // A material name with a line break would not read back: refused, and said why.
    doc.m_strComTitle = "ok";
    AppendRecord(doc.m_materials, doc.m_nMaterials, Material("two\nlines", 1, 1, 1, 1, 1, 1, 1, 1));
    sink.messages.clear();
    EXPECT_EQ(WriteProjectFile(doc, CompositeKind()), 0);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_NE(sink.messages[0].find("material 1"), std::string::npos);
    EXPECT_FALSE(fs::exists(m_home / "input" / "ok.dat"));
}

TEST_F(ProjectFiles, WriteFailuresKeepTheOldFilesAndAreReported) {
    ASSERT_EQ(WriteProjectFile(doc, CompositeKind()), 1);
    ASSERT_EQ(WriteSolverInput(doc, CompositeKind()), 1);
    ASSERT_EQ(WriteProjectFile(doc, FGMKind()), 1);
    ASSERT_EQ(WriteSolverInput(doc, FGMKind()), 1);
    MakeLaminateShell(doc);
    MakeGradedShell(doc);
    doc.m_strComTitle = "COM_project";
    doc.m_strFGMTitle = "FGM_project";
    int com = -1, comInput = -1, fgm = -1, fgmInput = -1;
    {
        CFileSizeLimit limit(40);  // as a full disk: the new files do not fit
        com = WriteProjectFile(doc, CompositeKind());
        comInput = WriteSolverInput(doc, CompositeKind());
        fgm = WriteProjectFile(doc, FGMKind());
        fgmInput = WriteSolverInput(doc, FGMKind());
    }
    ExpectHome();
    EXPECT_EQ(com, 0);
    EXPECT_EQ(comInput, 0);
    EXPECT_EQ(fgm, 0);
    EXPECT_EQ(fgmInput, 0);
    EXPECT_EQ(Slurp(m_home / "input" / "COM_project.dat"), kInitialComProject);
    EXPECT_EQ(Slurp(m_home / "bin" / "input.d"), kInitialComSolverInput);
    EXPECT_EQ(Slurp(m_home / "inputFGM" / "FGM_project.dat"), kInitialFGMProject);
    EXPECT_EQ(Slurp(m_home / "binFGM" / "inputfgm.dat"), kInitialFGMSolverInput);
    for (const char* dir : {"input", "bin", "inputFGM", "binFGM"})
        EXPECT_EQ(Entries(m_home / dir).size(), dir[0] == 'i' ? 2u : 1u) << dir << ": a temporary file stayed";
    // The project writers say so; the solver-input writers leave that to their caller.
    ASSERT_EQ(sink.messages.size(), 2u);
    EXPECT_EQ(sink.messages[0].rfind("Cannot open the file for writing!\ninput/COM_project.dat", 0),
              0u)
        << sink.messages[0];
    EXPECT_EQ(sink.messages[1].rfind("Cannot open the file for writing!\ninputFGM/FGM_project.dat",
                                     0),
              0u)
        << sink.messages[1];
}

TEST_F(ProjectFiles, ADirectoryBlockedByAFileFailsWithoutWritingElsewhere) {
    for (const char* name : {"input", "bin", "inputFGM", "binFGM"})
        Spit(m_home / name, "not a directory");
    EXPECT_EQ(WriteProjectFile(doc, CompositeKind()), 0);
    ExpectHome();
    EXPECT_EQ(WriteSolverInput(doc, CompositeKind()), 0);
    ExpectHome();
    EXPECT_EQ(WriteProjectFile(doc, FGMKind()), 0);
    ExpectHome();
    EXPECT_EQ(WriteSolverInput(doc, FGMKind()), 0);
    ExpectHome();
    EXPECT_EQ(Entries(m_home), (std::vector<std::string>{"bin", "binFGM", "input", "inputFGM"}));
    EXPECT_EQ(Slurp(m_home / "input"), "not a directory");
    EXPECT_EQ(sink.messages.size(), 2u);
    // An open command sees no project directory.
    OnOpenProject(doc, CompositeKind());
    EXPECT_TRUE(chooser.requests.empty());
    ExpectHome();
}

TEST_F(ProjectFiles, AMissingHomeDirectoryFailsInsteadOfWritingWhereverWeAre) {
    doc.m_szStartDir = (m_root / "gone").string();
    EXPECT_EQ(WriteProjectFile(doc, CompositeKind()), 0);
    EXPECT_EQ(WriteSolverInput(doc, CompositeKind()), 0);
    EXPECT_EQ(WriteProjectFile(doc, FGMKind()), 0);
    EXPECT_EQ(WriteSolverInput(doc, FGMKind()), 0);
    OnOpenProject(doc, CompositeKind());
    EXPECT_TRUE(Entries(m_root / "elsewhere").empty());
    EXPECT_EQ(sink.messages.size(), 2u);
}

TEST_F(ProjectFiles, DirectoriesLinkedOutOfTheTreeAreNeverWrittenThrough) {
    const fs::path outside = m_root / "outside";
    fs::create_directories(outside);
    for (const char* name : {"input", "bin", "inputFGM", "binFGM"})
        fs::create_directory_symlink(outside, m_home / name);
    EXPECT_EQ(WriteProjectFile(doc, CompositeKind()), 0);
    ExpectHome();
    EXPECT_EQ(WriteSolverInput(doc, CompositeKind()), 0);
    EXPECT_EQ(WriteProjectFile(doc, FGMKind()), 0);
    EXPECT_EQ(WriteSolverInput(doc, FGMKind()), 0);
    ExpectHome();
    EXPECT_TRUE(fs::is_empty(outside));
    ASSERT_EQ(sink.messages.size(), 4u);
    EXPECT_NE(sink.messages[0].find("input: the directory leads outside the working directory"), std::string::npos)
        << sink.messages[0];
    EXPECT_NE(sink.messages[1].find("\"bin\" leads outside the working directory"), std::string::npos) << sink.messages[1];

    // A link that stays inside the tree is an ordinary directory.
    for (const char* name : {"input", "bin", "inputFGM", "binFGM"})
        fs::remove(m_home / name);
    fs::create_directories(m_home / "real-bin");
    fs::create_directory_symlink(m_home / "real-bin", m_home / "bin");
    EXPECT_EQ(WriteSolverInput(doc, CompositeKind()), 1);
    EXPECT_TRUE(fs::exists(m_home / "real-bin" / "input.d"));
}

TEST_F(ProjectFiles, SpecialFilesAreNotOpenedAsProjects) {
    fs::create_directories(m_home / "input");
    const fs::path fifo = m_home / "input" / "fifo.dat";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    chooser.answer = fifo.string();
    OnOpenProject(doc, CompositeKind());  // returns instead of waiting for a writer
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_NE(sink.messages[0].find("not a regular file"), std::string::npos) << sink.messages[0];
    ExpectHome();
}
