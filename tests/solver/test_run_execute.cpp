// The Execute commands with real child processes: which copies exist afterwards, what they
// hold, what the user is told, m_nRunType, and the working directory on every path.

#include <gtest/gtest.h>

#include "PosixProcessRunner.h"
#include "SolverRun.h"
#include "WorkingDirectory.h"
#include "test_run_support.h"

using namespace testsupport;

namespace {

const std::string kResult = "0 3\n0 0\n1 1\n2 -1\n";   // what writes_result leaves with the default value

class ExecuteTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(temp.Path().empty());
        home = temp.Path();
        doc.m_szStartDir = home.string();
        doc.m_services.messages = &messages;
        doc.m_services.processes = &runner;
        runner.SetLineCallback([this](const std::string& line) { waiting = waiting || line == "waiting"; });
        runner.SetCancelPredicate([this] { return waiting; });
        fs::create_directories(home / "bin");
        fs::create_directories(home / "binFGM");
        fs::create_directories(home / "elsewhere");
        ::unsetenv("PEMBLAR_FAKE_VALUE");
    }

    // Starts from a directory other than home: the run must come back to home.
    void RunComposite() {
        ChangeDirectory((home / "elsewhere").string());
        doc.m_nRunType = 0;
        OnExecute(doc, CompositeKind());
        EXPECT_EQ(CurrentDirectory(), home.string());
    }
    void RunFGM() {
        ChangeDirectory((home / "elsewhere").string());
        doc.m_nRunType = 1;
        OnExecute(doc, FGMKind());
        EXPECT_EQ(CurrentDirectory(), home.string());
    }
    bool NoCopiesAnywhere() const {
        for (const char* name : {"result_u.dat", "result_v.dat", "result_w.dat"})
            if (fs::exists(home / "bin" / name) || fs::exists(home / "output" / "COM_project" / name))
                return false;
        return true;
    }
    std::string OnlyMessage() const { return messages.texts.size() == 1 ? messages.texts[0] : "<" + std::to_string(messages.texts.size()) + " messages>"; }

    CTempDir temp;
    fs::path home;
    COstrelDoc doc;
    CRecordingMessages messages;
    CPosixProcessRunner runner{{}, {}, std::chrono::milliseconds(10)};
    bool waiting = false;
};

}  // namespace

TEST_F(ExecuteTest, KeepsTheNewResultUnderTheComponentNameNextToTheSolverAndUnderTheTitle) {
    InstallSolver("writes_result", home / "bin", "lumdex");
    doc.m_nOutput = 1;
    RunComposite();
    EXPECT_TRUE(messages.texts.empty()) << OnlyMessage();
    EXPECT_EQ(doc.m_nRunType, -1);
    EXPECT_EQ(ReadText(home / "bin" / "result.dat"), kResult);
    EXPECT_EQ(ReadText(home / "bin" / "result_u.dat"), kResult);
    EXPECT_EQ(ReadText(home / "output" / "COM_project" / "result_u.dat"), kResult);
    EXPECT_FALSE(fs::exists(home / "bin" / "result_v.dat"));

    // Output V refreshes only the V copies; the U copy of the first run stays; a second run of
    // the same title and component overwrites its copy.
    ::setenv("PEMBLAR_FAKE_VALUE", "5", 1);
    doc.m_nOutput = 2;
    RunComposite();
    const std::string second = "0 3\n0 0\n1 5\n2 -5\n";
    EXPECT_EQ(ReadText(home / "bin" / "result_v.dat"), second);
    EXPECT_EQ(ReadText(home / "output" / "COM_project" / "result_v.dat"), second);
    EXPECT_EQ(ReadText(home / "bin" / "result_u.dat"), kResult);
    ::setenv("PEMBLAR_FAKE_VALUE", "7", 1);
    RunComposite();
    EXPECT_EQ(ReadText(home / "output" / "COM_project" / "result_v.dat"), "0 3\n0 0\n1 7\n2 -7\n");
    EXPECT_TRUE(messages.texts.empty()) << OnlyMessage();
    // Nothing but the copies: no temporary files left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(home / "output" / "COM_project"), fs::directory_iterator()), 2);
}

TEST_F(ExecuteTest, FGMRunUsesItsOwnDirectoriesNamesAndOutputCode) {
    InstallSolver("writes_result", home / "binFGM", "Kavrit");
    doc.m_nFGMOutput = 3;
    doc.m_strFGMTitle = "plate 7";
    RunFGM();
    EXPECT_TRUE(messages.texts.empty()) << OnlyMessage();
    EXPECT_EQ(doc.m_nRunType, -1);
    EXPECT_EQ(ReadText(home / "binFGM" / "resultfgm_w.dat"), kResult);
    EXPECT_EQ(ReadText(home / "outputFGM" / "plate 7" / "resultfgm_w.dat"), kResult);
    EXPECT_FALSE(fs::exists(home / "output"));
}

