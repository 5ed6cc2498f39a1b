// Write paths on a failing machine. Each case checks the same four things: the user is told
// (and the call does not report success), the old file is exactly as it was, no temporary or
// partial file is left where the program reads, and the working directory is home again.
// The tests run as root, where permission bits do not stop a write: a read-only bind mount in a
// private mount namespace does, and a file-size limit cuts writes as a full disk would.

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>

#include <functional>
#include <csignal>

#include "../solver/test_run_support.h"
#include "AtomicFile.h"
#include "OstrelDoc.h"
#include "PosixProcessRunner.h"
#include "ProjectFiles.h"
#include "ProjectFormat.h"
#include "ResultFiles.h"
#include "SolverRun.h"
#include "WorkingDirectory.h"
#include "../FileSizeLimit.h"

using namespace testsupport;

// Our code's rename() calls come here (-Wl,--wrap=rename); a test may act just before them.
std::function<void(const char*, const char*)> g_beforeRename;
extern "C" int __real_rename(const char* from, const char* to);
extern "C" int __wrap_rename(const char* from, const char* to) {
    if (g_beforeRename)
        g_beforeRename(from, to);
    return __real_rename(from, to);
}

namespace {

// dir becomes read-only for this process only; undone when the object goes (and at exit).
class CReadOnlyMount {
public:
    explicit CReadOnlyMount(const fs::path& dir) : m_dir(dir) {
        static const bool privateNamespace =
            ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        m_mounted = privateNamespace && ::mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) == 0;
        if (m_mounted && ::mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
            ::umount2(dir.c_str(), MNT_DETACH);
            m_mounted = false;
        }
    }
    ~CReadOnlyMount() {
        if (m_mounted)
            ::umount2(m_dir.c_str(), MNT_DETACH);
    }
    bool Active() const { return m_mounted; }

private:
    fs::path m_dir;
    bool m_mounted = false;
};

std::vector<std::string> Entries(const fs::path& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class FaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(temp.Path().empty());
        home = temp.Path() / "home";
        fs::create_directories(home / "elsewhere");
        doc.m_szStartDir = home.string();
        doc.m_services.messages = &messages;
        doc.m_services.processes = &runner;
    }
    void TearDown() override { ChangeDirectory(temp.Path().string()); }

    // Every command is started from somewhere else and must end at home.
    void FromElsewhere() { ASSERT_TRUE(ChangeDirectory((home / "elsewhere").string())); }
    void ExpectHome() const { EXPECT_EQ(CurrentDirectory(), home.string()); }

    CTempDir temp;
    fs::path home;
    COstrelDoc doc;
    CRecordingMessages messages;
    CPosixProcessRunner runner{{}, {}, std::chrono::milliseconds(10)};
};

// ---- read-only directories ---------------------------------------------------------------

