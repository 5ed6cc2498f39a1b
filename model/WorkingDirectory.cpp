#include "WorkingDirectory.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

std::string CurrentDirectory() {
    std::vector<char> buffer(256);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()))
            return std::string(buffer.data());
        if (errno != ERANGE)
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

bool ChangeDirectory(const std::string& path) {
    return !path.empty() && ::chdir(path.c_str()) == 0;
}

bool MakeDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0)
        return true;
    struct stat st {};
    return errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

CDirectoryGuard::CDirectoryGuard(std::string home) : m_home(std::move(home)) {
    ChangeDirectory(m_home);
}

CDirectoryGuard::~CDirectoryGuard() {
    ChangeDirectory(m_home);
}

bool IsPlainPathComponent(const std::string& name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    for (char c : name)
        if (c == '/' || c == '\0')
            return false;
    return true;
}

namespace {

std::string Resolved(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return {};
    std::string out(real);
    std::free(real);
    return out;
}

}  // namespace

bool ResolvesInsideTree(const std::string& home, const std::string& dir) {
    const std::string root = Resolved(home), target = Resolved(dir);
    if (root.empty() || target.empty())
        return false;
    if (target == root)
        return true;
    const std::string prefix = root == "/" ? root : root + "/";
    return target.compare(0, prefix.size(), prefix) == 0;
}

std::string OutsideTreeMessage(const std::string& shown) {
    return "The directory \"" + shown +
           "\" leads outside the working directory (through a symbolic link); nothing was written there.";
}

ReadFileOutcome ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes,
                                std::string& reason) {
    bytes.clear();
    // O_NONBLOCK: opening a FIFO for reading must not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        reason = std::strerror(errno);
        return ReadFileOutcome::CannotOpen;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        reason = std::strerror(errno);
        return ReadFileOutcome::CannotOpen;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = S_ISDIR(st.st_mode) ? "it is a directory" : "it is not a regular file";
        return ReadFileOutcome::NotRegular;
    }
    if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
        reason = "the file is too large";
        return ReadFileOutcome::TooLarge;
    }
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            reason = std::strerror(errno);
            return ReadFileOutcome::CannotOpen;
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (bytes.size() > maxBytes) {  // grew while being read
            reason = "the file is too large";
            return ReadFileOutcome::TooLarge;
        }
    }
    return ReadFileOutcome::Read;
}
