#pragma once
// The process's current directory, and a guard that puts it back on every exit path.

#include <cstddef>
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

// True when dir (absolute, or relative to the current directory) is an existing directory that
// resolves, through every symbolic link on the way, to home itself or to a directory below it.
// Nothing is written through a directory for which this is false: a link planted in the
// working tree must not carry project files or results elsewhere.
bool ResolvesInsideTree(const std::string& home, const std::string& dir);
// The message for such a directory; shown names it as the user knows it ("bin", "output/x").
std::string OutsideTreeMessage(const std::string& shown);
// Makes dir (absolute, lexically below home) level by level, each level checked with
// ResolvesInsideTree before the next is made in it, so a planted link never carries a new
// directory, or anything later written into it, out of the tree. True when dir exists inside
// the tree afterwards; else false with "<dir>: <why>" in *error.
bool MakeDirectoryInsideTree(const std::string& home, const std::string& dir, std::string* error);

// Reads a whole regular file of at most maxBytes. A FIFO, a device, a directory or a larger
// file is refused without blocking or filling memory; the reason is set on failure.
enum class ReadFileOutcome { Read, CannotOpen, NotRegular, TooLarge };
ReadFileOutcome ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes,
                                std::string& reason);

// True when text holds a C0 control character or DEL: a line break, a tab, an escape sequence.
// Names and paths with one are refused wherever they could reach a script, a log or a terminal.
bool HasControlCharacter(const std::string& text);

// text as it may be shown in a one-line message: control characters as '?'.
std::string Printable(const std::string& text);

// True when name is usable as one file or directory name below a working directory:
// not empty, no '/', no NUL, and neither "." nor "..".
bool IsPlainPathComponent(const std::string& name);
