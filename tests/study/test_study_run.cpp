// Whole studies run on this machine: the real solver, scripted solvers for the two receiver
// interfaces and for failures, a run killed halfway and resumed, and a cancel from outside.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <sstream>
#include <thread>

#include "PosixProcessRunner.h"
#include "ResultFiles.h"
#include "StudyCommands.h"
#include "StudyManifest.h"
#include "StudyPlan.h"
#include "StudyStatus.h"
#include "StudyRunSupport.h"

using namespace studytest;

namespace {

int Lines(const std::string& text) {
    int n = 0;
    for (char c : text)
        n += c == '\n';
    return n;
}

std::vector<CCurvePoint> Curve(const std::string& path) {
    return ParseResultText(ReadAll(path)).points;
}

// Every task directory there is holds every one of its results: nothing half-made.
void ExpectWholeOrAbsent(const StudyManifest& m) {
    for (int t = 1; t <= static_cast<int>(m.tasks.size()); ++t) {
        if (!fs::exists(TaskDir(m, t)))
            continue;
        for (int i = 1; i <= m.tasks[t - 1].receiverCount; ++i)
            EXPECT_EQ(Curve(TaskDir(m, t) + "/" + NumberedResultName(m.resultStem, i)).size(), 3u)
                << TaskDir(m, t);
    }
}

TEST(StudyRun, ReceiverSweepWithTheRealSolverMatchesSingleRuns) {
    CTempProject p;
    p.Write("input/plate.dat", kSharedPlyProject);
    // The real solver behind a line of log per run.
    const std::string solver = p.Write("logged_lumdex", "#!/bin/sh\necho \"$*\" >> " + p.Path("runs.log") +
                                                            "\nexec " + LUMDEX_PATH + " \"$@\"\n");
    fs::permissions(solver, fs::perms::owner_all);
    const std::string file = StudyFile(p, solver,
                                       "points = 41\norder = 2\n[receivers]\nvalues = [1.0, 2.5, 4.0]\n"
                                       "[scheduler]\nreceivers_per_task = 2\njobs = 2\n");
    CCapture out;
    ASSERT_EQ(StudyRunCommand(file, out.io), 0) << out.All();
    EXPECT_TRUE(out.Said("3 tasks") || out.Said("2 tasks")) << out.All();
    EXPECT_TRUE(out.Said("progress 100%"));
    const StudyManifest m = Manifest(p);
    ASSERT_EQ(m.tasks.size(), 2u);
    // One solve per block: the solver took the receiver list.
    EXPECT_EQ(ReadAll(p.Path("runs.log")),
              "--points 41 --threads 1 --order 2 --receivers receivers.txt\n"
              "--points 41 --threads 1 --order 2 --receivers receivers.txt\n");
    // The same case with one receiving point, solved alone.
    const std::string single = p.Path("single");
    fs::create_directories(single);
    const std::string input = ReadAll(m.studyDir + "/case-0001/input.d");
    const std::string results[] = {TaskDir(m, 1) + "/result_r0001.dat", TaskDir(m, 1) + "/result_r0002.dat",
                                   TaskDir(m, 2) + "/result_r0001.dat"};
    for (int i = 0; i < 3; ++i) {
        p.Write("single/input.d", WithReceiver(input, m.receivers[static_cast<std::size_t>(i)]));
        CPosixProcessRunner runner;
        const ProcessOutcome o = runner.Run(ProcessRequest{LUMDEX_PATH, {"--points", "41", "--order", "2"}, single});
        ASSERT_EQ(o.exitCode, 0);
        const auto alone = Curve(single + "/result.dat");
        const auto swept = Curve(results[i]);
        ASSERT_EQ(alone.size(), 41u);
        ASSERT_EQ(swept.size(), 41u);
        float peak = 0;
        for (const CCurvePoint& q : alone)
            peak = std::max(peak, std::fabs(q.m_fY));
        ASSERT_GT(peak, 0);
        for (std::size_t k = 0; k < alone.size(); ++k) {
            EXPECT_EQ(swept[k].m_fX, alone[k].m_fX);
            EXPECT_NEAR(swept[k].m_fY, alone[k].m_fY, 1e-5 * peak) << "receiver " << i << " point " << k;
        }
    }
    const std::string csv = ReadAll(m.studyDir + "/results.csv");
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "case,receiver_x,time,value");
    EXPECT_EQ(Lines(csv), 1 + 3 * 41);
}

