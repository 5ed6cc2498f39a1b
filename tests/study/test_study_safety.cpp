// Studies against hostile names, planted links and damaged files: what reaches a job script is
// one shell word or refused, nothing is written outside the project, the lock empties nothing,
// and a cut manifest or a damaged block never passes for a complete study.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "LocalRun.h"
#include "PosixProcessRunner.h"
#include "SlurmRun.h"
#include "StudyPlan.h"
#include "StudyRunSupport.h"
#include "StudyStatus.h"
#include "StudyTask.h"
#include "WorkingDirectory.h"

using namespace studytest;

namespace {

// A directory outside every project, to see that nothing reaches it.
class COutside {
public:
    COutside() {
        std::string pattern = (fs::temp_directory_path() / "pemblar-outside-XXXXXX").string();
        m_dir = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~COutside() {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    const std::string& Dir() const { return m_dir; }
    bool Empty() const { return fs::is_empty(m_dir); }

private:
    std::string m_dir;
};

std::string StudyDir(const CTempProject& p) {
    return p.Path("output/plate/studies/s");
}

// A complete study of 2 cases x 2 receivers in blocks of one, by the scripted solver.
std::string CompleteStudy(const CTempProject& p) {
    p.Write("input/plate.dat", kSharedPlyProject);
    const std::string file = StudyFile(p, kFakes + "/receivers_solver",
                                       "[receivers]\nvalues = [1, 2]\n"
                                       "[[vary]]\nparameter = \"frequency\"\nvalues = [1, 2]\n"
                                       "[scheduler]\nreceivers_per_task = 1\njobs = 1\n");
    CCapture out;
    EXPECT_EQ(StudyRunCommand(file, out.io), 0) << out.All();
    return file;
}

long LineCount(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
}

std::string Slurped(const std::string& path) {
    return fs::exists(path) ? ReadAll(path) : std::string("(absent)");
}

TEST(StudySafety, NamesWithControlCharactersAreRefusedWhereverTheyComeFrom) {
    CTempProject p;
    p.Write("input/plate.dat", kSharedPlyProject);
    const std::string body = "project = \"input/plate.dat\"\n[receivers]\nvalues = [1]\n";
    // The default name is the file's name: a line break there once became a command of the job.
    for (const char* name : {"a\ntouch pwned", "tab\tname", "esc\x1b[2J", "del\x7f"}) {
        const std::string file = p.Write(std::string(name) + ".toml", body);
        StudyDefinition def;
        std::string error;
        EXPECT_FALSE(ReadStudyFile(file, def, &error)) << name;
        EXPECT_NE(error.find("cannot be a directory name"), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << "the message itself stays one line: " << error;
    }
    // Every string of the file, wherever it goes.
    for (const char* line : {"name = \"a\\nb\"", "solver = \"x\\ty\"", "kind = \"\\u001bfgm\"",
                             "[scheduler]\npartition = \"p\\nq\"", "[scheduler]\ntime = \"1\\r\"",
                             "[scheduler]\nmemory = \"2G\\u0000\"", "[scheduler]\nprogram = \"/bin/\\nsh\"",
                             "[scheduler]\noptions = [\"--x\", \"--comment=a\\nrm -rf ~\"]"}) {
        const bool table = line[0] == '[';
        const std::string text = table ? body + line + "\n" : std::string(line) + "\n" + body;
        StudyDefinition def;
        StudyFileError error;
        EXPECT_FALSE(ParseStudyText(text, p.Dir(), "s", def, &error)) << line;
        EXPECT_NE(error.reason.find("control characters"), std::string::npos) << line << ": " << error.reason;
        EXPECT_GT(error.line, 0) << line;
    }
}

TEST(StudySafety, EveryValueReachesTheJobScriptAsOneWord) {
    CTempProject p;
    // Quotes, command substitutions, globs, Slurm's own '%' and a backslash in every value.
    const std::string odd = "it's $(touch pwned) `touch pwned` * %a %A \\ \"q\"";
    const std::string dir = p.Path(odd + "/output/t/studies/s");
    fs::create_directories(dir);
    const std::string program = p.Write(odd + "/prog", "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\"; done > \"" +
                                                           p.Path("args.txt") + "\"\n");
    fs::permissions(program, fs::perms::owner_all);
    StudyManifest m;
    m.id = "0123abcd";
    m.name = odd;
    m.studyDir = dir;
    std::string script, error;
    ASSERT_TRUE(BatchScript(m, program, script, &error)) << error;
    p.Write("batch.sh", script);
    CPosixProcessRunner runner;
    ::setenv("SLURM_ARRAY_TASK_ID", "7", 1);
    const ProcessOutcome o = runner.Run(ProcessRequest{"/bin/sh", {p.Path("batch.sh")}, p.Dir()});
    ::unsetenv("SLURM_ARRAY_TASK_ID");
    ASSERT_EQ(o.exitCode, 0);
    EXPECT_EQ(ReadAll(p.Path("args.txt")), "[run-task]\n[" + dir + "]\n[7]\n[0123abcd]\n");
    EXPECT_FALSE(fs::exists(p.Path("pwned")));

    // sbatch gets the log path with the study's own '%' doubled; a backslash, which turns Slurm's
    // patterns off, is refused (test_slurm_array.sh runs a path with '%' through real Slurm).
    SchedulerSettings s;
    std::vector<std::string> args;
    EXPECT_FALSE(SbatchArguments(m, s, {1, 2}, dir + "/slurm/batch.sh", args, &error));
    EXPECT_NE(error.find("backslash"), std::string::npos) << error;
    m.studyDir = p.Path("50%a 'x'/output/t/studies/s");
    ASSERT_TRUE(SbatchArguments(m, s, {1, 2}, m.studyDir + "/slurm/batch.sh", args, &error)) << error;
    EXPECT_NE(std::find(args.begin(), args.end(), "--output=" + p.Path("50%%a 'x'/output/t/studies/s/slurm/task-%a-job-%A.out")),
              args.end());
    EXPECT_NE(std::find(args.begin(), args.end(), "--chdir=" + m.studyDir), args.end());
    s.options = {"--account=a\nb"};
    EXPECT_FALSE(SbatchArguments(m, s, {1}, "x", args, &error));
    EXPECT_NE(error.find("control character"), std::string::npos) << error;
    m.studyDir = dir;

    // What no quoting makes safe is refused, each value on its own.
    EXPECT_FALSE(ShellWord("a\nb"));
    EXPECT_EQ(*ShellWord("a'b"), "'a'\\''b'");
    StudyManifest broken = m;
    broken.studyDir = dir + "\nrm -rf ~";
    EXPECT_FALSE(BatchScript(broken, program, script, &error));
    EXPECT_FALSE(BatchScript(m, program + "\n", script, &error));
}

TEST(StudySafety, NothingIsWrittenThroughAPlantedLink) {
    for (const char* planted : {"output", "output/plate", "output/plate/studies", "output/plate/studies/s"}) {
        CTempProject p;
        COutside outside;
        p.Write("input/plate.dat", kSharedPlyProject);
        fs::create_directories(fs::path(p.Path(planted)).parent_path());
        fs::create_directory_symlink(outside.Dir(), p.Path(planted));
        const std::string file = StudyFile(p, kFakes + "/receivers_solver", "[receivers]\nvalues = [1]\n");
        CCapture out;
        EXPECT_EQ(StudyRunCommand(file, out.io), 1) << planted;
        EXPECT_TRUE(out.Said("symbolic link")) << out.All();
        EXPECT_TRUE(outside.Empty()) << planted;
    }
    // In a started study: a case, a block, the Slurm directory.
    CTempProject p;
    COutside outside;
    const std::string file = CompleteStudy(p);
    StudyManifest m = Manifest(p);
    fs::remove_all(TaskDir(m, 1));
    fs::create_directory_symlink(outside.Dir(), TaskDir(m, 1));
    std::string problem;
    EXPECT_EQ(CheckBlock(m, 1, &problem), BlockState::Damaged);
    CCapture out;
    EXPECT_EQ(StudyResumeCommand(file, out.io), 0) << out.All();
    EXPECT_TRUE(outside.Empty());
    EXPECT_EQ(CheckBlock(m, 1, nullptr), BlockState::Complete);
    EXPECT_FALSE(fs::is_symlink(TaskDir(m, 1)));

    fs::create_directory_symlink(outside.Dir(), StudyDir(p) + "/slurm");
    SchedulerSettings slurm;
    slurm.kind = SchedulerKind::Slurm;
    std::string jobId, error;
    EXPECT_FALSE(SubmitTasks(m, slurm, {1}, &jobId, &error));
    EXPECT_NE(error.find("symbolic link"), std::string::npos) << error;
    EXPECT_TRUE(outside.Empty());

    const std::string caseDir = CaseDir(m, 1);
    fs::rename(caseDir, p.Path("moved"));
    fs::create_directory_symlink(p.Path("moved"), caseDir);  // inside the project: harmless
    EXPECT_EQ(CheckBlock(m, 3, nullptr), BlockState::Complete);
    fs::remove(caseDir);
    fs::rename(p.Path("moved"), outside.Dir() + "/case");
    fs::create_directory_symlink(outside.Dir() + "/case", caseDir);
    fs::remove_all(outside.Dir() + "/case/block-0001");
    const TaskOutcome task = RunStudyTask(m, 3, {});
    EXPECT_EQ(task.status, TaskOutcome::Status::Failed);
    EXPECT_NE(task.reason.find("symbolic link"), std::string::npos) << task.reason;
    EXPECT_FALSE(fs::exists(outside.Dir() + "/case/block-0001"));
}

TEST(StudySafety, DirectoriesAreMadeLevelByLevelInsideTheTree) {
    CTempProject p;
    COutside outside;
    std::string error;
    EXPECT_TRUE(MakeDirectoryInsideTree(p.Dir(), p.Path("a/b/c"), &error)) << error;
    EXPECT_TRUE(fs::is_directory(p.Path("a/b/c")));
    fs::create_directory_symlink(p.Path("a/b"), p.Path("inside"));
    EXPECT_TRUE(MakeDirectoryInsideTree(p.Dir(), p.Path("inside/d"), &error)) << error;
    fs::create_directory_symlink(outside.Dir(), p.Path("a/out"));
    EXPECT_FALSE(MakeDirectoryInsideTree(p.Dir(), p.Path("a/out/x/y"), &error));
    EXPECT_NE(error.find("symbolic link"), std::string::npos) << error;
    EXPECT_TRUE(outside.Empty());
    p.Write("a/file", "x");
    EXPECT_FALSE(MakeDirectoryInsideTree(p.Dir(), p.Path("a/file/x"), &error));
    EXPECT_FALSE(MakeDirectoryInsideTree(p.Dir(), p.Path("a/../../x"), &error));
    EXPECT_FALSE(MakeDirectoryInsideTree(p.Dir(), "/elsewhere", &error));
}

TEST(StudySafety, TheLockFollowsNoLinkAndEmptiesNoFile) {
    CTempProject p;
    COutside outside;
    const std::string file = CompleteStudy(p);
    const std::string precious = outside.Dir() + "/precious";
    std::ofstream(precious) << "keep me\n";
    const std::string lock = StudyDir(p) + "/run.lock";
    for (bool hard : {false, true}) {
        fs::remove(lock);
        if (hard)
            fs::create_hard_link(precious, lock);
        else
            fs::create_symlink(precious, lock);
        CCapture status, resume, cancel;
        EXPECT_EQ(StudyStatusCommand(file, status.io), 0) << status.All();
        EXPECT_FALSE(status.Said("a local run is going on")) << status.All();
        EXPECT_EQ(StudyResumeCommand(file, resume.io), 1) << resume.All();
        EXPECT_TRUE(resume.Said("lock cannot be taken")) << resume.All();
        EXPECT_EQ(StudyCancelCommand(file, cancel.io), 1);
        EXPECT_TRUE(cancel.Said("cannot be told")) << cancel.All();
        EXPECT_EQ(ReadAll(precious), "keep me\n") << (hard ? "hard link" : "symbolic link");
    }
    // A lock that cannot be opened is no run: status reports the study as it is.
    fs::remove(lock);
    fs::create_directory(lock);
    CCapture status;
    EXPECT_EQ(StudyStatusCommand(file, status.io), 0);
    EXPECT_FALSE(status.Said("a local run is going on")) << status.All();
    EXPECT_TRUE(status.Said("4 tasks: 4 done")) << status.All();
    fs::remove(lock);
    // The lock's own note is written over its start, never cut: an old longer note is overwritten.
    std::ofstream(lock) << std::string(100, 'x') << "\n";
    {
        CStudyLock held(StudyDir(p));
        ASSERT_TRUE(held.Held());
        CStudyLock other(StudyDir(p));
        EXPECT_TRUE(other.HeldElsewhere());
        EXPECT_EQ(other.Holder(), "pid " + std::to_string(::getpid()) + " on " + [] {
            char host[256] = {};
            ::gethostname(host, sizeof host - 1);
            return std::string(host);
        }());
    }
    EXPECT_EQ(fs::file_size(lock), 128u);
}

TEST(StudySafety, ACutManifestIsNeverASmallerStudy) {
    CTempProject p;
    const std::string file = CompleteStudy(p);
    const std::string path = StudyDir(p) + "/manifest.toml";
    const std::string whole = ReadAll(path);
    StudyManifest m;
    std::string error;
    ASSERT_TRUE(ParseManifest(whole, m, &error)) << error;
    // Cut after every line, at a task boundary or anywhere else: refused each time.
    int cuts = 0;
    for (std::size_t at = whole.find('\n'); at + 1 < whole.size(); at = whole.find('\n', at + 1)) {
        EXPECT_FALSE(ParseManifest(whole.substr(0, at + 1), m, &error)) << "cut after byte " << at;
        ++cuts;
    }
    EXPECT_GT(cuts, 20);
    // A changed figure anywhere fails the checksum.
    std::string changed = whole;
    changed[changed.find("first_receiver = 2")] = 'F';
    EXPECT_FALSE(ParseManifest(changed, m, &error));
    EXPECT_NE(error.find("checksum"), std::string::npos) << error;

    // resume on a manifest cut at a task boundary: refused, nothing collected.
    fs::remove(StudyDir(p) + "/results.csv");
    const std::size_t lastTask = whole.rfind("[[task]]");
    p.Write("output/plate/studies/s/manifest.toml", whole.substr(0, lastTask));
    CCapture resume;
    EXPECT_EQ(StudyResumeCommand(file, resume.io), 1);
    EXPECT_TRUE(resume.Said("cut short")) << resume.All();
    EXPECT_FALSE(fs::exists(StudyDir(p) + "/results.csv"));

    // Tasks that leave a receiver out, or take one twice, are no study either.
    ASSERT_TRUE(ParseManifest(whole, m, &error));
    StudyManifest gap = m;
    gap.tasks.erase(gap.tasks.begin() + 1);
    EXPECT_FALSE(ParseManifest(FormatManifest(gap), m, &error));
    EXPECT_NE(error.find("cover"), std::string::npos) << error;
    ASSERT_TRUE(ParseManifest(whole, m, &error));
    StudyManifest twice = m;
    twice.tasks[1].firstReceiver = 0;
    EXPECT_FALSE(ParseManifest(FormatManifest(twice), m, &error));
}

TEST(StudySafety, ABlockCountsAsDoneOnlyWhenItsResultsHold) {
    CTempProject p;
    const std::string file = CompleteStudy(p);
    const StudyManifest m = Manifest(p);
    const std::string before = ReadAll(StudyDir(p) + "/results.csv");
    fs::remove(StudyDir(p) + "/results.csv");
    const std::string r1 = TaskDir(m, 1) + "/result_r0001.dat";
    std::ofstream(r1) << "garbage\n";
    std::ofstream(TaskDir(m, 2) + "/result_r0001.dat") << "1 3\n0 0\n1 nan\n2 1\n";
    std::ofstream(TaskDir(m, 3) + "/result_r0001.dat", std::ios::trunc).flush();
    fs::remove(TaskDir(m, 4) + "/receivers.txt");
    CCapture status;
    EXPECT_EQ(StudyStatusCommand(file, status.io), 1);
    EXPECT_TRUE(status.Said("4 tasks: 4 failed")) << status.All();
    EXPECT_TRUE(status.Said("damaged")) << status.All();
    EXPECT_FALSE(fs::exists(StudyDir(p) + "/results.csv"));
    for (int t = 1; t <= 4; ++t)
        EXPECT_EQ(CheckBlock(m, t, nullptr), BlockState::Damaged) << t;
    CCapture resume;
    ASSERT_EQ(StudyResumeCommand(file, resume.io), 0) << resume.All();
    EXPECT_TRUE(resume.Said("resuming tasks 1-4")) << resume.All();
    EXPECT_EQ(ReadAll(StudyDir(p) + "/results.csv"), before);
    // A FIFO in place of a result is damage too, and reading it does not hang.
    fs::remove(r1);
    ASSERT_EQ(::mkfifo(r1.c_str(), 0600), 0);
    std::string problem;
    EXPECT_EQ(CheckBlock(m, 1, &problem), BlockState::Damaged);
    EXPECT_NE(problem.find("not a regular file"), std::string::npos) << problem;
}

TEST(StudySafety, ResultsAreOneRowPerPointInCaseAndReceiverOrder) {
    CTempProject p;
    CompleteStudy(p);
    // Byte for byte: the scripted solver writes 10x and 20x at t = 1 and 2.
    EXPECT_EQ(ReadAll(StudyDir(p) + "/results.csv"),
              "case,frequency,receiver_x,time,value\n"
              "1,1,1,0,0\n1,1,1,1,10\n1,1,1,2,20\n1,1,2,0,0\n1,1,2,1,20\n1,1,2,2,40\n"
              "2,2,1,0,0\n2,2,1,1,10\n2,2,1,2,20\n2,2,2,0,0\n2,2,2,1,20\n2,2,2,2,40\n");
}

TEST(StudySafety, ResumeLeavesARunningLocalRunAlone) {
    CTempProject p;
    p.Write("input/plate.dat", kSharedPlyProject);
    CEnv env;
    // Case 1 finishes, case 2 waits for the gate: the run is surely going on until it opens.
    env.Set("PEMBLAR_FAKE_GATE", p.Path("gate"));
    const std::string file = StudyFile(p, kFakes + "/receivers_solver",
                                       "[receivers]\nvalues = [1]\n"
                                       "[[vary]]\nparameter = \"frequency\"\nvalues = [1, 2, 3, 4]\n"
                                       "[scheduler]\njobs = 1\n");
    const pid_t pid = StartStudyProgram({"run", file});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitFor([&] { return fs::exists(StudyDir(p) + "/case-0001/block-0001"); }));
    const std::string manifest = ReadAll(StudyDir(p) + "/manifest.toml");
    for (int i = 0; i < 3; ++i) {
        CCapture resume;
        EXPECT_EQ(StudyResumeCommand(file, resume.io), 1);
        EXPECT_TRUE(resume.Said("already running")) << resume.All();
        CCapture run;
        EXPECT_EQ(StudyRunCommand(file, run.io), 1);
    }
    EXPECT_EQ(ReadAll(StudyDir(p) + "/manifest.toml"), manifest);
    p.Write("gate", "");
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(LineCount(ReadAll(StudyDir(p) + "/results.csv")), 1 + 4 * 3);
}

TEST(StudySafety, SpecialFilesAndFaultsAreSaidAsWhatTheyAre) {
    CTempProject p;
    p.Write("input/plate.dat", kSharedPlyProject);
    // A FIFO as the study file or the project never hangs the program.
    ASSERT_EQ(::mkfifo(p.Path("fifo.toml").c_str(), 0600), 0);
    CCapture fifo;
    EXPECT_EQ(StudyStatusCommand(p.Path("fifo.toml"), fifo.io), 1);
    EXPECT_TRUE(fifo.Said("fifo.toml: it is not a regular file")) << fifo.All();
    ASSERT_EQ(::mkfifo(p.Path("input/pipe.dat").c_str(), 0600), 0);
    const std::string piped = p.Write("piped.toml", "project = \"input/pipe.dat\"\n[receivers]\nvalues = [1]\n");
    CCapture project;
    EXPECT_EQ(StudyRunCommand(piped, project.io), 1);
    EXPECT_TRUE(project.Said("pipe.dat: the project file cannot be read: it is not a regular file")) << project.All();
    // Directories named as either file.
    fs::create_directories(p.Path("dir.toml"));
    CCapture dirStudy;
    EXPECT_EQ(StudyRunCommand(p.Path("dir.toml"), dirStudy.io), 1);
    EXPECT_TRUE(dirStudy.Said("dir.toml: it is a directory")) << dirStudy.All();
    const std::string dirProject = p.Write("d.toml", "project = \"input\"\n[receivers]\nvalues = [1]\n");
    CCapture dirProj;
    EXPECT_EQ(StudyRunCommand(dirProject, dirProj.io), 1);
    EXPECT_TRUE(dirProj.Said("input: the project file cannot be read: it is a directory")) << dirProj.All();
    // A varied layer the project lacks: the study file and its line.
    const std::string layer = p.Write("l.toml", "project = \"input/plate.dat\"\n\n[[vary]]\nparameter = \"angle\"\n"
                                                "layer = 7\nvalues = [0, 45]\n");
    CCapture missing;
    EXPECT_EQ(StudyRunCommand(layer, missing.io), 1);
    EXPECT_TRUE(missing.Said("l.toml, line 3: the fibre angle of layer 7: the project has 2 layers")) << missing.All();
    EXPECT_FALSE(fs::exists(p.Path("output/plate/studies/l/manifest.toml")));
    // More output points than the solvers take is refused with the line, not left to the solver.
    StudyDefinition def;
    StudyFileError error;
    EXPECT_FALSE(ParseStudyText("project = \"input/plate.dat\"\npoints = 100001\n[receivers]\nvalues = [1]\n",
                                p.Dir(), "s", def, &error));
    EXPECT_EQ(error.line, 2);
    EXPECT_EQ(error.reason, "points must be from 2 to 100000");
}

bool Alive(pid_t pid) {
    // A zombie is gone for our purpose: it computes nothing and its parent is init's to reap.
    const std::string stat = Slurped("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = stat.rfind(')');
    return close != std::string::npos && stat.size() > close + 2 && stat[close + 2] != 'Z';
}

TEST(StudySafety, SolversEndWithTheRunThatStartedThem) {
    CTempProject p;
    p.Write("input/plate.dat", kSharedPlyProject);
    CEnv env;
    env.Set("PEMBLAR_FAKE_PIDS", p.Path("pids"));
    const std::string file = StudyFile(p, kFakes + "/held_solver",
                                       "[[vary]]\nparameter = \"frequency\"\nvalues = [1, 2]\n[scheduler]\njobs = 2\n");
    const pid_t pid = StartStudyProgram({"run", file});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitFor([&] { return LineCount(Slurped(p.Path("pids"))) == 2; }));
    std::vector<pid_t> solvers;
    std::istringstream in(ReadAll(p.Path("pids")));
    for (long s; in >> s;)
        solvers.push_back(static_cast<pid_t>(s));
    for (pid_t s : solvers)
        EXPECT_TRUE(Alive(s)) << s;
    ::kill(pid, SIGKILL);  // the program alone, not its group: nothing of it can tidy up
    int status = 0;
    ::waitpid(pid, &status, 0);
    for (pid_t s : solvers) {
        EXPECT_TRUE(WaitFor([&] { return !Alive(s); }, 5s)) << "solver " << s << " outlived its run";
        ::kill(s, SIGKILL);  // whatever the outcome, nothing of the test stays behind
    }
}

}  // namespace
