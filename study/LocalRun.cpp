#include "LocalRun.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <thread>

#include "StudyTask.h"

namespace fs = std::filesystem;

namespace {

std::string HostName() {
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    return host;
}

std::string LockPath(const std::string& studyDir) {
    return (fs::path(studyDir) / "run.lock").string();
}

// Sums the workers' progress into whole percents and says each new one once.
class CProgress {
public:
    CProgress(std::size_t tasks, std::function<void(const std::string&)> report)
        : m_fractions(tasks, 0.0), m_report(std::move(report)) {}
    void Set(std::size_t slot, double fraction) {
        std::lock_guard lock(m_mutex);
        m_fractions[slot] = std::clamp(fraction, 0.0, 1.0);
        double sum = 0;
        for (double f : m_fractions)
            sum += f;
        const int percent = static_cast<int>(std::floor(100.0 * sum / static_cast<double>(m_fractions.size())));
        // Whole percents, at most a few a second: enough for a bar, little for a terminal.
        const auto now = std::chrono::steady_clock::now();
        if (percent > m_said && (percent == 100 || m_said < 0 || now - m_saidAt > std::chrono::milliseconds(400))) {
            m_said = percent;
            m_saidAt = now;
            Say("progress " + std::to_string(percent) + "%");
        }
    }
    void Line(const std::string& text) {
        std::lock_guard lock(m_mutex);
        Say(text);
    }

private:
    void Say(const std::string& text) {
        if (m_report)
            m_report(text);
    }
    std::mutex m_mutex;
    std::vector<double> m_fractions;
    std::function<void(const std::string&)> m_report;
    int m_said = -1;
    std::chrono::steady_clock::time_point m_saidAt;
};

}  // namespace

RunSummary RunTasksLocally(const StudyManifest& m, const std::vector<int>& tasks, const LocalRunOptions& options) {
    RunSummary summary;
    if (tasks.empty())
        return summary;
    int jobs = options.jobs > 0 ? options.jobs : static_cast<int>(std::thread::hardware_concurrency());
    jobs = std::clamp(jobs, 1, static_cast<int>(tasks.size()));
    CProgress progress(tasks.size(), options.report);
    progress.Set(0, 0);
    std::atomic<std::size_t> next{0};
    std::mutex summaryMutex;
    const auto worker = [&] {
        for (;;) {
            const std::size_t slot = next.fetch_add(1);
            if (slot >= tasks.size())
                return;
            const int task = tasks[slot];
            if (options.cancel && options.cancel()) {
                std::lock_guard lock(summaryMutex);
                ++summary.cancelled;
                continue;
            }
            RemoveTaskScratch(m, task);
            TaskHooks hooks;
            hooks.cancel = options.cancel;
            hooks.progress = [&progress, slot](double f) { progress.Set(slot, f); };
            const TaskOutcome out = RunStudyTask(m, task, hooks);
            const std::string name = "task " + std::to_string(task) + " (" + m.tasks[task - 1].dir + ")";
            {
                std::lock_guard lock(summaryMutex);
                switch (out.status) {
                case TaskOutcome::Status::Done: ++summary.done; break;
                case TaskOutcome::Status::Failed: ++summary.failed; break;
                case TaskOutcome::Status::Cancelled: ++summary.cancelled; break;
                }
            }
            if (out.status == TaskOutcome::Status::Done) {
                progress.Line(name + " done");
                progress.Set(slot, 1);
            } else if (out.status == TaskOutcome::Status::Failed) {
                progress.Line(name + " failed: " + out.reason);
                progress.Set(slot, 1);
            }
        }
    };
    std::vector<std::thread> threads;
    for (int i = 0; i < jobs; ++i)
        threads.emplace_back(worker);
    for (std::thread& t : threads)
        t.join();
    return summary;
}

CStudyLock::CStudyLock(const std::string& studyDir) {
    const std::string path = LockPath(studyDir);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        m_holder = "nobody (" + path + " cannot be opened)";
        return;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        char buffer[512] = {};
        const ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
        m_holder = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : "another process";
        while (!m_holder.empty() && m_holder.back() == '\n')
            m_holder.pop_back();
        ::close(fd);
        return;
    }
    const std::string me = "pid " + std::to_string(::getpid()) + " on " + HostName() + "\n";
    if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, me.data(), me.size(), 0) < 0) {
        // The lock holds without the note; cancel then only cannot name the process.
    }
    m_fd = fd;
}

CStudyLock::~CStudyLock() {
    if (m_fd >= 0) {
        if (::ftruncate(m_fd, 0) != 0) {
            // An old note is harmless: the lock, not the note, says whether a run is alive.
        }
        ::close(m_fd);
    }
}

bool StopLocalRun(const std::string& studyDir, std::string* error) {
    CStudyLock probe(studyDir);
    if (probe.Held()) {
        if (error)
            *error = "no run of this study is going on here";
        return false;
    }
    std::istringstream holder(probe.Holder());
    std::string word, host;
    long pid = 0;
    if (!(holder >> word >> pid >> word >> host) || pid <= 1) {
        if (error)
            *error = "the study is running, but its process is unknown (" + probe.Holder() + ")";
        return false;
    }
    if (host != HostName()) {
        if (error)
            *error = "the study is running on " + host + "; cancel it there";
        return false;
    }
    if (::kill(static_cast<pid_t>(pid), SIGTERM) != 0) {
        if (error)
            *error = "process " + std::to_string(pid) + " cannot be stopped";
        return false;
    }
    return true;
}
