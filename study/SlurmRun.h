#pragma once
// A study as a Slurm job array: one array task per study task, submitted with sbatch, followed
// with squeue (and sacct where the cluster keeps accounting), cancelled with scancel. The array
// index is the task number, so a resubmission of some tasks runs exactly those.

#include <optional>
#include <string>
#include <vector>

#include "StudyFile.h"
#include "StudyManifest.h"
#include "StudyStatus.h"

// Every value that reaches a job script or the sbatch command line passes here: quoted for the
// shell ('...'), or refused (none) when it holds a control character, which no quoting makes
// safe in a script, a job name or Slurm's own files.
std::optional<std::string> ShellWord(const std::string& value);

// The batch script every array task runs: the task runner of this program on the node. False
// with *error when a value cannot go into a script.
bool BatchScript(const StudyManifest& m, const std::string& program, std::string& script, std::string* error);

// A path as a Slurm file-name pattern that names exactly it: '%' doubled. None for a path with a
// backslash, which makes Slurm take the whole pattern literally (so %a would name no task).
std::optional<std::string> SlurmFileName(const std::string& path);

// The sbatch command line for the given tasks (argument list, no shell). False with *error when
// a value cannot go to sbatch.
bool SbatchArguments(const StudyManifest& m, const SchedulerSettings& s, const std::vector<int>& tasks,
                     const std::string& scriptPath, std::vector<std::string>& args, std::string* error);

// The job id in sbatch --parsable output ("123" or "123;cluster"); empty when there is none.
std::string ParseSbatchOutput(const std::string& output);

// squeue -r -o "%i|%T" / sacct -P -o JobID,State lines of one job as task states.
void ParseQueueLines(const std::string& output, const std::string& jobId, QueueStates& into);

// Submits tasks as one array, records the submission in the manifest and writes it.
bool SubmitTasks(StudyManifest& m, const SchedulerSettings& s, const std::vector<int>& tasks, std::string* jobId,
                 std::string* error);

// The queue's word on every submitted task that Slurm still knows (latest submission wins).
QueueStates QuerySlurm(const StudyManifest& m);

// scancel for every submission; false with *error when scancel fails.
bool CancelSlurm(const StudyManifest& m, std::string* error);

// The path of the running program, for the batch script.
std::string ThisProgram();