TEST_F(FaultTest, ReadOnlyDirectoriesRefuseEveryWriteAndKeepTheOldFiles) {
    ASSERT_EQ(WriteProjectFile(doc, CompositeKind()), 1);
    ASSERT_EQ(WriteSolverInput(doc, CompositeKind()), 1);
    ASSERT_EQ(WriteProjectFile(doc, FGMKind()), 1);
    ASSERT_EQ(WriteSolverInput(doc, FGMKind()), 1);
    const std::string project = ReadText(home / "input" / "COM_project.dat");
    const std::string input = ReadText(home / "bin" / "input.d");
    const std::string fgm = ReadText(home / "inputFGM" / "FGM_project.dat");
    const std::string fgmInput = ReadText(home / "binFGM" / "inputfgm.dat");
    doc.m_strComTitle = "COM_project";
    doc.m_nLoadType = 4;  // something to write that differs from what is there
    doc.m_nFGMLoadType = 4;
    {
        CReadOnlyMount ro(home);
        if (!ro.Active())
            GTEST_SKIP() << "no private read-only bind mount here";
        // As root the permission bits would not stop this; the mount must.
        EXPECT_FALSE(std::ofstream(home / "probe").is_open());
        FromElsewhere();
        EXPECT_EQ(WriteProjectFile(doc, CompositeKind()), 0);
        ExpectHome();
        FromElsewhere();
        EXPECT_EQ(WriteSolverInput(doc, CompositeKind()), 0);
        ExpectHome();
        FromElsewhere();
        EXPECT_EQ(WriteProjectFile(doc, FGMKind()), 0);
        ExpectHome();
        FromElsewhere();
        EXPECT_EQ(WriteSolverInput(doc, FGMKind()), 0);
        ExpectHome();
        std::string why;
        EXPECT_FALSE(WriteFileAtomically((home / "bin" / "input.d").string(), "x", &why));
        EXPECT_NE(why.find("Read-only file system"), std::string::npos) << why;
    }
    // The project writers tell the user, with the file and the system's reason.
    ASSERT_EQ(messages.texts.size(), 2u);
    EXPECT_EQ(messages.texts[0].rfind("Cannot open the file for writing!\ninput/COM_project.dat", 0), 0u)
        << messages.texts[0];
    EXPECT_NE(messages.texts[0].find("Read-only file system"), std::string::npos) << messages.texts[0];
    EXPECT_EQ(messages.texts[1].rfind("Cannot open the file for writing!\ninputFGM/FGM_project.dat", 0), 0u)
        << messages.texts[1];
    EXPECT_EQ(ReadText(home / "input" / "COM_project.dat"), project);
    EXPECT_EQ(ReadText(home / "bin" / "input.d"), input);
    EXPECT_EQ(ReadText(home / "inputFGM" / "FGM_project.dat"), fgm);
    EXPECT_EQ(ReadText(home / "binFGM" / "inputfgm.dat"), fgmInput);
    // Nothing new: the project files with their settings, the solver input.
    for (const char* dir : {"input", "inputFGM", "binFGM"})
        EXPECT_EQ(Entries(home / dir).size(), dir[0] == 'i' ? 2u : 1u) << dir;
}

TEST_F(FaultTest, AReadOnlyRunDirectoryKeepsTheOldResultAndRunsNothing) {
    InstallSolver("writes_result", home / "bin", "lumdex");
    WriteText(home / "bin" / "result.dat", "0 1\n0 7\n");
    CReadOnlyMount ro(home / "bin");
    if (!ro.Active())
        GTEST_SKIP() << "no private read-only bind mount here";
    FromElsewhere();
    EXPECT_EQ(ExecuteSolver(doc, CompositeKind(), 1, "COM_project"), RunResult::OldResultStuck);
    ExpectHome();
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(messages.texts[0].rfind("The old result \"bin/result.dat\" cannot be removed (Read-only file system)", 0), 0u)
        << messages.texts[0];
    EXPECT_EQ(ReadText(home / "bin" / "result.dat"), "0 1\n0 7\n");
    EXPECT_FALSE(fs::exists(home / "output"));
}

// ---- directories that vanish -------------------------------------------------------------

// Another program deletes the project directory after the writer went into it and wrote the
// new file's bytes, just before they are renamed into place (the linker routes our code's
// rename() through __wrap_rename). The save must fail and say so, nothing may appear anywhere
// else, and the writer must come back home from a directory that no longer exists.
TEST_F(FaultTest, AProjectDirectoryDeletedJustBeforeTheRenameFailsTheSave) {
    ASSERT_EQ(WriteProjectFile(doc, CompositeKind()), 1);
    const fs::path input = home / "input";
    int renames = 0;
    g_beforeRename = [&](const char*, const char*) {
        ++renames;
        fs::remove_all(input);
    };
    doc.m_nLoadType = 4;
    FromElsewhere();
    const int result = WriteProjectFile(doc, CompositeKind());
    g_beforeRename = nullptr;
    EXPECT_EQ(renames, 1);
    EXPECT_EQ(result, 0);
    ExpectHome();
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(messages.texts[0].rfind("Cannot open the file for writing!\ninput/COM_project.dat", 0), 0u)
        << messages.texts[0];
    EXPECT_EQ(Entries(home), std::vector<std::string>{"elsewhere"});
    EXPECT_TRUE(Entries(home / "elsewhere").empty());
    // The next save makes the directory again and writes the whole file.
    EXPECT_EQ(WriteProjectFile(doc, CompositeKind()), 1);
    EXPECT_EQ(ReadText(input / "COM_project.dat"), FormatProject(CompositeKind(), doc));
}