TEST(StudyRun, AnFGMSweepRunsTheRealFGMSolver) {
    CTempProject p;
    p.Write("inputFGM/graded.dat",
            "graded\n2    2\n  1    3.1400\n3    3\n0.00    4.00\n2.0000\n"
            "steel  1  200.0000  0.0000  0.0000  0.3000  0.0000  0.0000  7.8000\n"
            "alu  2  70.0000  0.0000  0.0000  0.3300  0.0000  0.0000  2.7000\n"
            "Layer 1 1 0.2000 0.5000\nLayer 2 1 0.6000 0.5000\n0.9000\n1 \n");
    const std::string file = p.Write("g.toml", "project = \"inputFGM/graded.dat\"\nsolver = \"" +
                                                   std::string(KAVRIT_PATH) +
                                                   "\"\npoints = 21\n[receivers]\nvalues = [1, 2]\n"
                                                   "[[vary]]\nparameter = \"volume_fraction\"\nlayer = 2\nvalues = [0.2, 0.8]\n");
    CCapture out;
    ASSERT_EQ(StudyRunCommand(file, out.io), 0) << out.All();
    StudyManifest m;
    std::string error;
    ASSERT_TRUE(ReadManifest(p.Path("outputFGM/graded/studies/g"), m, &error)) << error;
    ASSERT_EQ(Curve(TaskDir(m, 2) + "/resultfgm_r0002.dat").size(), 21u);
    // A different grading gives a different response.
    EXPECT_NE(ReadAll(TaskDir(m, 1) + "/resultfgm_r0002.dat"), ReadAll(TaskDir(m, 2) + "/resultfgm_r0002.dat"));
}

TEST(StudyRun, ASolverWithAReceiverListRunsOncePerTask) {
    CTempProject p;
    p.Write("input/plate.dat", kSharedPlyProject);
    CEnv env;
    env.Set("PEMBLAR_FAKE_LOG", p.Path("runs.log"));
    const std::string file = StudyFile(p, kFakes + "/receivers_solver",
                                       "[receivers]\nfrom = 1\nto = 5\nstep = 1\n"
                                       "[[vary]]\nparameter = \"frequency\"\nvalues = [1, 2]\n");
    CCapture out;
    ASSERT_EQ(StudyRunCommand(file, out.io), 0) << out.All();
    EXPECT_EQ(Lines(ReadAll(p.Path("runs.log"))), 2);
    const StudyManifest m = Manifest(p);
    const auto fourth = Curve(TaskDir(m, 2) + "/result_r0004.dat");
    ASSERT_EQ(fourth.size(), 3u);
    EXPECT_FLOAT_EQ(fourth[1].m_fY, 40.0f);
    EXPECT_EQ(ReadAll(TaskDir(m, 2) + "/receivers.txt"), "1.0000\n2.0000\n3.0000\n4.0000\n5.0000\n");
}

TEST(StudyRun, AFixedElementOrderReachesEverySolverRunAndStaysForResume) {
    CTempProject p;
    p.Write("input/plate.dat", kSharedPlyProject);
    CEnv env;
    env.Set("PEMBLAR_FAKE_LOG", p.Path("runs.log"));
    env.Set("PEMBLAR_FAKE_FAIL_CASE", "case-0002");
    const std::string file = StudyFile(p, kFakes + "/receivers_solver",
                                       "order = 6\n[receivers]\nvalues = [1, 2]\n"
                                       "[[vary]]\nparameter = \"frequency\"\nvalues = [1, 2]\n");
    CCapture out;
    EXPECT_EQ(StudyRunCommand(file, out.io), 1) << out.All();
    EXPECT_EQ(Manifest(p).order, 6);
    // The study file loses its order: resume says so instead of mixing orders in one study.
    const std::string text = ReadAll(file);
    std::string changed = text;
    changed.replace(changed.find("order = 6\n"), 10, "");
    p.Write("s.toml", changed);
    env.Set("PEMBLAR_FAKE_FAIL_CASE", "none");
    CCapture refused;
    EXPECT_EQ(StudyResumeCommand(file, refused.io), 1);
    EXPECT_TRUE(refused.Said("element order: 6 when the study started, automatic now")) << refused.All();
    EXPECT_EQ(Lines(ReadAll(p.Path("runs.log"))), 2);
    // With the file as it was, the remaining task runs with the order the study started with.
    p.Write("s.toml", text);
    ASSERT_EQ(StudyResumeCommand(file, out.io), 0) << out.All();
    const std::string log = ReadAll(p.Path("runs.log"));
    EXPECT_EQ(Lines(log), 3) << log;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
        EXPECT_NE(line.find(" --threads 1 --order 6 --receivers receivers.txt"), std::string::npos) << line;
}

