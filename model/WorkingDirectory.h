#pragma once
// The process's current directory, and a guard that puts it back on every exit path.

#include <string>

std::string CurrentDirectory();
bool ChangeDirectory(const std::string& path);
// Creates one directory level; true when it exists afterwards.
bool MakeDirectory(const std::string& path);

class CDirectoryGuard {
public:
    // Remembers where to return (normally the document's m_szStartDir) and goes there now.
    explicit CDirectoryGuard(std::string home);
    ~CDirectoryGuard();
    CDirectoryGuard(const CDirectoryGuard&) = delete;
    CDirectoryGuard& operator=(const CDirectoryGuard&) = delete;

    const std::string& Home() const { return m_home; }

private:
    std::string m_home;
};

// True when name is usable as one file or directory name below a working directory:
// not empty, no '/', no NUL, and neither "." nor "..".
bool IsPlainPathComponent(const std::string& name);
