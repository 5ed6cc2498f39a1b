#pragma once
// Runs a child process without a shell and without a window: what the tests and a headless
// run use. The child gets /dev/null as input and one pipe for its standard output and error,
// which is handed on line by line. A cancel predicate is asked several times a second; when
// it says yes the child's whole process group is killed. The child is killed too when the
// thread that runs it ends (a program killed outright leaves no solver running).

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "UiServices.h"

class CPosixProcessRunner : public IProcessRunner {
public:
    using LineCallback = std::function<void(const std::string& line)>;
    using CancelPredicate = std::function<bool()>;

    CPosixProcessRunner() = default;
    explicit CPosixProcessRunner(LineCallback onLine, CancelPredicate cancel = {},
                                 std::chrono::milliseconds pollInterval = std::chrono::milliseconds(50))
        : m_onLine(std::move(onLine)), m_cancel(std::move(cancel)), m_pollInterval(pollInterval) {}

    ProcessOutcome Run(const ProcessRequest& request) override;

    void SetLineCallback(LineCallback onLine) { m_onLine = std::move(onLine); }
    void SetCancelPredicate(CancelPredicate cancel) { m_cancel = std::move(cancel); }

private:
    LineCallback m_onLine;
    CancelPredicate m_cancel;
    std::chrono::milliseconds m_pollInterval{50};
};

// Splits a byte stream into lines. "\n", "\r\n" and a lone "\r" (what progress counters print)
// each end a line; Finish() hands on a last line that had no end.
class CLineSplitter {
public:
    explicit CLineSplitter(std::function<void(const std::string&)> onLine) : m_onLine(std::move(onLine)) {}
    void Feed(const char* data, size_t size);
    void Finish();

private:
    std::function<void(const std::string&)> m_onLine;
    std::string m_pending;
    bool m_lastWasCR = false;
};

// Keeps the last few lines a solver printed, where it says why it failed: blank lines,
// "progress N%" lines and a usage text ("usage:" and all after it) are passed over, each line is
// cut to a readable length and its control characters are shown as '?', so any output makes a
// sound message.
class CLastLines {
public:
    static constexpr std::size_t kLines = 3;
    static constexpr std::size_t kLineLength = 300;
    void Add(const std::string& line);
    const std::vector<std::string>& Lines() const { return m_lines; }

private:
    std::vector<std::string> m_lines;
    bool m_usage = false;  // a "usage:" line was seen: what follows is the usage
};

// The program a request names, made absolute: a relative path with a slash is taken from the
// request's working directory; a bare name is looked up on PATH. Empty when nothing is found.
std::string ResolveProgram(const std::string& program, const std::string& workingDirectory);