TEST(StudyRun, ASolverWithoutOneRunsOncePerReceiver) {
    CTempProject p;
    p.Write("input/plate.dat", kSharedPlyProject);
    CEnv env;
    env.Set("PEMBLAR_FAKE_LOG", p.Path("runs.log"));
    const std::string file = StudyFile(p, kFakes + "/single_solver", "[receivers]\nvalues = [1.5, 3, -2]\n");
    CCapture out;
    ASSERT_EQ(StudyRunCommand(file, out.io), 0) << out.All();
    EXPECT_EQ(Lines(ReadAll(p.Path("runs.log"))), 4);  // the refused list, then one per receiver
    const StudyManifest m = Manifest(p);
    EXPECT_FLOAT_EQ(Curve(TaskDir(m, 1) + "/result_r0001.dat")[1].m_fY, 15.0f);
    EXPECT_FLOAT_EQ(Curve(TaskDir(m, 1) + "/result_r0003.dat")[1].m_fY, -20.0f);
    EXPECT_FALSE(fs::exists(TaskDir(m, 1) + "/result.dat"));
}

TEST(StudyRun, AFailedTaskIsMarkedAndResumeRunsOnlyIt) {
    CTempProject p;
    p.Write("input/plate.dat", kSharedPlyProject);
    CEnv env;
    env.Set("PEMBLAR_FAKE_LOG", p.Path("runs.log"));
    env.Set("PEMBLAR_FAKE_FAIL_CASE", "case-0002");
    const std::string file = StudyFile(p, kFakes + "/receivers_solver",
                                       "[receivers]\nvalues = [1, 2]\n"
                                       "[[vary]]\nparameter = \"thickness\"\nlayer = 1\nvalues = [0.1, 0.2, 0.3]\n");
    CCapture first;
    EXPECT_EQ(StudyRunCommand(file, first.io), 1);
    EXPECT_TRUE(first.Said("task 2 (case-0002/block-0001) failed")) << first.All();
    EXPECT_TRUE(first.Said("refused on purpose")) << first.All();
    const StudyManifest m = Manifest(p);
    EXPECT_FALSE(fs::exists(TaskDir(m, 2)));
    EXPECT_FALSE(fs::exists(m.studyDir + "/results.csv"));
    const auto statuses = TaskStatuses(m, {});
    EXPECT_EQ(statuses[1].state, TaskState::Failed);
    EXPECT_EQ(statuses[0].state, TaskState::Done);

    // Running it again is refused: the study exists; resume is the way on.
    CCapture again;
    EXPECT_EQ(StudyRunCommand(file, again.io), 1);
    EXPECT_TRUE(again.Said("resume")) << again.All();

    ::unsetenv("PEMBLAR_FAKE_FAIL_CASE");
    fs::remove(p.Path("runs.log"));
    CCapture resumed;
    ASSERT_EQ(StudyResumeCommand(file, resumed.io), 0) << resumed.All();
    EXPECT_TRUE(resumed.Said("resuming tasks 2")) << resumed.All();
    EXPECT_EQ(Lines(ReadAll(p.Path("runs.log"))), 1);
    EXPECT_FALSE(fs::exists(TaskFailedMarker(m, 2)));
    EXPECT_EQ(Lines(ReadAll(m.studyDir + "/results.csv")), 1 + 3 * 2 * 3);
    CCapture nothing;
    EXPECT_EQ(StudyResumeCommand(file, nothing.io), 0);
    EXPECT_TRUE(nothing.Said("nothing to resume")) << nothing.All();
}

TEST(StudyRun, ANonFiniteResultIsAFailure) {
    CTempProject p;
    p.Write("input/plate.dat", kSharedPlyProject);
    CEnv env;
    env.Set("PEMBLAR_FAKE_NAN", "1");
    const std::string file = StudyFile(p, kFakes + "/receivers_solver", "[receivers]\nvalues = [1, 2]\n");
    CCapture out;
    EXPECT_EQ(StudyRunCommand(file, out.io), 1);
    EXPECT_TRUE(out.Said("finite points")) << out.All();
    const StudyManifest m = Manifest(p);
    EXPECT_FALSE(fs::exists(TaskDir(m, 1)));
    EXPECT_TRUE(fs::exists(TaskFailedMarker(m, 1)));
}