// The same for a kept result: the output directory goes while the copy is being made; the copy
// reports failure and the run says the result was not kept there.
TEST_F(FaultTest, AnOutputDirectoryDeletedWhileTheResultIsCopiedIsReported) {
    InstallSolver("writes_result", home / "bin", "lumdex");
    const fs::path output = home / "output";
    g_beforeRename = [&](const char*, const char* to) {
        if (std::string(to).find("output") != std::string::npos)
            fs::remove_all(output);
    };
    FromElsewhere();
    const RunResult result = ExecuteSolver(doc, CompositeKind(), 1, "COM_project");
    g_beforeRename = nullptr;
    ExpectHome();
    EXPECT_EQ(result, RunResult::CopyFailed);
    ASSERT_FALSE(messages.texts.empty());
    EXPECT_EQ(messages.texts.back().rfind("The result could not be kept: ", 0), 0u) << messages.texts.back();
    EXPECT_FALSE(fs::exists(output));
}

// The solver takes its own run directory away after writing its result: the run that checked
// the directory first must not keep anything, must say so, and earlier copies stay.
TEST_F(FaultTest, ARunDirectoryThatVanishesDuringTheRunKeepsNothing) {
    InstallSolver("writes_result", home / "bin", "lumdex");
    ASSERT_EQ(ExecuteSolver(doc, CompositeKind(), 1, "COM_project"), RunResult::Kept);
    const std::string kept = ReadText(home / "output" / "COM_project" / "result_u.dat");
    ASSERT_FALSE(kept.empty());
    fs::copy_file(fs::path(FAULT_SOLVERS) / "removes_its_directory", home / "bin" / "lumdex",
                  fs::copy_options::overwrite_existing);
    messages.texts.clear();
    FromElsewhere();
    const RunResult result = ExecuteSolver(doc, CompositeKind(), 1, "COM_project");
    ExpectHome();
    EXPECT_NE(result, RunResult::Kept);
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_NE(messages.texts[0].find("result"), std::string::npos) << messages.texts[0];
    EXPECT_FALSE(fs::exists(home / "bin"));
    EXPECT_EQ(ReadText(home / "output" / "COM_project" / "result_u.dat"), kept);
    EXPECT_EQ(Entries(home / "output" / "COM_project"), std::vector<std::string>{"result_u.dat"});
}

// ---- solvers that die while writing --------------------------------------------------------

class RealSolverFaultTest : public FaultTest {
protected:
    static constexpr int kQuadratic = 2;  // the runs are about files: quadratic elements keep them short
    void SetUp() override {
        FaultTest::SetUp();
        // A two-layer cross-ply plate that the real solver answers in well under a second.
        CMaterial m;
        m.m_strName = "carbon";
        m.m_nNo = 1;
        m.m_dE1 = 181;
        m.m_dE2 = 10.3;
        m.m_dG12 = 7.17;
        m.m_dV12 = 0.28;
        m.m_dV23 = 0.4;
        m.m_dDensity = 1.6;
        doc.m_materials = {m};
        doc.m_nMaterials = 1;
        CLayer layer;
        layer.m_strLayer = "Layer 1";
        layer.m_nMaterial = 1;
        layer.m_fThickness = 0.5f;
        layer.m_nSublayers = 2;
        doc.m_layers = {layer, layer};
        doc.m_nComLayerCount = 2;
        doc.m_nLayers = 2;
        doc.m_nOutput = 3;
        ASSERT_EQ(WriteSolverInput(doc, CompositeKind()), 1);
        fs::copy_file(LUMDEX_PATH, home / "bin" / "lumdex");
        ASSERT_EQ(ExecuteSolver(doc, CompositeKind(), 3, "COM_project", kQuadratic), RunResult::Kept) << Messages();
        kept = ReadText(home / "output" / "COM_project" / "result_w.dat");
        keptInBin = ReadText(home / "bin" / "result_w.dat");
        ASSERT_GT(kept.size(), 4096u);
        ASSERT_EQ(keptInBin, kept);
        messages.texts.clear();
    }
    std::string Messages() const {
        std::string all;
        for (const auto& t : messages.texts)
            all += t + "\n";
        return all;
    }
    // The copies of the earlier run are untouched and nothing of the failed run was kept.
    void ExpectEarlierCopiesOnly() {
        EXPECT_EQ(ReadText(home / "output" / "COM_project" / "result_w.dat"), kept);
        EXPECT_EQ(ReadText(home / "bin" / "result_w.dat"), keptInBin);
        EXPECT_EQ(Entries(home / "output" / "COM_project"), std::vector<std::string>{"result_w.dat"});
        EXPECT_FALSE(fs::exists(home / "bin" / "result.dat"));
    }
    std::string kept, keptInBin;
};

