#include "LocalRun.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

namespace {

// The holder's note: always this many bytes at the start of the file, blanks after the text.
constexpr std::size_t kNoteSize = 128;
// A lock file is never larger than its note: anything bigger is some other file.
constexpr off_t kMaxLockFileSize = 4096;

std::string ReadNote(int fd) {
    char buffer[kNoteSize + 1] = {};
    const ssize_t n = ::pread(fd, buffer, kNoteSize, 0);
    std::string note = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
    note = note.substr(0, note.find('\n'));
    while (!note.empty() && note.back() == ' ')
        note.pop_back();
    for (char& c : note)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return note.empty() ? "another process" : note;
}

void WriteNote(int fd, const std::string& text) {
    std::string record = text.substr(0, kNoteSize - 1);
    record.resize(kNoteSize - 1, ' ');
    record += '\n';
    if (::pwrite(fd, record.data(), record.size(), 0) < 0) {
        // The lock holds without the note; cancel then only cannot name the process.
    }
}

}  // namespace

CStudyLock::CStudyLock(const std::string& studyDir, std::chrono::milliseconds wait) {
    const std::string path = LockPath(studyDir);
    constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | kFlags, 0644);
    bool writable = fd >= 0;
    // A study directory one may read but not write: the lock can still be looked at.
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM))
        fd = ::open(path.c_str(), O_RDONLY | kFlags);
    if (fd < 0) {
        m_holder = errno == ELOOP ? path + " is a symbolic link, not a lock file; remove it"
                                  : path + " cannot be opened: " + std::strerror(errno);
        return;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 || st.st_size > kMaxLockFileSize) {
        m_holder = path + " is not a lock file (a special file, a linked file or a large one); remove it";
        ::close(fd);
        return;
    }
    const auto until = std::chrono::steady_clock::now() + wait;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            m_holder = path + " cannot be locked: " + std::strerror(errno);
            ::close(fd);
            return;
        }
        if (std::chrono::steady_clock::now() >= until) {
            m_elsewhere = true;
            m_holder = ReadNote(fd);
            ::close(fd);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (writable) {
        WriteNote(fd, "pid " + std::to_string(::getpid()) + " on " + HostName());
        m_noted = true;
    }
    m_fd = fd;
}

CStudyLock::~CStudyLock() {
    Release();
}

void CStudyLock::Release() {
    if (m_fd < 0)
        return;
    // An old note is harmless (the lock, not the note, says whether a run is alive); blanking it
    // keeps a reader from naming a process that has ended.
    if (m_noted)
        WriteNote(m_fd, "");
    ::close(m_fd);
    m_fd = -1;
}

bool StopLocalRun(const std::string& studyDir, std::string* error) {
    CStudyLock probe(studyDir);
    if (!probe.HeldElsewhere()) {
        if (error)
            *error = probe.Held() ? "no run of this study is going on here"
                                  : "whether a run of this study is going on cannot be told: " + probe.Holder();
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
