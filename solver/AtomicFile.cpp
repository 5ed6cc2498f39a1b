#include "AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <vector>

namespace {

std::string Reason(const std::string& path, const char* what, int err) {
    return path + ": " + what + ": " + std::strerror(err);
}

void SetError(std::string* error, std::string text) {
    if (error)
        *error = std::move(text);
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A temporary file next to the target, created exclusively so that two writers never share
// one. Opening with O_CREAT lets the umask decide the permissions, as for any new file.
class CTempFile {
public:
    explicit CTempFile(const std::string& target) : m_target(target) {}
    ~CTempFile() {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_path.empty() && !m_renamed)
            ::unlink(m_path.c_str());
    }
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;

    bool Create(std::string* error) {
        static std::atomic<unsigned> counter{0};
        const std::string dir = DirectoryOf(m_target);
        // Keep the name well below the file-name limit even for long targets.
        const std::string base = BaseOf(m_target).substr(0, 100);
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string candidate = (dir == "/" ? "" : dir) + "/." + base + "." +
                                          std::to_string(::getpid()) + "." +
                                          std::to_string(counter++) + ".tmp";
            const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                m_fd = fd;
                m_path = candidate;
                return true;
            }
            if (errno != EEXIST) {
                SetError(error, Reason(m_target, "cannot create a temporary file", errno));
                return false;
            }
        }
        SetError(error, Reason(m_target, "cannot create a temporary file", EEXIST));
        return false;
    }

    bool Write(const char* data, std::size_t size, std::string* error) {
        while (size > 0) {
            const ssize_t n = ::write(m_fd, data, size);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                SetError(error, Reason(m_target, "write failed", errno));
                return false;
            }
            if (n == 0) {
                SetError(error, Reason(m_target, "write failed", ENOSPC));
                return false;
            }
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    bool Commit(std::string* error) {
        // An existing target keeps its permissions.
        struct stat st {};
        if (::stat(m_target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            ::fchmod(m_fd, st.st_mode & 07777);
        if (::fsync(m_fd) != 0) {
            SetError(error, Reason(m_target, "flushing to disk failed", errno));
            return false;
        }
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0) {
            SetError(error, Reason(m_target, "closing failed", errno));
            return false;
        }
        if (::rename(m_path.c_str(), m_target.c_str()) != 0) {
            SetError(error, Reason(m_target, "cannot replace the file", errno));
            return false;
        }
        m_renamed = true;
        // Make the rename itself durable; a failure here no longer endangers the old data.
        const int dirFd = ::open(DirectoryOf(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd >= 0) {
            ::fsync(dirFd);
            ::close(dirFd);
        }
        return true;
    }

private:
    std::string m_target;
    std::string m_path;
    int m_fd = -1;
    bool m_renamed = false;
};

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* error) {
    if (path.empty()) {
        SetError(error, "empty file name");
        return false;
    }
    CTempFile temp(path);
    return temp.Create(error) && temp.Write(bytes.data(), bytes.size(), error) &&
           temp.Commit(error);
}

bool CopyFileAtomically(const std::string& from, const std::string& to, std::string* error) {
    if (to.empty()) {
        SetError(error, "empty file name");
        return false;
    }
    // O_NONBLOCK: a FIFO in place of the source must not hang the copy at open.
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0) {
        SetError(error, Reason(from, "cannot open for reading", errno));
        return false;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{in};
    struct stat st {};
    if (::fstat(in, &st) == 0 && S_ISDIR(st.st_mode)) {
        SetError(error, Reason(from, "cannot copy", EISDIR));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        SetError(error, from + ": cannot copy: not a regular file");
        return false;
    }
    CTempFile temp(to);
    if (!temp.Create(error))
        return false;
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            SetError(error, Reason(from, "read failed", errno));
            return false;
        }
        if (n == 0)
            break;
        if (!temp.Write(buffer.data(), static_cast<std::size_t>(n), error))
            return false;
    }
    return temp.Commit(error);
}

struct CAtomicFileWriter::Impl {
    explicit Impl(const std::string& path) : temp(path) {}
    CTempFile temp;
    std::string buffer;
};

CAtomicFileWriter::CAtomicFileWriter() = default;
CAtomicFileWriter::~CAtomicFileWriter() = default;

bool CAtomicFileWriter::Open(const std::string& path, std::string* error) {
    m_impl.reset();
    if (path.empty()) {
        SetError(error, "empty file name");
        return false;
    }
    m_impl = std::make_unique<Impl>(path);
    return m_impl->temp.Create(error);
}

bool CAtomicFileWriter::Write(std::string_view bytes, std::string* error) {
    if (!m_impl) {
        SetError(error, "no file is open");
        return false;
    }
    // Whole blocks to the kernel: a table of many short lines is not a write per line.
    constexpr std::size_t kBlock = 1u << 20;
    m_impl->buffer.append(bytes);
    if (m_impl->buffer.size() < kBlock)
        return true;
    const bool ok = m_impl->temp.Write(m_impl->buffer.data(), m_impl->buffer.size(), error);
    m_impl->buffer.clear();
    return ok;
}

bool CAtomicFileWriter::Commit(std::string* error) {
    if (!m_impl) {
        SetError(error, "no file is open");
        return false;
    }
    const bool ok = m_impl->temp.Write(m_impl->buffer.data(), m_impl->buffer.size(), error) && m_impl->temp.Commit(error);
    m_impl->buffer.clear();
    return ok;
}
