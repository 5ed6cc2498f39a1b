#pragma once
// Runs a study's tasks on this machine, as many at once as asked (default: one per core), each
// solver on one thread. Reports every finished task and the overall progress as
// "progress N%" lines, the form the progress window reads.

#include <chrono>
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

// Holds the study's run lock ("run.lock" in the study directory) while alive: every command that
// changes a study holds it, so one run, resume or submission at a time, and cancel finds the
// local run to stop through it. The file is opened without following a link, must be a plain
// file of its own (one link, small), and is never truncated: the holder's note is a fixed-size
// record written over its start.
class CStudyLock {
public:
    // wait: how long to wait for a lock another process holds (a Slurm submission is short).
    explicit CStudyLock(const std::string& studyDir, std::chrono::milliseconds wait = std::chrono::milliseconds(0));
    ~CStudyLock();
    CStudyLock(const CStudyLock&) = delete;
    CStudyLock& operator=(const CStudyLock&) = delete;
    bool Held() const { return m_fd >= 0; }
    // True when another process holds it (a run is going on); false when this one holds it or
    // when the lock could not be looked at (Holder() then says why).
    bool HeldElsewhere() const { return m_elsewhere; }
    // When this did not get it: who holds it ("pid 123 on host"), or why it could not be taken.
    const std::string& Holder() const { return m_holder; }
    // Gives the lock up before the end of the scope.
    void Release();

private:
    int m_fd = -1;
    bool m_elsewhere = false;
    bool m_noted = false;
    std::string m_holder;
};

// Stops the local run that holds the study's lock (SIGTERM; it kills its solvers). False with
// *error when none runs, or when it runs on another host.
bool StopLocalRun(const std::string& studyDir, std::string* error);