TEST_F(ExecuteTest, AStaleResultIsRemovedAndNeverKeptWhenTheSolverWritesNothing) {
    InstallSolver("writes_nothing", home / "bin", "lumdex");
    WriteText(home / "bin" / "result.dat", "0 1\n0 99\n");
    WriteText(home / "bin" / "result_u.dat", "old u\n");
    RunComposite();
    EXPECT_FALSE(fs::exists(home / "bin" / "result.dat"));
    EXPECT_EQ(ReadText(home / "bin" / "result_u.dat"), "old u\n") << "the older copy is not replaced";
    EXPECT_FALSE(fs::exists(home / "output" / "COM_project" / "result_u.dat"));
    EXPECT_EQ(OnlyMessage(), "The solver lumdex wrote no result file \"result.dat\"; no result was kept.\n\n"
                             "The solver's last output:\nnothing to solve");
    EXPECT_EQ(doc.m_nRunType, -1);
}

TEST_F(ExecuteTest, ANonZeroExitKeepsNothingEvenWhenAResultWasWritten) {
    InstallSolver("exits_nonzero", home / "bin", "lumdex");
    RunComposite();
    EXPECT_TRUE(fs::exists(home / "bin" / "result.dat"));
    EXPECT_TRUE(NoCopiesAnywhere());
    // The solver's own reason follows, so the user learns why without the progress window.
    EXPECT_EQ(OnlyMessage(), "The solver lumdex failed with exit code 3; no result was kept.\n\n"
                             "The solver's last output:\ninput.d: bad layer count");
    EXPECT_EQ(doc.m_nRunType, -1);
}

TEST_F(ExecuteTest, ACrashKeepsNothing) {
    InstallSolver("crashes", home / "bin", "lumdex");
    RunComposite();
    EXPECT_TRUE(NoCopiesAnywhere());
    EXPECT_EQ(OnlyMessage().rfind("The solver lumdex ended abnormally (terminated by signal 11", 0), 0u) << OnlyMessage();
    EXPECT_EQ(doc.m_nRunType, -1);
}

TEST_F(ExecuteTest, ACancelledRunKeepsNothingAndCanBeStartedAgain) {
    InstallSolver("hangs", home / "bin", "lumdex");
    RunComposite();
    EXPECT_TRUE(NoCopiesAnywhere());
    EXPECT_EQ(OnlyMessage(), "The solver run was cancelled; no result was kept.");
    EXPECT_EQ(doc.m_nRunType, 0) << "still prepared";

    messages.texts.clear();
    waiting = false;
    doc.m_nRunType = 1;
    InstallSolver("hangs", home / "binFGM", "Kavrit");
    OnExecute(doc, FGMKind());
    EXPECT_EQ(doc.m_nRunType, 1);
    EXPECT_FALSE(fs::exists(home / "binFGM" / "resultfgm_u.dat"));
}

TEST_F(ExecuteTest, TheSolverComesFromTheRunDirectoryFirstThenFromThePath) {
    CTempDir tools;
    InstallSolver("writes_nothing", tools.Path(), "lumdex");
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (tools.Path().string() + ":" + oldPath).c_str(), 1);

    // On the path only: that one runs (and writes nothing).
    RunComposite();
    EXPECT_EQ(OnlyMessage(), "The solver lumdex wrote no result file \"result.dat\"; no result was kept.\n\n"
                             "The solver's last output:\nnothing to solve");

    // In "bin" as well: the one in "bin" wins.
    messages.texts.clear();
    InstallSolver("writes_result", home / "bin", "lumdex");
    RunComposite();
    EXPECT_TRUE(messages.texts.empty()) << OnlyMessage();
    EXPECT_EQ(ReadText(home / "bin" / "result_u.dat"), kResult);
    EXPECT_EQ(SolverRequest(CompositeKind(), (home / "bin").string()).program, "./lumdex");
    ::setenv("PATH", oldPath.c_str(), 1);
}

TEST_F(ExecuteTest, AMissingSolverOrRunDirectoryIsReported) {
    ::setenv("PATH", "/nonexistent", 1);
    RunComposite();
    EXPECT_EQ(OnlyMessage().rfind("The solver lumdex could not be started (", 0), 0u) << OnlyMessage();
    EXPECT_EQ(doc.m_nRunType, -1);

    messages.texts.clear();
    fs::remove_all(home / "binFGM");
    RunFGM();
    EXPECT_EQ(OnlyMessage(), "The run directory \"binFGM\" does not exist, so the solver has no input; enter the parameters first.");
    EXPECT_EQ(doc.m_nRunType, -1);
    EXPECT_FALSE(fs::exists(home / "outputFGM"));
}

