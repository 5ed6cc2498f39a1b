#pragma once
// Reading the solvers' input files: only regular files, up to a size, with messages that say
// what is wrong ("is a directory", "is too large") rather than reading nothing or everything.

#include <cstddef>
#include <string>

namespace numerics {

// Empty on success, with the whole file in text; else the message (naming path).
std::string ReadInputFile(const std::string& path, size_t maxBytes, std::string& text);

// The 1-based number of the first line that ends in a carriage return alone (old Macintosh
// line ends, which would run the whole file into one line), or 0 when there is none.
int FirstCrOnlyLine(const std::string& text);
std::string CrOnlyMessage(const std::string& name, int line);

// A piece of text for a message: at most maxChars characters, "..." when cut, unprintable
// bytes shown as '?'.
std::string Excerpt(const std::string& text, size_t maxChars = 32);

// A number as %g writes it, for messages.
std::string Num(double v);

}  // namespace numerics
