#include "ResultFile.h"

#include <cctype>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace numerics {

std::string FormatResult(int component, const std::vector<double>& time, const std::vector<double>& value) {
    std::string out;
    char line[96];
    std::snprintf(line, sizeof line, "%d %zu\n", component, time.size());
    out += line;
    for (size_t i = 0; i < time.size(); ++i) {
        std::snprintf(line, sizeof line, "%.6f %.8e\n", time[i], value[i]);
        out += line;
    }
    return out;
}

std::string WriteFileAtomically(const std::string& path, const std::string& contents) {
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return "cannot create a temporary file beside " + path + ": " + std::strerror(errno);
    // Held until the file is renamed or removed: a later run knows a temporary file whose lock
    // it can take for the leftover of a killed one.
    ::flock(fd, LOCK_EX);
    const char* data = contents.data();
    size_t left = contents.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const std::string why = std::strerror(errno);
            ::close(fd);
            ::unlink(temp.c_str());
            return "cannot write " + path + ": " + why;
        }
        data += n;
        left -= static_cast<size_t>(n);
    }
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        const std::string why = std::strerror(errno);
        ::unlink(temp.c_str());
        return "cannot write " + path + ": " + why;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        ::unlink(temp.c_str());
        return "cannot replace " + path + ": " + why;
    }
    return {};
}

void RemoveStaleTemporaries(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    const std::string prefix = (slash == std::string::npos ? path : path.substr(slash + 1)) + ".";
    DIR* listing = ::opendir(dir.c_str());
    if (!listing) return;
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        // mkstemp's names: the prefix and six letters or digits.
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
        bool pattern = true;
        for (size_t i = prefix.size(); i < name.size(); ++i)
            pattern = pattern && (std::isalnum(static_cast<unsigned char>(name[i])) != 0);
        if (pattern) stale.push_back(dir + "/" + name);
    }
    ::closedir(listing);
    for (const std::string& file : stale) {
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) continue;
        struct stat st {};
        // A writer still at work holds its lock; only a regular file nobody holds goes.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(file.c_str());
        ::close(fd);
    }
}

std::string CheckCurveFinite(const std::vector<double>& time, const std::vector<double>& value,
                             const std::string& quantity) {
    for (size_t i = 0; i < value.size() && i < time.size(); ++i) {
        if (std::isfinite(value[i]) && std::isfinite(time[i])) continue;
        char t[32];
        std::snprintf(t, sizeof t, "%g", time[i]);
        return "the computed " + quantity + " at t = " + t + " us overflowed (" +
               (std::isnan(value[i]) ? "not a number" : "infinite") +
               "): the input's values are too extreme to compute with; no result was written";
    }
    return {};
}

}  // namespace numerics
