#include "StudyCommands.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "LocalRun.h"
#include "SlurmRun.h"
#include "StudyChanges.h"
#include "StudyFile.h"
#include "StudyPlan.h"
#include "StudyResults.h"
#include "StudyStatus.h"
#include "StudyTask.h"

namespace fs = std::filesystem;

namespace {

void Say(const StudyCommandIO& io, const std::string& line) {
    if (io.out)
        io.out(line);
}

int Complain(const StudyCommandIO& io, const std::string& line) {
    if (io.err)
        io.err("pemblar-study: " + line);
    return 1;
}

bool Cancelled(const StudyCommandIO& io) {
    return io.cancel && io.cancel();
}

void SayReport(const StudyCommandIO& io, const std::string& report) {
    std::size_t start = 0;
    while (start < report.size()) {
        const std::size_t end = report.find('\n', start);
        Say(io, report.substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
}

bool AllDone(const std::vector<TaskStatus>& statuses) {
    for (const TaskStatus& s : statuses)
        if (s.state != TaskState::Done)
            return false;
    return true;
}

// The ending of run and resume: the state of every task, and the results gathered when whole.
int Conclude(const StudyManifest& m, const QueueStates& queue, const StudyCommandIO& io) {
    const std::vector<TaskStatus> statuses = TaskStatuses(m, queue);
    SayReport(io, StatusReport(m, statuses));
    if (!AllDone(statuses))
        return 1;
    std::string error;
    if (!CollectResults(m, &error))
        return Complain(io, error);
    Say(io, "results: " + (fs::path(m.studyDir) / "results.csv").string());
    return 0;
}

// How long a command waits for a study's lock held by another command's Slurm submission,
// which takes seconds at most; a local run holds it for its whole length and is not waited for.
constexpr std::chrono::milliseconds kSubmitWait{15000};
constexpr std::chrono::milliseconds kNoWait{0};

int Busy(const StudyCommandIO& io, const CStudyLock& lock) {
    if (lock.HeldElsewhere())
        return Complain(io, "the study is already running or being submitted (" + lock.Holder() + ")");
    return Complain(io, "the study's lock cannot be taken: " + lock.Holder());
}

int RunLocally(const StudyManifest& m, const SchedulerSettings& s, const std::vector<int>& tasks,
               const StudyCommandIO& io) {
    LocalRunOptions options;
    options.jobs = s.jobs;
    options.cancel = io.cancel;
    options.report = io.out;
    const RunSummary summary = RunTasksLocally(m, tasks, options);
    if (summary.cancelled > 0)
        Say(io, "cancelled; complete tasks are kept, \"pemblar-study resume\" runs the rest");
    return Conclude(m, {}, io);
}

// Waits until no task of the study is queued or running, saying the progress.
int Follow(const StudyManifest& m, const StudyCommandIO& io) {
    int said = -1;
    for (;;) {
        const QueueStates queue = QuerySlurm(m);
        const std::vector<TaskStatus> statuses = TaskStatuses(m, queue);
        int done = 0;
        bool active = false;
        for (const TaskStatus& s : statuses) {
            done += s.state == TaskState::Done;
            active = active || s.state == TaskState::Running || s.state == TaskState::Pending;
        }
        const int percent = static_cast<int>(100LL * done / static_cast<long long>(statuses.size()));
        if (percent != said) {
            Say(io, "progress " + std::to_string(percent) + "%");
            said = percent;
        }
        if (!active) {
            // Gathering the results writes into the study: under its lock, as every change.
            CStudyLock lock(m.studyDir, kSubmitWait);
            if (!lock.Held()) {
                SayReport(io, StatusReport(m, statuses));
                return Busy(io, lock);
            }
            return Conclude(m, queue, io);
        }
        for (int waited = 0; waited < io.pollMilliseconds; waited += 100) {
            if (Cancelled(io)) {
                Say(io, "stopped following; the jobs go on (\"pemblar-study status\" or \"cancel\")");
                return 1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
}

// Submits and records the array in the manifest, then gives the lock up before following: the
// jobs, not this command, hold the study from then on.
int Submit(StudyManifest& m, const SchedulerSettings& s, const std::vector<int>& tasks, CStudyLock& lock,
           const StudyCommandIO& io) {
    std::string jobId, error;
    if (!SubmitTasks(m, s, tasks, &jobId, &error))
        return Complain(io, error);
    lock.Release();
    Say(io, "submitted job array " + jobId + " (tasks " + CompressRanges(tasks) + ")");
    return io.wait ? Follow(m, io) : 0;
}

// Runs or submits with the study's lock held.
int Execute(StudyManifest& m, const StudyDefinition& def, const std::vector<int>& tasks, CStudyLock& lock,
            const StudyCommandIO& io) {
    if (def.scheduler.kind == SchedulerKind::Slurm)
        return Submit(m, def.scheduler, tasks, lock, io);
    return RunLocally(m, def.scheduler, tasks, io);
}

// The study file read and its study directory found.
bool OpenDefinition(const std::string& studyFile, StudyDefinition& def, std::string& dir, const StudyCommandIO& io) {
    std::string error;
    if (!ReadStudyFile(studyFile, def, &error)) {
        Complain(io, error);
        return false;
    }
    dir = StudyDirectory(def, &error);
    if (dir.empty()) {
        Complain(io, error);
        return false;
    }
    return true;
}

bool OpenManifest(const std::string& dir, StudyManifest& m, const StudyCommandIO& io) {
    std::string error;
    if (!ReadManifest(dir, m, &error)) {
        Complain(io, error);
        return false;
    }
    return true;
}

QueueStates QueueOf(const StudyManifest& m) {
    return m.scheduler == "slurm" ? QuerySlurm(m) : QueueStates{};
}

// The changes of the study file since the study started; false (said) when it cannot tell.
bool Changes(const StudyDefinition& def, const StudyManifest& m, std::vector<std::string>& changes,
             const StudyCommandIO& io) {
    std::string error;
    if (StartedStudyChanges(def, m, changes, &error))
        return true;
    Complain(io, error);
    return false;
}

void SayLines(const StudyCommandIO& io, const std::string& text, bool error) {
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        if (error)
            Complain(io, line);
        else
            Say(io, line);
        start = end + 1;
    }
}

// Before a run: a study of the same name that was started already is resumed, replaced (with
// io.replace), or, when the file changed since, explained. False when the run must not go on.
bool ClearTheWay(const std::string& studyFile, const StudyDefinition& def, const StudyCommandIO& io) {
    std::string error;
    const std::string dir = StudyDirectory(def, &error);
    if (dir.empty()) {
        Complain(io, error);
        return false;
    }
    std::error_code ec;
    if (!fs::exists(fs::path(dir) / kManifestName, ec))
        return true;
    if (io.replace) {
        if (!RemoveStartedStudy(dir, &error)) {
            Complain(io, error);
            return false;
        }
        Say(io, "removed the study started before in " + dir);
        return true;
    }
    StudyManifest m;
    std::vector<std::string> changes;
    if (!ReadManifest(dir, m, &error)) {
        Complain(io, error + "; \"pemblar-study run --replace\" removes it and starts again");
        return false;
    }
    if (!Changes(def, m, changes, io))
        return false;
    if (changes.empty())
        Complain(io, dir + " already holds this study; \"pemblar-study resume\" continues it, or "
                           "\"pemblar-study run --replace\" starts it again from nothing");
    else
        SayLines(io, ChangedStudyText(studyFile, dir, changes), true);
    return false;
}

}  // namespace

std::string ChangedStudyText(const std::string& studyFile, const std::string& studyDir,
                             const std::vector<std::string>& changes) {
    return ChangesText(studyFile + " was changed since the study in " + studyDir + " started:", changes) +
           "\nTo keep the old results, give the study a new name (name = \"...\"); to replace them, run "
           "\"pemblar-study run --replace " + studyFile + "\".";
}

bool RemoveStartedStudy(const std::string& dir, std::string* error) {
    const auto fail = [&](std::string why) {
        if (error)
            *error = std::move(why);
        return false;
    };
    // Held while the jobs are cancelled and the directory removed (the lock file goes with it).
    CStudyLock lock(dir, kSubmitWait);
    if (!lock.Held())
        return fail("the study in " + dir + " is running or in use (" + lock.Holder() + "); it cannot be started again now");
    StudyManifest m;
    std::string why;
    if (ReadManifest(dir, m, &why) && m.scheduler == "slurm" && !m.submissions.empty() && !CancelSlurm(m, &why))
        return fail("the Slurm jobs of the study in " + dir + " could not be cancelled, so it is kept: " + why);
    std::error_code ec;
    fs::remove_all(dir, ec);
    if (ec)
        return fail("the study in " + dir + " cannot be removed: " + ec.message());
    return true;
}

std::string StudyDirectoryOf(const std::string& studyFile, std::string* error) {
    StudyDefinition def;
    if (!ReadStudyFile(studyFile, def, error))
        return {};
    return StudyDirectory(def, error);
}

int StudyRunCommand(const std::string& studyFile, const StudyCommandIO& io) {
    StudyDefinition def;
    StudyManifest m;
    std::string error;
    if (!ReadStudyFile(studyFile, def, &error))
        return Complain(io, error);
    if (!ClearTheWay(studyFile, def, io))
        return 1;
    if (!PlanStudy(def, m, &error) || !MakeStudyDirectory(m, m.studyDir, &error))
        return Complain(io, error);
    // The lock before anything of the study is written: two runs never write one study.
    CStudyLock lock(m.studyDir, def.scheduler.kind == SchedulerKind::Slurm ? kSubmitWait : kNoWait);
    if (!lock.Held())
        return Busy(io, lock);
    if (!WriteStudyCases(def, m, &error))
        return Complain(io, error);
    if (const std::string warning = StudySamplingWarning(def); !warning.empty())
        Say(io, "warning: " + warning);
    Say(io, "study " + m.name + ": " + std::to_string(m.cases.size()) + " cases, " +
                std::to_string(m.receivers.size()) + " receiving points, " + std::to_string(m.tasks.size()) +
                " tasks in " + m.studyDir);
    std::vector<int> all;
    for (int t = 1; t <= static_cast<int>(m.tasks.size()); ++t)
        all.push_back(t);
    return Execute(m, def, all, lock, io);
}

int StudyResumeCommand(const std::string& studyFile, const StudyCommandIO& io) {
    StudyDefinition def;
    StudyManifest m;
    std::string dir;
    if (!OpenDefinition(studyFile, def, dir, io) || !OpenManifest(dir, m, io))
        return 1;
    const bool slurm = def.scheduler.kind == SchedulerKind::Slurm;
    // Nothing is changed before the lock is held: a local run going on keeps its scratch and its
    // manifest, and two submissions never both submit the same tasks.
    CStudyLock lock(m.studyDir, slurm || m.scheduler == "slurm" ? kSubmitWait : kNoWait);
    if (!lock.Held())
        return Busy(io, lock);
    if (!OpenManifest(dir, m, io))  // as it is now that no one else changes it
        return 1;
    std::vector<std::string> changes;
    if (!Changes(def, m, changes, io))
        return 1;
    if (!changes.empty()) {
        SayLines(io, ChangedStudyText(studyFile, m.studyDir, changes), true);
        return 1;
    }
    const QueueStates queue = QueueOf(m);
    // The place to run may change between run and resume (a study that outgrew this machine).
    m.scheduler = slurm ? "slurm" : "local";
    m.threads = slurm ? def.scheduler.cpusPerTask : 1;
    const std::vector<int> tasks = TasksToResume(TaskStatuses(m, queue));
    if (tasks.empty()) {
        Say(io, "nothing to resume: every task is complete, queued or running");
        if (slurm && io.wait) {
            lock.Release();
            return Follow(m, io);
        }
        // Without waiting, tasks in the queue are as good as submitted.
        if (const std::vector<TaskStatus> statuses = TaskStatuses(m, queue); slurm && !AllDone(statuses)) {
            SayReport(io, StatusReport(m, statuses));
            return 0;
        }
        return Conclude(m, queue, io);
    }
    for (int t : tasks)
        RemoveTaskScratch(m, t);
    Say(io, "resuming tasks " + CompressRanges(tasks));
    std::string error;
    if (!slurm && !WriteManifest(m, &error))
        return Complain(io, error);
    return Execute(m, def, tasks, lock, io);
}

int StudyStatusCommand(const std::string& studyFile, const StudyCommandIO& io) {
    StudyDefinition def;
    StudyManifest m;
    std::string dir;
    if (!OpenDefinition(studyFile, def, dir, io) || !OpenManifest(dir, m, io))
        return 1;
    QueueStates queue = QueueOf(m);
    CStudyLock lock(m.studyDir);
    if (m.scheduler == "local" && lock.HeldElsewhere()) {
        Say(io, "a local run is going on (" + lock.Holder() + ")");
        // While it goes on, a task with scratch is one of its workers' current tasks.
        for (int t = 1; t <= static_cast<int>(m.tasks.size()); ++t)
            if (HasTaskScratch(m, t))
                queue[t] = "RUNNING";
    }
    const std::vector<TaskStatus> statuses = TaskStatuses(m, queue);
    SayReport(io, StatusReport(m, statuses));
    std::error_code ec;
    // Only the holder of the lock gathers the results: a command that holds it now does so itself.
    if (AllDone(statuses) && lock.Held() && !fs::exists(fs::path(m.studyDir) / "results.csv", ec)) {
        std::string error;
        if (!CollectResults(m, &error))
            return Complain(io, error);
    }
    if (AllDone(statuses))
        Say(io, "results: " + (fs::path(m.studyDir) / "results.csv").string());
    std::vector<std::string> changes;
    std::string error;
    if (StartedStudyChanges(def, m, changes, &error) && !changes.empty())
        SayLines(io, "note: " + ChangedStudyText(studyFile, m.studyDir, changes), false);
    return AllDone(statuses) ? 0 : 1;
}

int StudyCancelCommand(const std::string& studyFile, const StudyCommandIO& io) {
    StudyDefinition def;
    StudyManifest m;
    std::string dir, error;
    if (!OpenDefinition(studyFile, def, dir, io) || !OpenManifest(dir, m, io))
        return 1;
    if (m.scheduler != "slurm") {
        if (!StopLocalRun(m.studyDir, &error))
            return Complain(io, error);
        Say(io, "stopped the local run");
        return 0;
    }
    // A submission going on is waited for, so that its array is in the manifest and cancelled too.
    CStudyLock lock(m.studyDir, kSubmitWait);
    if (!lock.Held())
        return Busy(io, lock);
    if (!OpenManifest(dir, m, io))
        return 1;
    if (!CancelSlurm(m, &error))
        return Complain(io, error);
    Say(io, "cancelled the study's jobs");
    return 0;
}

int StudyRunTaskCommand(const std::string& studyDir, int task, const std::string& studyId, const StudyCommandIO& io) {
    StudyManifest m;
    std::string error;
    if (!ReadManifest(studyDir, m, &error))
        return Complain(io, error);
    if (!studyId.empty() && studyId != m.id)
        return Complain(io, "task " + std::to_string(task) + " belongs to an earlier study in " + studyDir +
                                ", which was started again since; nothing done");
    TaskHooks hooks;
    hooks.cancel = io.cancel;
    int said = -1;
    hooks.progress = [&](double f) {
        const int percent = static_cast<int>(f * 100);
        if (percent != said)
            Say(io, "progress " + std::to_string(said = percent) + "%");
    };
    const TaskOutcome out = RunStudyTask(m, task, hooks);
    if (out.status != TaskOutcome::Status::Done)
        return Complain(io, "task " + std::to_string(task) + ": " + out.reason);
    Say(io, "task " + std::to_string(task) + " done");
    return 0;
}
