#include "LoadResponse.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>

#include "InputFile.h"
#include "Limits.h"
#include "ModalKernels.h"

namespace numerics {

using namespace kernels;

namespace {

double SampledResponse(const CLoadFunction& load, double omega, double t) {
    const auto& ts = load.times;
    if (ts.size() < 2 || t <= ts.front()) return 0.0;
    double q = 0, qd = 0, cur = ts.front();
    for (size_t k = 1; k < ts.size() && cur < t; ++k) {
        const double next = std::min(ts[k], t);
        double slope = 0;
        const double f0 = SampledValue(load, cur, slope);
        CStep(omega, next - cur).Apply(q, qd, f0, slope);
        cur = next;
    }
    if (cur < t) CStep(omega, t - cur).Apply(q, qd, 0.0, 0.0);
    return q;
}

// beta cos(w t) + gamma sin(w t) summed over a few modes at a time: the rotations of the
// modes are independent, so interleaving them keeps the processor busy instead of waiting on
// one recurrence.
class COscillatorBatch {
public:
    static constexpr int kSize = 8;
    bool Full() const { return m_nCount == kSize; }
    void Add(double w, double beta, double gamma) {
        m_w[m_nCount] = w;
        m_beta[m_nCount] = beta;
        m_gamma[m_nCount] = gamma;
        ++m_nCount;
    }
    void Flush(const CTimeGrid& grid, int first, double* out) {
        const int count = m_nCount;
        if (count == 0) return;
        double c[kSize], s[kSize], cs[kSize], ss[kSize];
        for (int m = 0; m < count; ++m) {
            cs[m] = std::cos(m_w[m] * grid.dStep);
            ss[m] = std::sin(m_w[m] * grid.dStep);
        }
        for (int j0 = first; j0 < grid.nPoints; j0 += kReseed) {
            const int j1 = std::min(grid.nPoints, j0 + kReseed);
            for (int m = 0; m < count; ++m) {
                c[m] = std::cos(m_w[m] * grid.At(j0));
                s[m] = std::sin(m_w[m] * grid.At(j0));
            }
            for (int j = j0; j < j1; ++j) {
                double sum = 0;
                for (int m = 0; m < count; ++m) {
                    sum += m_beta[m] * c[m] + m_gamma[m] * s[m];
                    const double nc = c[m] * cs[m] - s[m] * ss[m];
                    s[m] = s[m] * cs[m] + c[m] * ss[m];
                    c[m] = nc;
                }
                out[j] += sum;
            }
        }
        m_nCount = 0;
    }

private:
    int m_nCount = 0;
    double m_w[kSize], m_beta[kSize], m_gamma[kSize];
};

}  // namespace

double ModalResponse(const CLoadFunction& load, double omega, double t) {
    if (load.type == ELoadType::kSampled) return SampledResponse(load, omega, t);
    if (t <= 0) return 0.0;
    omega = std::abs(omega);
    const double big = std::abs(load.dOmega);
    switch (load.type) {
    case ELoadType::kStep: {
        const double s = HalfSine(omega, t);
        return 2.0 * s * s;
    }
    case ELoadType::kImpulse:
        return t * Sinc(omega * t);
    case ELoadType::kCosine:
        return 2.0 * HalfSine(omega + big, t) * HalfSine(omega - big, t);
    case ELoadType::kSine: {
        const double sign = load.dOmega < 0 ? -1.0 : 1.0;
        if (omega * t < 1e-6) {
            const double x = big * t;
            return sign * t * t * x * RampKernel(x);
        }
        return sign *
               (HalfSine(big + omega, t) * std::cos(0.5 * (big - omega) * t) -
                std::cos(0.5 * (big + omega) * t) * HalfSine(big - omega, t)) /
               omega;
    }
    default:
        return 0.0;
    }
}

void AccumulateModes(const CLoadFunction& load, const CTimeGrid& grid, const CSampledPlan* plan,
                     const double* omega, const double* coeff, size_t count, double* out) {
    const int n = grid.nPoints;
    if (n <= 0) return;
    const double tEnd = grid.Last();

    if (load.type == ELoadType::kSampled) {
        AccumulateSampled(*plan, omega, coeff, count, out);
        return;
    }
    if (tEnd <= 0) return;

    int first = 0;  // the first time after the load starts
    while (first < n && grid.At(first) <= 0) ++first;
    const double big = std::abs(load.dOmega);
    const double sign = (load.type == ELoadType::kSine && load.dOmega < 0) ? -1.0 : 1.0;
    double constant = 0, cosBig = 0, sinBig = 0;  // terms shared by every mode
    COscillatorBatch batch;

    for (size_t p = 0; p < count; ++p) {
        const double w = std::abs(omega[p]);
        const double a = coeff[p];
        const bool nearResonance = (load.type == ELoadType::kCosine || load.type == ELoadType::kSine) &&
                                   std::abs(w - big) * tEnd < kSmallPhase;
        if (w * tEnd < kSmallPhase || nearResonance) {
            for (int j = first; j < n; ++j) out[j] += a * ModalResponse(load, w, grid.At(j));
            continue;
        }
        // q(t) = alpha + beta cos(w t) + gamma sin(w t) + delta cos(W t) + eps sin(W t)
        double beta = 0, gamma = 0;
        switch (load.type) {
        case ELoadType::kStep:
            constant += a / (w * w);
            beta = -1.0 / (w * w);
            break;
        case ELoadType::kImpulse:
            gamma = 1.0 / w;
            break;
        case ELoadType::kCosine: {
            const double r = 1.0 / (w * w - big * big);
            cosBig += a * r;
            beta = -r;
            break;
        }
        case ELoadType::kSine: {
            const double r = 1.0 / (w * w - big * big);
            sinBig += sign * a * r;
            gamma = -sign * (big / w) * r;
            break;
        }
        default:
            break;
        }
        batch.Add(w, a * beta, a * gamma);
        if (batch.Full()) batch.Flush(grid, first, out);
    }
    batch.Flush(grid, first, out);
    for (int j = first; j < n; ++j) {
        const double t = grid.At(j);
        out[j] += constant;
        if (cosBig != 0) out[j] += cosBig * std::cos(big * t);
        if (sinBig != 0) out[j] += sinBig * std::sin(big * t);
    }
}

std::string ParseSampledLoad(const std::string& text, const std::string& name, CLoadFunction& load) {
    load.times.clear();
    load.values.clear();
    if (const int line = FirstCrOnlyLine(text)) return CrOnlyMessage(name, line);
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream fields(line);
        std::string a, b, extra;
        if (!(fields >> a)) continue;  // blank line
        const std::string where = name + " line " + std::to_string(number) + ": ";
        double t = 0, f = 0;
        const auto parse = [](const std::string& s, double& v) {
            const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
            return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(v);
        };
        if (!(fields >> b) || (fields >> extra) || !parse(a, t) || !parse(b, f))
            return where + "expected two numbers, a time and a load value, found \"" + Excerpt(line) + "\"";
        if (!(std::abs(t) <= kMaxTime))
            return where + "the time " + Excerpt(a, 24) + " us lies outside " + Num(-kMaxTime) + " to " + Num(kMaxTime) + " us";
        if (!(std::abs(f) <= kMaxLoadValue))
            return where + "the load value " + Excerpt(b, 24) + " lies outside " + Num(-kMaxLoadValue) + " to " + Num(kMaxLoadValue);
        if (!load.times.empty() && !(t > load.times.back()))
            return where + "the times must increase from line to line";
        if (!load.times.empty() && !(t - load.times.back() >= kMinLoadStep))
            return where + "the time step from the line before is below " + Num(kMinLoadStep) + " us";
        if (load.times.size() >= kMaxLoadSamples)
            return where + "the load has more than " + std::to_string(kMaxLoadSamples) + " samples";
        load.times.push_back(t);
        load.values.push_back(f);
    }
    if (load.times.size() < 2) return name + ": the load needs at least two samples";
    return {};
}

std::string ReadSampledLoad(const std::string& path, CLoadFunction& load) {
    std::string text;
    const std::string error = ReadInputFile(path, kMaxLoadBytes, text);
    if (!error.empty()) return error + " (the samples of the load f(t))";
    return ParseSampledLoad(text, path, load);
}

}  // namespace numerics
