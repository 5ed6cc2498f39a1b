#pragma once
// Receiving points of a run given on the command line: a file with one x (mm) per line, or a
// range of evenly spaced points.

#include <string>
#include <vector>

namespace numerics {

// One number per line; blank lines and lines whose first non-blank character is # are skipped;
// LF or CR LF. Every x finite and within the input's bound on the receiving point. Returns an
// error naming the file and the line, or empty. More than `most` points is an error as well
// (tooMany tells it apart: the caller treats it as a usage error).
std::string ReadReceivers(const std::string& path, size_t most, std::vector<double>& xs, bool& tooMany);

// The same with two numbers x y (mm) per line, into xy as x0, y0, x1, y1, ...
std::string ReadReceiversXY(const std::string& path, size_t most, std::vector<double>& xy, bool& tooMany);

// count points from x0 to x1, both ends included (x0 alone for one point).
std::vector<double> ReceiverRange(double x0, double x1, int count);

// "result.dat" -> "result_r0001.dat" for the receiver of index 0.
std::string ReceiverFileName(const std::string& single, size_t index);

}  // namespace numerics
