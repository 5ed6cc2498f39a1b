// The headless process runner against real child processes: output lines, exit codes,
// signals, programs that are not there, PATH lookup, and cancel killing the whole group.

#include <gtest/gtest.h>
#include <signal.h>

#include "PosixProcessRunner.h"
#include "SolverRun.h"
#include "test_run_support.h"

using namespace testsupport;

namespace {

struct CRun {
    std::vector<std::string> lines;
    ProcessOutcome outcome;
};

CRun RunFake(const fs::path& dir, const std::string& program, CPosixProcessRunner::CancelPredicate cancel = {}) {
    CRun run;
    CPosixProcessRunner runner([&](const std::string& line) { run.lines.push_back(line); }, std::move(cancel),
                               std::chrono::milliseconds(10));
    run.outcome = runner.Run(ProcessRequest{program, {}, dir.string()});
    return run;
}

bool HasLine(const CRun& run, const std::string& line) {
    return std::find(run.lines.begin(), run.lines.end(), line) != run.lines.end();
}

}  // namespace

TEST(PosixProcessRunner, RunsInTheRequestedDirectoryAndHandsOnEveryLine) {
    CTempDir temp;
    InstallSolver("writes_result", temp.Path() / "bin", "lumdex");
    const CRun run = RunFake(temp.Path() / "bin", "./lumdex");
    EXPECT_EQ(run.outcome.status, ProcessOutcome::Status::Finished);
    EXPECT_EQ(run.outcome.exitCode, 0);
    EXPECT_EQ(run.lines, (std::vector<std::string>{"solving in " + (temp.Path() / "bin").string(),
                                                    "element orders (layers from the top) 4 3", "done"}));
    EXPECT_TRUE(fs::exists(temp.Path() / "bin" / "result.dat"));
}

TEST(PosixProcessRunner, HandsOnStandardErrorAndFindsProgramsWithoutAShell) {
    CTempDir temp;
    InstallSolver("exits_nonzero", temp.Path(), "lumdex");
    const CRun failed = RunFake(temp.Path(), "./lumdex");
    EXPECT_EQ(failed.outcome.exitCode, 3);
    EXPECT_TRUE(HasLine(failed, "input.d: bad layer count")) << "the solver's complaints are shown too";

    // Relative paths come from the working directory; a bare name only from PATH, never ".".
    const std::string dir = temp.Path().string();
    EXPECT_EQ(ResolveProgram("./lumdex", dir), dir + "/lumdex");
    EXPECT_EQ(ResolveProgram("../" + temp.Path().filename().string() + "/lumdex", dir), dir + "/lumdex");
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", ("::" + oldPath).c_str(), 1);
    EXPECT_EQ(ResolveProgram("lumdex", dir), "");
    ::setenv("PATH", oldPath.c_str(), 1);
    WriteText(temp.Path() / "plain", "#!/bin/sh\nexit 0\n");
    EXPECT_EQ(RunFake(temp.Path(), "./plain").outcome.status, ProcessOutcome::Status::FailedToStart);
}

TEST(PosixProcessRunner, CancelKillsTheSolverAndWhatItStarted) {
    CTempDir temp;
    InstallSolver("hangs", temp.Path(), "lumdex");
    pid_t helper = 0;
    bool waiting = false;
    CPosixProcessRunner runner(
        [&](const std::string& line) {
            if (line.rfind("helper ", 0) == 0)
                helper = std::stoi(line.substr(7));
            waiting = waiting || line == "waiting";
        },
        [&] { return waiting; }, std::chrono::milliseconds(10));
    const auto started = std::chrono::steady_clock::now();
    const ProcessOutcome outcome = runner.Run(ProcessRequest{"./lumdex", {}, temp.Path().string()});
    EXPECT_EQ(outcome.status, ProcessOutcome::Status::Cancelled);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    ASSERT_GT(helper, 0);
    EXPECT_TRUE(ProcessIsGone(helper));
}

TEST(LineSplitter, EndsLinesAtNewlinesCarriageReturnsAndTheEnd) {
    std::vector<std::string> lines;
    CLineSplitter splitter([&](const std::string& l) { lines.push_back(l); });
    const std::string text = "one\r\ntwo\nprogress 10%\rprogress 20%\r\n\nlast";
    // Byte by byte, so that pairs split across reads are covered as well.
    for (char c : text)
        splitter.Feed(&c, 1);
    splitter.Finish();
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "progress 10%", "progress 20%", "", "last"}));
}

TEST(LastLines, KeepTheLastThreeSayingLinesReadably) {
    CLastLines last;
    for (const char* line : {"reading", "progress 10%", "line one", "", "   ", "line two", "progress 100%", "\tline three  "})
        last.Add(line);
    EXPECT_EQ(last.Lines(), (std::vector<std::string>{"line one", "line two", "line three"}));
    last.Add("bell\a and escape\x1b[31m");
    EXPECT_EQ(last.Lines().back(), "bell? and escape?[31m");
    last.Add(std::string(100000, 'x'));
    EXPECT_EQ(last.Lines().back(), std::string(CLastLines::kLineLength, 'x') + "...");
    EXPECT_EQ(last.Lines().size(), CLastLines::kLines);
}

TEST(LastLines, ARefusedCommandLineKeepsItsReasonNotTheUsage) {
    // The solvers' own way to refuse an option: the reason, then their usage text.
    CLastLines last;
    for (const char* line : {"progress 0%", "lumdex: --points needs a whole count from 2 to 100000: 1000000 is too large",
                             "usage: lumdex [options]       reads input.d, writes result.dat",
                             "       lumdex --dispersion [--modes N] [KAPPA ...]", "options:", "  --points N  output samples"})
        last.Add(line);
    EXPECT_EQ(last.Lines(), (std::vector<std::string>{
                                "lumdex: --points needs a whole count from 2 to 100000: 1000000 is too large"}));
}

TEST(PosixProcessRunner, KeepsWhatTheSolverLastSaid) {
    CTempDir temp;
    InstallSolver("exits_nonzero", temp.Path(), "lumdex");
    CPosixProcessRunner runner;
    const ProcessOutcome outcome = runner.Run(ProcessRequest{"./lumdex", {}, temp.Path().string()});
    EXPECT_EQ(outcome.exitCode, 3);
    EXPECT_EQ(outcome.lastLines, std::vector<std::string>{"input.d: bad layer count"});
}

TEST(ProgressLine, AcceptsOnlyTheSolversForm) {
    EXPECT_EQ(ParseProgressPercent("progress 0%"), 0);
    EXPECT_EQ(ParseProgressPercent("progress 42%"), 42);
    EXPECT_EQ(ParseProgressPercent("  progress\t100%  "), 100);
    EXPECT_EQ(ParseProgressPercent("progress 101%"), std::nullopt);
    EXPECT_EQ(ParseProgressPercent("progress 5"), std::nullopt);
    EXPECT_EQ(ParseProgressPercent("progress -5%"), std::nullopt);
    EXPECT_EQ(ParseProgressPercent("progress5%"), std::nullopt);
    EXPECT_EQ(ParseProgressPercent("progress 5% done"), std::nullopt);
    EXPECT_EQ(ParseProgressPercent("Progress 5%"), std::nullopt);
    EXPECT_EQ(ParseProgressPercent("progress 99999999999%"), std::nullopt);
    EXPECT_EQ(ParseProgressPercent(""), std::nullopt);
}
