#pragma once
// Lowers RLIMIT_FSIZE for the scope, for this process and the children it starts: a write beyond
// it fails as a full disk would make it fail. With SIGXFSZ ignored (the default here) such a
// write fails with EFBIG; with the signal's default action the writer is killed by it.

#include <sys/resource.h>

#include <csignal>

class CFileSizeLimit {
public:
    explicit CFileSizeLimit(rlim_t bytes, bool ignoreSignal = true) {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, ignoreSignal ? SIG_IGN : SIG_DFL);
        rlimit lowered = m_saved;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~CFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    CFileSizeLimit(const CFileSizeLimit&) = delete;
    CFileSizeLimit& operator=(const CFileSizeLimit&) = delete;

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
};
