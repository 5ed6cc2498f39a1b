#pragma once
// The result file: a head of two integers (the output component code 1 U, 2 V, 3 W, and the
// number of points), then one "time value" pair per line. Written to a temporary file in the
// same directory and renamed over the old one only when every byte is on disk.

#include <string>
#include <vector>

namespace numerics {

std::string FormatResult(int component, const std::vector<double>& time, const std::vector<double>& value);

// Empty string on success, else why it failed (the old file, if any, is left as it was, and no
// temporary file stays behind: a write beyond the file-size limit reports "File too large"
// when SIGXFSZ is ignored).
std::string WriteFileAtomically(const std::string& path, const std::string& contents);

// Removes the temporary files "<path>.XXXXXX" that a killed run left beside path; those of a
// writer still at work (it holds a lock on its file) stay.
void RemoveStaleTemporaries(const std::string& path);

// Empty when every point of the curve is finite, else a message naming the quantity and the
// first time where it is not.
std::string CheckCurveFinite(const std::vector<double>& time, const std::vector<double>& value,
                             const std::string& quantity);

}  // namespace numerics