TEST_F(ExecuteTest, ATitleThatIsNoPlainNameKeepsNoCopyOutsideBin) {
    InstallSolver("writes_result", home / "bin", "lumdex");
    for (const std::string title : {"../escaped", "..", "a/b", ""}) {
        messages.texts.clear();
        doc.m_strComTitle = title;
        RunComposite();
        EXPECT_EQ(ReadText(home / "bin" / "result_u.dat"), kResult);
        EXPECT_EQ(OnlyMessage(), "The project title \"" + title +
                                     "\" cannot be used as a directory name; the result was kept in \"bin\" only.");
        EXPECT_EQ(doc.m_nRunType, -1);
    }
    EXPECT_FALSE(fs::exists(home.parent_path() / "escaped"));
    EXPECT_FALSE(fs::exists(home / "output" / "a"));
    EXPECT_TRUE(fs::is_empty(home / "output"));
}

TEST_F(ExecuteTest, AnOutputCodeOutsideOneToThreeKeepsNoCopy) {
    InstallSolver("writes_result", home / "bin", "lumdex");
    doc.m_nOutput = 4;
    RunComposite();
    EXPECT_TRUE(messages.texts.empty()) << OnlyMessage();
    EXPECT_TRUE(NoCopiesAnywhere());
    EXPECT_EQ(doc.m_nRunType, -1);
}

TEST_F(ExecuteTest, WithoutAProcessServiceTheRunIsHeadless) {
    InstallSolver("writes_result", home / "bin", "lumdex");
    doc.m_services.processes = nullptr;
    RunComposite();
    EXPECT_TRUE(messages.texts.empty()) << OnlyMessage();
    EXPECT_EQ(ReadText(home / "output" / "COM_project" / "result_u.dat"), kResult);
}

TEST_F(ExecuteTest, DirectoriesLinkedOutOfTheTreeAreNeverWrittenThrough) {
    CTempDir outside;
    InstallSolver("writes_result", home / "bin", "lumdex");
    doc.m_nOutput = 3;
    // "output/COM_project" planted as a link to a directory elsewhere.
    fs::create_directories(home / "output");
    fs::create_directory_symlink(outside.Path(), home / "output" / "COM_project");
    RunComposite();
    EXPECT_NE(OnlyMessage().find("\"output/COM_project\" leads outside the working directory"), std::string::npos)
        << OnlyMessage();
    EXPECT_TRUE(fs::is_empty(outside.Path()));
    EXPECT_TRUE(fs::exists(home / "bin" / "result_w.dat"));  // the copy beside the solver is kept

    // "output" itself a link.
    messages.texts.clear();
    fs::remove(home / "output" / "COM_project");
    fs::remove(home / "output");
    fs::create_directory_symlink(outside.Path(), home / "output");
    RunComposite();
    EXPECT_NE(OnlyMessage().find("\"output\" leads outside"), std::string::npos) << OnlyMessage();
    EXPECT_TRUE(fs::is_empty(outside.Path()));

    // The run directory a link: the solver is not run there at all, and nothing is removed.
    messages.texts.clear();
    fs::copy_file(home / "bin" / "lumdex", outside.Path() / "lumdex");
    std::ofstream(outside.Path() / "result.dat") << "someone else's";
    fs::remove_all(home / "bin");
    fs::create_directory_symlink(outside.Path(), home / "bin");
    RunComposite();
    EXPECT_NE(OnlyMessage().find("\"bin\" leads outside"), std::string::npos) << OnlyMessage();
    EXPECT_EQ(ReadText(outside.Path() / "result.dat"), "someone else's");
    EXPECT_FALSE(fs::exists(outside.Path() / "result_w.dat"));
}

TEST(ElementOrder, OnlyAFixedOrderTheSolversTakeBecomesArguments) {
    using Args = std::vector<std::string>;
    EXPECT_EQ(ElementOrderArguments(kAutomaticOrder), Args{});
    EXPECT_EQ(ElementOrderArguments(1), (Args{"--order", "1"}));
    EXPECT_EQ(ElementOrderArguments(2), (Args{"--order", "2"}));
    EXPECT_EQ(ElementOrderArguments(kMaxElementOrder), (Args{"--order", std::to_string(kMaxElementOrder)}));
    // Beyond the solvers' limits the run is left to their own choice rather than refused.
    for (int order : {-1, kMaxElementOrder + 1, 1000})
        EXPECT_EQ(ElementOrderArguments(order), Args{}) << order;
    EXPECT_EQ(SolverRequest(CompositeKind(), "/nonexistent/bin").arguments, Args{});
    EXPECT_EQ(SolverRequest(FGMKind(), "/nonexistent/binFGM", 9).arguments, (Args{"--order", "9"}));
}

