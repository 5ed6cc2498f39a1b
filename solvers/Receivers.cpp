#include "Receivers.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "InputFile.h"
#include "Limits.h"

namespace numerics {

std::string ReadReceivers(const std::string& path, size_t most, std::vector<double>& xs, bool& tooMany) {
    xs.clear();
    tooMany = false;
    std::string text;
    if (std::string error = ReadInputFile(path, kMaxInputBytes, text); !error.empty()) return error;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        const size_t last = line.find_last_not_of(" \t");
        const char* begin = line.data() + first;
        const char* end = line.data() + last + 1;
        double x = 0;
        const auto parsed = std::from_chars(begin, end, x);
        const std::string where = path + " line " + std::to_string(number) + ": ";
        if (parsed.ec != std::errc() || parsed.ptr != end || !std::isfinite(x))
            return where + "a receiving point must be one number (mm), not \"" + Excerpt(std::string(begin, end)) + "\"";
        if (!(std::abs(x) <= kMaxDistance))
            return where + "the receiving point " + Excerpt(std::string(begin, end)) + " lies outside " +
                   Num(-kMaxDistance) + " to " + Num(kMaxDistance) + " mm";
        if (xs.size() == most) {
            tooMany = true;
            return path + ": more than " + std::to_string(most) + " receiving points";
        }
        xs.push_back(x);
    }
    if (xs.empty()) return path + ": no receiving point (one x in mm per line)";
    return {};
}

std::vector<double> ReceiverRange(double x0, double x1, int count) {
    std::vector<double> xs;
    for (int i = 0; i < count; ++i)
        xs.push_back(count == 1 ? x0 : i == count - 1 ? x1 : x0 + (x1 - x0) * i / (count - 1));
    return xs;
}

std::string ReceiverFileName(const std::string& single, size_t index) {
    const size_t dot = single.rfind('.');
    char number[32];
    std::snprintf(number, sizeof number, "_r%04zu", index + 1);
    return single.substr(0, dot) + number + single.substr(dot);
}

}  // namespace numerics
