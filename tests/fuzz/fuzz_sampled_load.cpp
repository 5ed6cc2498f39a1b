// The sampled load ("ft.dat") against any bytes: the reader refuses with the file and the line,
// or the load it accepts is summed over a few modes at a few output times, both by the exact
// recursion and by the superposition of ramp responses, finite and equal (to rounding and
// interpolation) to each mode's exact response piece by piece.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "LoadResponse.h"

namespace {

std::string G(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

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
    // Both syntheses: the exact recursion over the pieces, and the superposition of ramp
    // responses resolving the fastest of these modes (as the solver resolves its cut-off).
    const numerics::CSampledPlan exact(load, grid);
    std::vector<double> out(grid.nPoints, 0.0);
    numerics::AccumulateModes(load, grid, &exact, omega.data(), coeff.data(), omega.size(), out.data());
    const numerics::CSampledPlan fastPlan(load, grid, *std::max_element(omega.begin(), omega.end()));
    std::vector<double> buffer(fastPlan.BufferLength(), 0.0), fast;
    numerics::AccumulateModes(load, grid, &fastPlan, omega.data(), coeff.data(), omega.size(), buffer.data());
    fastPlan.Finish(buffer, fast);
    FUZZ_CHECK(fast.size() == out.size(), "output count");
    if (load.times.size() > 200)
        return 0;  // the exact reference below costs samples x points per mode
    // The superposition adds ramps of every slope change: its rounding is relative to their sizes.
    const auto ramp = [](double w, double tau) {
        if (tau <= 0)
            return 0.0;
        const double x = w * tau;
        return std::abs(x) < 1e-3 ? tau * tau * tau / 6.0 : (x - std::sin(x)) / (w * w * w);
    };
    std::vector<double> changes(load.times.size(), 0.0);
    for (size_t b = 0; b < load.times.size(); ++b) {
        const double before = b > 0 ? (load.values[b] - load.values[b - 1]) / (load.times[b] - load.times[b - 1]) : 0.0;
        const double after = b + 1 < load.times.size()
                                 ? (load.values[b + 1] - load.values[b]) / (load.times[b + 1] - load.times[b])
                                 : 0.0;
        changes[b] = std::abs(after - before);
    }
    // Both syntheses write a mode's step response as 1 / w^2 - cos(w t) / w^2 (and the ramp
    // alike), which rounds to about 1e-16 of the static part: an absolute allowance.
    double statics = 0, loadSize = std::abs(load.values.front()) + std::abs(load.values.back());
    for (size_t p = 0; p < omega.size(); ++p)
        if (omega[p] > 0)
            statics += std::abs(coeff[p]) / (omega[p] * omega[p]);
    for (double c : changes)
        loadSize += c * (std::abs(span) + std::abs(first) + std::abs(last));
    const double rounding = 1e-12 * statics * loadSize;
    for (int j = 0; j < grid.nPoints; ++j) {
        const double t = grid.At(j);
        double expected = 0, scale = 0, superposed = 0;
        for (size_t p = 0; p < omega.size(); ++p) {
            const double q = numerics::ModalResponse(load, omega[p], t);
            expected += coeff[p] * q;
            scale += std::abs(coeff[p] * q);
            // A breakpoint within rounding of an output time may fall either side of it.
            double sizes = 0;
            for (size_t b = 0; b < load.times.size(); ++b) {
                const double slack = 1e-12 * (std::abs(t) + std::abs(load.times[b]) + span);
                sizes += changes[b] * ramp(omega[p], t - load.times[b] + slack);
            }
            numerics::CLoadFunction unit;
            for (double at : {first, last}) {
                const double jump = at == first ? load.values.front() : load.values.back();
                const double slack = 1e-12 * (std::abs(t) + std::abs(at) + span);
                sizes += std::abs(jump) * numerics::ModalResponse(unit, omega[p], t - at + slack);
            }
            superposed += std::abs(coeff[p]) * sizes;
        }
        FUZZ_CHECK(std::isfinite(out[j]) && std::isfinite(fast[j]), "not finite at t = " + std::to_string(t));
        FUZZ_CHECK(std::abs(out[j] - expected) <= 1e-6 * scale + 1e-300,
                   "recursion at t = " + G(t) + ": " + G(out[j]) + " against " + G(expected));
        // Interpolation at lags below one fine step errs by about (omega h)^4 / 1000 of the
        // small response there; over a whole curve the error is far smaller (relative L2 1e-9).
        FUZZ_CHECK(std::abs(fast[j] - expected) <= 1e-4 * (scale + superposed) + rounding + 1e-300,
                   "superposition at t = " + G(t) + ": " + G(fast[j]) + " against " + G(expected));
    }
    return 0;
}
