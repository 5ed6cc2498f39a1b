#pragma once
// One task of a study, wherever it runs (a local worker, a Slurm array task): the case's input is
// copied into a scratch directory beside the task's final one, the solver runs there, every
// result is checked, and only then is the scratch directory renamed into place. A task that
// fails leaves "<dir>.failed" with the reason; one that is killed leaves only scratch, which the
// next run removes. So a task's directory is complete or absent.

#include <functional>
#include <string>

#include "StudyManifest.h"

struct TaskOutcome {
    enum class Status { Done, Failed, Cancelled };
    Status status = Status::Failed;
    std::string reason;  // Failed / Cancelled: one line for the user
};

struct TaskHooks {
    std::function<bool()> cancel;                      // asked several times a second
    std::function<void(double fraction)> progress;     // 0..1 through the task
};

// task is 1-based. Removes the task's failure marker first.
TaskOutcome RunStudyTask(const StudyManifest& m, int task, const TaskHooks& hooks);

// Scratch directories of a task left by a run that died ("<block>.run-*").
void RemoveTaskScratch(const StudyManifest& m, int task);
bool HasTaskScratch(const StudyManifest& m, int task);

// One result file checked: a regular file with a head and as many finite points as it
// announces. Empty when all is well, else what is wrong.
std::string CheckResultFile(const std::string& path);

// A case's wave field checked: a plain file that the field reader takes (every value finite)
// with the study's grid, times and component. Empty when all is well, else what is wrong.
std::string CheckFieldFile(const StudyManifest& m, const std::string& path);

// A task's block as it lies on disk: absent, or a real directory inside the project holding the
// block's receiver list and every result, each checked as above (a field task: its file, checked
// as above); anything else is damaged (*problem says how) and is never counted as done.
enum class BlockState { Absent, Complete, Damaged };
BlockState CheckBlock(const StudyManifest& m, int task, std::string* problem);
