#include "ResultFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

}  // namespace numerics
