#pragma once
// Where each task of a started study stands: from the study directory first (complete results,
// failure markers), then from the scheduler for the rest.

#include <map>
#include <string>
#include <vector>

#include "StudyManifest.h"

enum class TaskState { Done, Failed, Cancelled, Running, Pending, Missing, NotStarted };

struct TaskStatus {
    TaskState state = TaskState::NotStarted;
    std::string detail;  // why it failed, or the scheduler's word
};

// What the scheduler says of the tasks it still knows, by 1-based task number.
using QueueStates = std::map<int, std::string>;

// The state of every task. queue: the scheduler's states (empty for a local study).
std::vector<TaskStatus> TaskStatuses(const StudyManifest& m, const QueueStates& queue);

// Slurm's word for a job (RUNNING, PENDING, TIMEOUT, "CANCELLED by 0") as a task state.
TaskState StateFromSlurm(const std::string& word);

// Tasks that resume runs again: neither complete nor waiting or running.
std::vector<int> TasksToResume(const std::vector<TaskStatus>& statuses);

const char* TaskStateName(TaskState s);

// "12 tasks: 9 done, 1 running, 2 failed", then one line per task that is not done.
std::string StatusReport(const StudyManifest& m, const std::vector<TaskStatus>& statuses);
