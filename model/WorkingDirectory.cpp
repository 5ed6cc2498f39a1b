#include "WorkingDirectory.h"

#include <cerrno>
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
