#include "Receivers.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "InputFile.h"
#include "Limits.h"

namespace numerics {

namespace {

// `columns` numbers per line (blank and # lines skipped), each finite and within the receiving
// point's bound; what one point is called in messages.
std::string ReadPointList(const std::string& path, size_t most, int columns, const char* what,
                          std::vector<double>& values, bool& tooMany) {
    values.clear();
    tooMany = false;
    std::string text;
    if (std::string error = ReadInputFile(path, kMaxInputBytes, text); !error.empty()) return error;
    std::istringstream in(text);
    std::string line;
    size_t count = 0;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        const std::string where = path + " line " + std::to_string(number) + ": ";
        std::istringstream fields(line.substr(first));
        std::string token;
        std::vector<double> point;
        bool bad = false;
        while (fields >> token) {
            double v = 0;
            const auto parsed = std::from_chars(token.data(), token.data() + token.size(), v);
            bad = bad || parsed.ec != std::errc() || parsed.ptr != token.data() + token.size() || !std::isfinite(v);
            point.push_back(v);
        }
        const size_t last = line.find_last_not_of(" \t");
        const std::string shown = Excerpt(line.substr(first, last + 1 - first));
        if (bad || static_cast<int>(point.size()) != columns)
            return where + "a receiving point must be " + what + ", not \"" + shown + "\"";
        for (double v : point)
            if (!(std::abs(v) <= kMaxDistance))
                return where + "the receiving point " + shown + " lies outside " + Num(-kMaxDistance) + " to " +
                       Num(kMaxDistance) + " mm";
        if (count == most) {
            tooMany = true;
            return path + ": more than " + std::to_string(most) + " receiving points";
        }
        values.insert(values.end(), point.begin(), point.end());
        ++count;
    }
    if (count == 0) return path + ": no receiving point (" + what + " per line)";
    return {};
}

}  // namespace

std::string ReadReceivers(const std::string& path, size_t most, std::vector<double>& xs, bool& tooMany) {
    return ReadPointList(path, most, 1, "one number (mm)", xs, tooMany);
}

std::string ReadReceiversXY(const std::string& path, size_t most, std::vector<double>& xy, bool& tooMany) {
    return ReadPointList(path, most, 2, "two numbers x y (mm)", xy, tooMany);
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
