#pragma once
// Whole-file replacement that never leaves a half-written file behind: the bytes go to a
// temporary file in the target's directory, are flushed to disk, and only then renamed over
// the target. On any failure the temporary file is removed, the old target stays as it was,
// and the functions return false with a reason ("<path>: <what failed>") in *error.

#include <string>

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* error);

// Copies from over to (overwriting it) with the same guarantee for to.
bool CopyFileAtomically(const std::string& from, const std::string& to, std::string* error);