TEST(StudyRun, ATaskOfAStudyStartedAgainDoesNothing) {
    CTempProject p;
    p.Write("input/plate.dat", kSharedPlyProject);
    const std::string file = StudyFile(p, kFakes + "/receivers_solver", "[receivers]\nvalues = [1]\n");
    StudyDefinition def;
    StudyManifest m;
    std::string error;
    ASSERT_TRUE(ReadStudyFile(file, def, &error) && PrepareStudy(def, m, &error)) << error;
    CCapture stale;
    EXPECT_EQ(StudyRunTaskCommand(m.studyDir, 1, "0123abcd", stale.io), 1);
    EXPECT_TRUE(stale.Said("belongs to an earlier study")) << stale.All();
    EXPECT_FALSE(fs::exists(TaskDir(m, 1)));
    CCapture current;
    EXPECT_EQ(StudyRunTaskCommand(m.studyDir, 1, m.id, current.io), 0) << current.All();
    EXPECT_TRUE(fs::is_directory(TaskDir(m, 1)));
}

int Done(const StudyManifest& m) {
    int n = 0;
    for (const TaskStatus& s : TaskStatuses(m, {}))
        n += s.state == TaskState::Done;
    return n;
}

TEST(StudyRun, AKilledRunLeavesEachTaskWholeOrAbsentAndResumeFinishesIt) {
    CTempProject p;
    p.Write("input/plate.dat", kSharedPlyProject);
    CEnv env;
    // The tasks of case 1 finish, the others wait for a gate that does not open before the kill.
    env.Set("PEMBLAR_FAKE_GATE", p.Path("gate"));
    const std::string file = StudyFile(p, kFakes + "/receivers_solver",
                                       "[receivers]\nvalues = [1, 2, 3, 4]\n"
                                       "[[vary]]\nparameter = \"frequency\"\nvalues = [1, 2, 3]\n"
                                       "[scheduler]\njobs = 2\nreceivers_per_task = 2\n");
    const pid_t pid = StartStudyProgram({"run", file});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitFor([&] { return fs::exists(p.Path("output/plate/studies/s/case-0001/block-0001")); }));
    ::kill(-pid, SIGKILL);  // the program and its solvers, with no chance to tidy up
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    const StudyManifest m = Manifest(p);
    const int doneBefore = Done(m);
    EXPECT_GE(doneBefore, 1);
    EXPECT_LE(doneBefore, 2);
    ExpectWholeOrAbsent(m);

    p.Write("gate", "");
    CCapture resumed;
    ASSERT_EQ(StudyResumeCommand(file, resumed.io), 0) << resumed.All();
    EXPECT_EQ(Done(m), 6);
    ExpectWholeOrAbsent(m);
    for (const auto& e : fs::recursive_directory_iterator(m.studyDir))
        EXPECT_EQ(e.path().string().find(".run-"), std::string::npos) << e.path();
}

TEST(StudyRun, CancelStopsALocalRunAndKeepsWhatIsComplete) {
    CTempProject p;
    p.Write("input/plate.dat", kSharedPlyProject);
    CEnv env;
    // Case 1 finishes, case 2 waits for a gate that never opens: the cancel finds it running.
    env.Set("PEMBLAR_FAKE_GATE", p.Path("gate"));
    const std::string file = StudyFile(p, kFakes + "/receivers_solver",
                                       "[receivers]\nvalues = [1]\n"
                                       "[[vary]]\nparameter = \"frequency\"\nvalues = [1, 2, 3, 4, 5, 6]\n"
                                       "[scheduler]\njobs = 1\n");
    CCapture idle;
    const pid_t pid = StartStudyProgram({"run", file});
    ASSERT_TRUE(WaitFor([&] { return fs::exists(p.Path("output/plate/studies/s/case-0001/block-0001")); }));
    // Between two tasks no scratch exists for a moment: ask until one runs.
    CCapture during;
    EXPECT_TRUE(WaitFor([&] {
        during.lines.clear();
        return StudyStatusCommand(file, during.io) == 1 && during.Said(": running");
    })) << during.All();
    EXPECT_TRUE(during.Said("a local run is going on (pid " + std::to_string(pid))) << during.All();
    CCapture cancel;
    ASSERT_EQ(StudyCancelCommand(file, cancel.io), 0) << cancel.All();
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    const StudyManifest m = Manifest(p);
    EXPECT_EQ(Done(m), 1);
    ExpectWholeOrAbsent(m);
    CCapture status2;
    EXPECT_EQ(StudyStatusCommand(file, status2.io), 1);
    EXPECT_TRUE(status2.Said("cancelled") || status2.Said("not started")) << status2.All();
    EXPECT_FALSE(status2.Said("a local run is going on")) << status2.All();
    CCapture none;
    EXPECT_EQ(StudyCancelCommand(file, none.io), 1);
    EXPECT_TRUE(none.Said("no run of this study")) << none.All();
}

}  // namespace
