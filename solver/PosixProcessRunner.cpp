#include "PosixProcessRunner.h"

#include "SolverRun.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

extern char** environ;

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty() || dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}

std::string SignalText(int sig) {
    const char* name = ::strsignal(sig);
    return "terminated by signal " + std::to_string(sig) + (name ? std::string(" (") + name + ")" : "");
}

// Owns a file descriptor for one scope.
struct CFd {
    int fd = -1;
    ~CFd() { Close(); }
    void Close() {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

// Starts program in its own process group (a cancel kills all it started) with output to
// outputFd, SIGKILLed when this thread ends (PR_SET_PDEATHSIG): a program killed outright leaves
// no solver running on. Returns 0, or the errno that kept it from starting. Between fork and
// exec the child does only what is safe there.
int SpawnChild(const std::string& program, char* const* argv, const std::string& dir, int outputFd, pid_t& pid) {
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return errno;
    const pid_t parent = ::getpid();
    const char* const path = program.c_str();
    const char* const chdirTo = dir.empty() ? nullptr : dir.c_str();
    pid = ::fork();
    if (pid < 0) {
        const int err = errno;
        ::close(report[0]);
        ::close(report[1]);
        return err;
    }
    if (pid == 0) {
        int err = 0;
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)  // the parent died before the line above
            ::_exit(127);
        ::setpgid(0, 0);
        for (int sig : {SIGPIPE, SIGINT, SIGTERM})
            ::signal(sig, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (in < 0 || ::dup2(in, 0) < 0 || ::dup2(outputFd, 1) < 0 || ::dup2(outputFd, 2) < 0 ||
            (chdirTo && ::chdir(chdirTo) != 0))
            err = errno;
        if (err == 0) {
            ::execve(path, argv, environ);
            err = errno;
        }
        while (::write(report[1], &err, sizeof err) < 0 && errno == EINTR) {
        }
        ::_exit(127);
    }
    ::close(report[1]);
    int err = 0;
    ssize_t n;
    while ((n = ::read(report[0], &err, sizeof err)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    if (n == static_cast<ssize_t>(sizeof err)) {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return err != 0 ? err : ENOEXEC;
    }
    return 0;
}

}  // namespace

void CLineSplitter::Feed(const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\n') {
            // The "\n" of a "\r\n" pair ends nothing new.
            if (!(m_lastWasCR && m_pending.empty()) && m_onLine)
                m_onLine(m_pending);
            m_pending.clear();
            m_lastWasCR = false;
        } else if (c == '\r') {
            if (m_onLine)
                m_onLine(m_pending);
            m_pending.clear();
            m_lastWasCR = true;
        } else {
            m_pending.push_back(c);
            m_lastWasCR = false;
        }
    }
}

void CLineSplitter::Finish() {
    if (!m_pending.empty() && m_onLine)
        m_onLine(m_pending);
    m_pending.clear();
    m_lastWasCR = false;
}

void CLastLines::Add(const std::string& line) {
    // A program that refuses its command line says why, then prints its usage: the reason is
    // what came before, and the usage is not kept over it.
    m_usage = m_usage || line.rfind("usage:", 0) == 0;
    if (m_usage || ParseProgressPercent(line))
        return;
    std::string shown;
    for (const char c : line) {
        if (shown.size() >= kLineLength) {
            shown += "...";
            break;
        }
        const auto u = static_cast<unsigned char>(c);
        shown.push_back(u < 0x20 || u == 0x7f ? (c == '\t' ? ' ' : '?') : c);
    }
    const auto begin = shown.find_first_not_of(' ');
    if (begin == std::string::npos)
        return;
    shown.erase(0, begin);
    shown.erase(shown.find_last_not_of(' ') + 1);
    if (m_lines.size() == kLines)
        m_lines.erase(m_lines.begin());
    m_lines.push_back(std::move(shown));
}

std::string ResolveProgram(const std::string& program, const std::string& workingDirectory) {
    if (program.empty())
        return {};
    if (program.find('/') != std::string::npos) {
        const std::string path = std::filesystem::path(program.front() == '/' ? program : JoinPath(workingDirectory, program))
                                     .lexically_normal()
                                     .string();
        return IsExecutableFile(path) ? path : std::string();
    }
    const char* pathVariable = std::getenv("PATH");
    const std::string searchPath = pathVariable ? pathVariable : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= searchPath.size()) {
        size_t end = searchPath.find(':', start);
        if (end == std::string::npos)
            end = searchPath.size();
        const std::string dir = searchPath.substr(start, end - start);
        // An empty entry would mean "the current directory", which is whatever another
        // window left there; only explicit directories are searched.
        if (!dir.empty()) {
            const std::string candidate = JoinPath(dir, program);
            if (IsExecutableFile(candidate))
                return candidate;
        }
        start = end + 1;
    }
    return {};
}

