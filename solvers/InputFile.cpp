#include "InputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace numerics {

std::string ReadInputFile(const std::string& path, size_t maxBytes, std::string& text) {
    text.clear();
    // O_NONBLOCK: a FIFO planted in place of the file must not hang the run at open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return "cannot open " + path + ": " + std::strerror(errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) return "cannot read " + path + ": " + std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return path + " is a directory, not a file";
    if (!S_ISREG(st.st_mode)) return path + " is not a regular file";
    const std::string tooLarge =
        path + " is too large (more than " + std::to_string(maxBytes >> 20) + " MB)";
    if (static_cast<unsigned long long>(st.st_size) > maxBytes) return tooLarge;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return "cannot read " + path + ": " + std::strerror(errno);
        if (n == 0) break;
        text.append(buffer, static_cast<size_t>(n));
        if (text.size() > maxBytes) return tooLarge;  // grew while being read
    }
    return {};
}

int FirstCrOnlyLine(const std::string& text) {
    int line = 1;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') ++line;
        // A CR as the very last byte ends the last line; anywhere else it must precede a LF.
        else if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] != '\n') return line;
    }
    return 0;
}

std::string CrOnlyMessage(const std::string& name, int line) {
    return name + " line " + std::to_string(line) +
           ": the line ends in a carriage return alone (CR); save the file with LF or CR LF line ends";
}

std::string Excerpt(const std::string& text, size_t maxChars) {
    std::string out;
    for (size_t i = 0; i < text.size() && i < maxChars; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        out += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
    }
    if (text.size() > maxChars) out += "...";
    return out;
}

std::string Num(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

}  // namespace numerics
