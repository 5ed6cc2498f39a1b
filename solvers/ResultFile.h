#pragma once
// The result file: a head of two integers (the output component code 1 U, 2 V, 3 W, and the
// number of points), then one "time value" pair per line. Written to a temporary file in the
// same directory and renamed over the old one only when every byte is on disk.

#include <string>
#include <vector>

namespace numerics {

std::string FormatResult(int component, const std::vector<double>& time, const std::vector<double>& value);

// Empty string on success, else why it failed (the old file, if any, is left as it was).
std::string WriteFileAtomically(const std::string& path, const std::string& contents);

}  // namespace numerics