ProcessOutcome CPosixProcessRunner::Run(const ProcessRequest& request) {
    ProcessOutcome outcome;
    const std::string program = ResolveProgram(request.program, request.workingDirectory);
    if (program.empty()) {
        outcome.status = ProcessOutcome::Status::FailedToStart;
        outcome.errorText = request.program + ": no such program in " + request.workingDirectory +
                            " or on the search path";
        return outcome;
    }

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        outcome.errorText = std::string("cannot create a pipe: ") + std::strerror(errno);
        return outcome;
    }
    CFd readEnd{fds[0]};
    CFd writeEnd{fds[1]};

    std::vector<std::string> args;
    args.push_back(request.program);
    args.insert(args.end(), request.arguments.begin(), request.arguments.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int spawnError = SpawnChild(program, argv.data(), request.workingDirectory, writeEnd.fd, pid);
    writeEnd.Close();
    if (spawnError != 0) {
        outcome.status = ProcessOutcome::Status::FailedToStart;
        outcome.errorText = request.program + ": " + std::strerror(spawnError);
        return outcome;
    }

    ::fcntl(readEnd.fd, F_SETFL, ::fcntl(readEnd.fd, F_GETFL) | O_NONBLOCK);
    CLastLines lastLines;
    CLineSplitter splitter([&](const std::string& line) {
        lastLines.Add(line);
        if (m_onLine)
            m_onLine(line);
    });
    char buffer[4096];
    bool pipeOpen = true;
    bool cancelled = false;
    int waitStatus = 0;
    const auto drain = [&] {
        for (;;) {
            const ssize_t n = ::read(readEnd.fd, buffer, sizeof buffer);
            if (n > 0) {
                splitter.Feed(buffer, static_cast<size_t>(n));
                continue;
            }
            if (n == 0)
                pipeOpen = false;
            else if (errno == EINTR)
                continue;
            else if (errno != EAGAIN)
                pipeOpen = false;
            return;
        }
    };

    for (;;) {
        if (pipeOpen) {
            pollfd p{readEnd.fd, POLLIN, 0};
            const int ready = ::poll(&p, 1, static_cast<int>(m_pollInterval.count()));
            if (ready > 0)
                drain();
        } else {
            ::usleep(static_cast<useconds_t>(m_pollInterval.count()) * 1000);
        }
        const pid_t done = ::waitpid(pid, &waitStatus, WNOHANG);
        if (done == pid) {
            // Whatever the child wrote before it ended is still in the pipe; a grandchild that
            // keeps the pipe open must not keep us waiting.
            if (pipeOpen)
                drain();
            break;
        }
        if (done < 0 && errno != EINTR) {
            outcome.status = ProcessOutcome::Status::Crashed;
            outcome.errorText = std::string("lost track of the process: ") + std::strerror(errno);
            return outcome;
        }
        if (m_cancel && m_cancel()) {
            cancelled = true;
            ::kill(-pid, SIGKILL);
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) {
            }
            break;
        }
    }
    splitter.Finish();
    outcome.lastLines = lastLines.Lines();

    if (cancelled) {
        outcome.status = ProcessOutcome::Status::Cancelled;
        outcome.errorText = "cancelled";
        return outcome;
    }
    if (WIFEXITED(waitStatus)) {
        outcome.status = ProcessOutcome::Status::Finished;
        outcome.exitCode = WEXITSTATUS(waitStatus);
    } else if (WIFSIGNALED(waitStatus)) {
        outcome.status = ProcessOutcome::Status::Crashed;
        outcome.errorText = SignalText(WTERMSIG(waitStatus));
    } else {
        outcome.status = ProcessOutcome::Status::Crashed;
        outcome.errorText = "ended in an unknown way";
    }
    return outcome;
}