TEST_F(ExecuteTest, TheElementOrderReachesBothSolversAsArguments) {
    InstallSolver("records_arguments", home / "bin", "lumdex");
    InstallSolver("records_arguments", home / "binFGM", "Kavrit");
    doc.m_nOutput = 1;
    doc.m_nFGMOutput = 3;
    doc.m_nRunType = 0;
    EXPECT_EQ(ExecuteSolver(doc, CompositeKind(), 1, "COM_project", 7), RunResult::Kept) << OnlyMessage();
    EXPECT_EQ(ReadText(home / "bin" / "arguments.txt"), "--order\n7\n");
    EXPECT_EQ(ExecuteSolver(doc, CompositeKind(), 1, "COM_project"), RunResult::Kept) << OnlyMessage();
    EXPECT_EQ(ReadText(home / "bin" / "arguments.txt"), "");
    doc.m_nRunType = 1;
    doc.m_nElementOrder = 32;  // the project's own order
    OnExecute(doc, FGMKind());
    EXPECT_TRUE(messages.texts.empty()) << OnlyMessage();
    EXPECT_EQ(ReadText(home / "binFGM" / "arguments.txt"), "--order\n32\n");
    EXPECT_TRUE(fs::exists(home / "outputFGM" / "FGM_project" / "resultfgm_w.dat"));
}

TEST_F(ExecuteTest, TheLastRunIsRememberedWithTheOrdersItUsedUntilTheNextRunFails) {
    InstallSolver("writes_result", home / "bin", "lumdex");
    EXPECT_EQ(LastRunText(doc), "");
    doc.m_nOutput = 3;
    RunComposite();
    EXPECT_EQ(doc.m_lastRun.kind, 0);
    EXPECT_EQ(doc.m_lastRun.component, 3);
    EXPECT_EQ(doc.m_lastRun.orders, (std::vector<int>{4, 3}));
    EXPECT_EQ(LastRunText(doc),
              "lumdex wrote W (composite) to output/COM_project/result_w.dat; element orders from the top layer 4, 3, "
              "chosen automatically");
    // A fixed order is the user's; a title that is no directory name keeps the copy in bin only.
    EXPECT_EQ(ExecuteSolver(doc, CompositeKind(), 1, "../away", 5), RunResult::Kept);
    EXPECT_EQ(LastRunText(doc),
              "lumdex wrote U (composite) to bin/result_u.dat; element orders from the top layer 4, 3, as set in "
              "Solver options");
    // A run that keeps nothing leaves nothing to show, though an older copy is still there.
    InstallSolver("writes_nothing", home / "bin", "lumdex");
    RunComposite();
    EXPECT_TRUE(fs::exists(home / "bin" / "result_w.dat"));
    EXPECT_EQ(doc.m_lastRun.kind, -1);
    EXPECT_EQ(LastRunText(doc), "");
}

TEST(ElementOrder, TheOrdersAreReadFromTheLastLineThatNamesThemAndOnlyWhenWellFormed) {
    using Orders = std::vector<int>;
    const std::string head = "element orders (layers from the top)";
    EXPECT_EQ(ParseElementOrders({head + " 2", "progress 100%", head + " 5 6 7"}), (Orders{5, 6, 7}));
    EXPECT_EQ(ParseElementOrders({head + " 9", "done"}), Orders{9});
    for (const std::string& bad : std::vector<std::string>{" 4 x", " 4 0", " 4 " + std::to_string(kMaxElementOrder + 1), " 4.5", " -3"})
        EXPECT_EQ(ParseElementOrders({head + bad}), Orders{}) << bad;
    EXPECT_EQ(ParseElementOrders({"progress 100%", "element orders 4"}), Orders{});
    // One layer: the order said in the singular.
    COstrelDoc doc;
    doc.m_lastRun = {1, 2, "outputFGM/p/resultfgm_v.dat", {6}, true};
    EXPECT_EQ(LastRunText(doc), "Kavrit wrote V (FGM) to outputFGM/p/resultfgm_v.dat; element order 6, chosen automatically");
    doc.m_lastRun.orders.clear();
    EXPECT_EQ(LastRunText(doc), "Kavrit wrote V (FGM) to outputFGM/p/resultfgm_v.dat");
}