TEST_F(RealSolverFaultTest, AResultCutByTheFileSizeLimitIsReportedAndNotKept) {
    RunResult result;
    {
        CFileSizeLimit limit(2048, /*ignoreSignal=*/true);
        FromElsewhere();
        result = ExecuteSolver(doc, CompositeKind(), 3, "COM_project", kQuadratic);
    }
    ExpectHome();
    EXPECT_EQ(result, RunResult::Failed) << Messages();
    ASSERT_EQ(messages.texts.size(), 1u) << Messages();
    EXPECT_EQ(messages.texts[0].rfind("The solver lumdex failed with exit code", 0), 0u) << Messages();
    ExpectEarlierCopiesOnly();
    // The solver cleaned up after its own failed write.
    EXPECT_EQ(Entries(home / "bin"), (std::vector<std::string>{"input.d", "lumdex", "result_w.dat"}));
}

TEST_F(RealSolverFaultTest, ASolverStartedWithSIGXFSZOnIgnoresItAndReportsTheFailedWrite) {
    // The solver sets SIGXFSZ aside itself: the default action the program leaves it does not
    // kill it halfway through its result.
    RunResult result;
    {
        CFileSizeLimit limit(2048, /*ignoreSignal=*/false);
        FromElsewhere();
        result = ExecuteSolver(doc, CompositeKind(), 3, "COM_project", kQuadratic);
    }
    ExpectHome();
    EXPECT_EQ(result, RunResult::Failed) << Messages();
    ASSERT_EQ(messages.texts.size(), 1u) << Messages();
    EXPECT_EQ(messages.texts[0].rfind("The solver lumdex failed with exit code", 0), 0u) << Messages();
    ExpectEarlierCopiesOnly();
    EXPECT_EQ(Entries(home / "bin"), (std::vector<std::string>{"input.d", "lumdex", "result_w.dat"}));
}

TEST_F(RealSolverFaultTest, ASolverKilledWhileWritingStraightIntoItsResultKeepsNothing) {
    fs::copy_file(fs::path(FAULT_SOLVERS) / "killed_while_writing", home / "bin" / "lumdex",
                  fs::copy_options::overwrite_existing);
    FromElsewhere();
    EXPECT_EQ(ExecuteSolver(doc, CompositeKind(), 3, "COM_project", kQuadratic), RunResult::Crashed);
    ExpectHome();
    ASSERT_EQ(messages.texts.size(), 1u) << Messages();
    EXPECT_EQ(messages.texts[0].rfind("The solver lumdex ended abnormally (terminated by signal 9", 0), 0u) << Messages();
    EXPECT_EQ(ReadText(home / "output" / "COM_project" / "result_w.dat"), kept);
    EXPECT_EQ(ReadText(home / "bin" / "result_w.dat"), keptInBin);
    // The broken file is the solver's own; the curve the program reads is the kept copy.
    doc.m_nResultComp = 3;
    EXPECT_EQ(ReadResult(doc, CompositeKind(), EResultSource::Current).outcome, CResultRead::Outcome::Read);
    EXPECT_GT(doc.m_nPoints, 100);
}

}  // namespace
