#include "WorkingDirectory.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

bool MakeDirectoryInsideTree(const std::string& home, const std::string& dir, std::string* error) {
    const auto fail = [&](const std::string& why) {
        if (error)
            *error = dir + ": " + why;
        return false;
    };
    std::string level = home.size() > 1 && home.back() == '/' ? home.substr(0, home.size() - 1) : home;
    if (dir != level && dir.compare(0, level.size() + 1, level + "/") != 0)
        return fail("not below " + level);
    const std::string root = level;
    if (!ResolvesInsideTree(root, root))
        return fail("the directory " + root + " cannot be entered");
    std::size_t at = root.size();
    while (at < dir.size()) {
        const std::size_t start = at + 1;
        at = std::min(dir.find('/', start), dir.size());
        const std::string name = dir.substr(start, at - start);
        if (name.empty())
            continue;
        if (name == "." || name == "..")
            return fail("the path holds \".\" or \"..\"");
        level += "/" + name;
        if (::mkdir(level.c_str(), 0777) != 0 && errno != EEXIST)
            return fail(std::string("cannot be made: ") + std::strerror(errno));
        struct stat st {};
        if (::stat(level.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return fail(level + " is not a directory");
        if (!ResolvesInsideTree(root, level))
            return fail("leads outside " + root + " (through a symbolic link); nothing was written there");
    }
    return true;
}

bool HasControlCharacter(const std::string& text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f)
            return true;
    }
    return false;
}

std::string Printable(const std::string& text) {
    std::string shown = text;
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return shown;
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
