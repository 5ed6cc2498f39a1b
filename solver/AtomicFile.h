#pragma once
// Whole-file replacement that never leaves a half-written file behind: the bytes go to a
// temporary file in the target's directory, are flushed to disk, and only then renamed over
// the target. On any failure the temporary file is removed, the old target stays as it was,
// and the functions return false with a reason ("<path>: <what failed>") in *error.

#include <memory>
#include <string>
#include <string_view>

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* error);

// Copies from over to (overwriting it) with the same guarantee for to.
bool CopyFileAtomically(const std::string& from, const std::string& to, std::string* error);

// The same for a file written piece by piece (a large table that never sits in memory whole):
// Open makes the temporary file, Write appends, Commit puts it in place. Destroyed without a
// Commit, it removes the temporary file and leaves the target as it was.
class CAtomicFileWriter {
public:
    CAtomicFileWriter();
    ~CAtomicFileWriter();
    CAtomicFileWriter(const CAtomicFileWriter&) = delete;
    CAtomicFileWriter& operator=(const CAtomicFileWriter&) = delete;
    bool Open(const std::string& path, std::string* error);
    bool Write(std::string_view bytes, std::string* error);
    bool Commit(std::string* error);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
