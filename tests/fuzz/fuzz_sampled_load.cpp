// The sampled load ("ft.dat") against any bytes: the reader refuses with the file and the line,
// or the load it accepts is summed over a few modes at a few output times, finite and equal
// (to rounding) to each mode's exact response piece by piece.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "LoadResponse.h"

namespace {

void CheckRefusal(const std::string& text, const std::string& error) {
    if (error == "ft.dat: the load needs at least two samples")
        return;
    const std::string head = "ft.dat line ";
    FUZZ_CHECK(error.compare(0, head.size(), head) == 0, error);
    long line = 0;
    size_t end = head.size();
    while (end < error.size() && error[end] >= '0' && error[end] <= '9' && line < 100000000)
        line = line * 10 + (error[end++] - '0');
    FUZZ_CHECK(end > head.size() && line >= 1 && line <= fuzzcheck::LineCount(text) + 1, error);
    FUZZ_CHECK(error.size() < 300, "a long message: " + error.substr(0, 300));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    numerics::CLoadFunction load;
    load.type = numerics::ELoadType::kSampled;
    const std::string error = numerics::ParseSampledLoad(text, "ft.dat", load);
    if (!error.empty()) {
        CheckRefusal(text, error);
        return 0;
    }
    FUZZ_CHECK(load.times.size() >= 2 && load.times.size() == load.values.size(), "sample count");
    // The window, picked by the first byte: over the load, starting inside it, or ending before it.
    const double first = load.times.front(), last = load.times.back(), span = last - first;
    numerics::CTimeGrid grid;
    grid.nPoints = 5 + (data[0] & 15);
    const double from = (data[0] & 16) ? first + 0.3 * span : first - 0.1 * span;
    const double to = (data[0] & 32) ? first + 0.5 * span : last + 0.2 * span;
    grid.dFrom = from;
    grid.dStep = (to - from) / (grid.nPoints - 1);
    const std::vector<double> omega = {0.0, 1e-7 / std::max(span, 1e-300), 0.37, 2.5, 40.0 / std::max(span, 1e-9)};
    const std::vector<double> coeff = {1.0, -0.5, 0.25, 2.0, 0.75};
    numerics::CSampledPlan plan(load, grid);
    std::vector<double> out(grid.nPoints, 0.0);
    numerics::AccumulateModes(load, grid, &plan, omega.data(), coeff.data(), omega.size(), out.data());
    if (load.times.size() > 200)
        return 0;  // the exact reference below costs samples x points per mode
    for (int j = 0; j < grid.nPoints; ++j) {
        double expected = 0, scale = 0;
        for (size_t p = 0; p < omega.size(); ++p) {
            const double q = numerics::ModalResponse(load, omega[p], grid.At(j));
            expected += coeff[p] * q;
            scale += std::abs(coeff[p] * q);
        }
        FUZZ_CHECK(std::isfinite(out[j]), "not finite at t = " + std::to_string(grid.At(j)));
        FUZZ_CHECK(std::abs(out[j] - expected) <= 1e-6 * scale + 1e-300,
                   "at t = " + std::to_string(grid.At(j)) + ": " + std::to_string(out[j]) + " against " +
                       std::to_string(expected));
    }
    return 0;
}
