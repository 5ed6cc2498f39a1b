#pragma once
// Runs a study's tasks on this machine, as many at once as asked (default: one per core), each
// solver on one thread. Reports every finished task and the overall progress as
// "progress N%" lines, the form the progress window reads.

#include <functional>
#include <string>
#include <vector>

#include "StudyManifest.h"

struct LocalRunOptions {
    int jobs = 0;                                   // 0: one per core
    std::function<bool()> cancel;                   // asked several times a second
    std::function<void(const std::string&)> report; // one line at a time, from any worker
};

struct RunSummary {
    int done = 0;
    int failed = 0;
    int cancelled = 0;
};

RunSummary RunTasksLocally(const StudyManifest& m, const std::vector<int>& tasks, const LocalRunOptions& options);

// Holds the study's run lock ("run.lock" in the study directory) while alive: one run or resume
// at a time, and cancel finds the process to stop through it.
class CStudyLock {
public:
    explicit CStudyLock(const std::string& studyDir);
    ~CStudyLock();
    CStudyLock(const CStudyLock&) = delete;
    CStudyLock& operator=(const CStudyLock&) = delete;
    bool Held() const { return m_fd >= 0; }
    // Who holds it, when this did not get it: "pid 123 on host".
    const std::string& Holder() const { return m_holder; }

private:
    int m_fd = -1;
    std::string m_holder;
};

// Stops the local run that holds the study's lock (SIGTERM; it kills its solvers). False with
// *error when none runs, or when it runs on another host.
bool StopLocalRun(const std::string& studyDir, std::string* error);
