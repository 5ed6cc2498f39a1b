#include "StudyStatus.h"

#include <algorithm>
#include <filesystem>

#include "StudyTask.h"
#include "WorkingDirectory.h"

namespace fs = std::filesystem;

namespace {

std::string FirstLine(const std::string& path) {
    std::string text, reason;
    if (ReadRegularFile(path, 1u << 16, text, reason) != ReadFileOutcome::Read)
        return "the failure note cannot be read";
    return Printable(text.substr(0, std::min(text.find('\n'), std::size_t{500})));
}

bool Submitted(const StudyManifest& m, int task) {
    for (const StudySubmission& s : m.submissions)
        for (int t : s.tasks)
            if (t == task)
                return true;
    return false;
}

}  // namespace

TaskState StateFromSlurm(const std::string& word) {
    const std::string w = word.substr(0, word.find(' '));
    if (w == "RUNNING" || w == "COMPLETING" || w == "CONFIGURING" || w == "STAGE_OUT" || w == "RESIZING" ||
        w == "SIGNALING")
        return TaskState::Running;
    if (w == "PENDING" || w == "REQUEUED" || w == "REQUEUE_HOLD" || w == "REQUEUE_FED" || w == "SUSPENDED" ||
        w == "STOPPED")
        return TaskState::Pending;
    if (w == "CANCELLED")
        return TaskState::Cancelled;
    if (w == "COMPLETED")
        return TaskState::Missing;  // ended well, yet no result in place: treat as lost
    return TaskState::Failed;       // FAILED, TIMEOUT, OUT_OF_MEMORY, NODE_FAIL, PREEMPTED, BOOT_FAIL, DEADLINE
}

std::vector<TaskStatus> TaskStatuses(const StudyManifest& m, const QueueStates& queue) {
    std::vector<TaskStatus> out(m.tasks.size());
    std::error_code ec;
    for (int task = 1; task <= static_cast<int>(m.tasks.size()); ++task) {
        TaskStatus& s = out[static_cast<std::size_t>(task - 1)];
        const auto q = queue.find(task);
        const TaskState fromQueue = q == queue.end() ? TaskState::NotStarted : StateFromSlurm(q->second);
        std::string damage;
        const BlockState block = CheckBlock(m, task, &damage);
        if (block == BlockState::Complete) {
            s.state = TaskState::Done;
        } else if (block == BlockState::Damaged && fromQueue != TaskState::Running && fromQueue != TaskState::Pending) {
            s.state = TaskState::Failed;
            s.detail = "its results are damaged: " + damage;
        } else if (fromQueue == TaskState::Running || fromQueue == TaskState::Pending) {
            // A marker from an earlier attempt says nothing about the one now queued.
            s.state = fromQueue;
            s.detail = q->second;
        } else if (fs::exists(TaskFailedMarker(m, task), ec)) {
            s.detail = FirstLine(TaskFailedMarker(m, task));
            s.state = s.detail == "cancelled" ? TaskState::Cancelled : TaskState::Failed;
        } else if (q != queue.end()) {
            s.state = fromQueue;
            s.detail = q->second;
        } else {
            const bool ran = m.scheduler == "slurm" ? Submitted(m, task) : false;
            s.state = ran ? TaskState::Missing : TaskState::NotStarted;
        }
    }
    return out;
}

std::vector<int> TasksToResume(const std::vector<TaskStatus>& statuses) {
    std::vector<int> out;
    for (std::size_t i = 0; i < statuses.size(); ++i) {
        const TaskState s = statuses[i].state;
        if (s != TaskState::Done && s != TaskState::Running && s != TaskState::Pending)
            out.push_back(static_cast<int>(i) + 1);
    }
    return out;
}

const char* TaskStateName(TaskState s) {
    switch (s) {
    case TaskState::Done: return "done";
    case TaskState::Failed: return "failed";
    case TaskState::Cancelled: return "cancelled";
    case TaskState::Running: return "running";
    case TaskState::Pending: return "pending";
    case TaskState::Missing: return "missing";
    case TaskState::NotStarted: return "not started";
    }
    return "";
}

std::string StatusReport(const StudyManifest& m, const std::vector<TaskStatus>& statuses) {
    constexpr TaskState order[] = {TaskState::Done,      TaskState::Running, TaskState::Pending, TaskState::Failed,
                                   TaskState::Cancelled, TaskState::Missing, TaskState::NotStarted};
    std::string out = "study " + m.name + " (" + m.studyDir + "): " + std::to_string(statuses.size()) + " tasks";
    const char* sep = ": ";
    for (TaskState s : order) {
        int n = 0;
        for (const TaskStatus& t : statuses)
            n += t.state == s;
        if (n > 0) {
            out += sep + std::to_string(n) + " " + TaskStateName(s);
            sep = ", ";
        }
    }
    out += "\n";
    for (std::size_t i = 0; i < statuses.size(); ++i) {
        const TaskStatus& t = statuses[i];
        if (t.state == TaskState::Done)
            continue;
        out += "  task " + std::to_string(i + 1) + " " + m.tasks[i].dir + ": " + TaskStateName(t.state);
        if (!t.detail.empty() && t.detail != TaskStateName(t.state))
            out += " (" + t.detail + ")";
        out += "\n";
    }
    return out;
}
