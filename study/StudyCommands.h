#pragma once
// The commands of pemblar-study as functions, so the program's window can run the same ones:
// run, resume, status, cancel, and run-task (what a Slurm array task executes). Each returns
// the exit status: 0 when what was asked is complete (or submitted, without waiting), 1 when it
// is not (a failed task, a refused file, a cancel).

#include <functional>
#include <string>
#include <vector>

struct StudyCommandIO {
    std::function<void(const std::string&)> out;   // one line at a time
    std::function<void(const std::string&)> err;   // one line at a time
    std::function<bool()> cancel;                  // asked several times a second
    bool wait = true;                              // slurm: follow the array until it ends
    bool replace = false;                          // run: remove a started study of that name first
    int pollMilliseconds = 2000;                   // slurm: how often to ask the queue
};

// A study directory that holds a started study refuses run (resume continues it) unless
// io.replace; run and resume refuse a study file that was changed since the study started.
int StudyRunCommand(const std::string& studyFile, const StudyCommandIO& io);
int StudyResumeCommand(const std::string& studyFile, const StudyCommandIO& io);
int StudyStatusCommand(const std::string& studyFile, const StudyCommandIO& io);
int StudyCancelCommand(const std::string& studyFile, const StudyCommandIO& io);
// studyId: the id the task was submitted for; a study started again since then is left alone.
int StudyRunTaskCommand(const std::string& studyDir, int task, const std::string& studyId, const StudyCommandIO& io);

// The study directory a study file leads to; empty with *error when the file or project is unusable.
std::string StudyDirectoryOf(const std::string& studyFile, std::string* error);

// Removes a started study to start it again: never under a run going on here, and a Slurm
// study's jobs are cancelled first. False with *error (and the study kept) when it cannot.
bool RemoveStartedStudy(const std::string& studyDir, std::string* error);

// The sentence run and resume say when the study file no longer describes the started study.
std::string ChangedStudyText(const std::string& studyFile, const std::string& studyDir,
                             const std::vector<std::string>& changes);
