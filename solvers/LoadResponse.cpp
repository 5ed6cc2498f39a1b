#include "LoadResponse.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>

#include "InputFile.h"
#include "Limits.h"

namespace numerics {

namespace {

// Below these values of omega*T (T the last output time) the closed forms in cos(omega t) and
// sin(omega t) lose digits to cancellation, so such modes take the stable forms point by point.
constexpr double kSmallPhase = 0.05;
constexpr int kReseed = 128;  // exact sin/cos every so many steps bounds the recurrence drift

double Sinc(double x) { return std::abs(x) < 1e-4 ? 1.0 - x * x / 6.0 : std::sin(x) / x; }

// sin(a t / 2) / a, with its limit t / 2 at a = 0.
double HalfSine(double a, double t) { return 0.5 * t * Sinc(0.5 * a * t); }

// (x - sin x) / x^3
double RampKernel(double x) {
    if (std::abs(x) < 0.1) {
        const double x2 = x * x;
        return 1.0 / 6.0 - x2 / 120.0 + x2 * x2 / 5040.0;
    }
    return (x - std::sin(x)) / (x * x * x);
}

// Exact one-interval update of q'' + omega^2 q = f0 + f1 s, 0 <= s <= length.
struct CStep {
    double a, b, c, d, omega2;
    CStep(double omega, double length) {
        const double x = omega * length;
        a = std::cos(x);
        b = length * Sinc(x);
        c = 0.5 * length * length * Sinc(0.5 * x) * Sinc(0.5 * x);
        d = length * length * length * RampKernel(x);
        omega2 = omega * omega;
    }
    void Apply(double& q, double& qd, double f0, double f1) const {
        const double nq = a * q + b * qd + c * f0 + d * f1;
        const double nqd = -omega2 * b * q + a * qd + b * f0 + c * f1;
        q = nq;
        qd = nqd;
    }
};

double SampledValue(const CLoadFunction& load, double t, double& slope) {
    const auto& ts = load.times;
    slope = 0;
    if (ts.empty() || t < ts.front() || t >= ts.back()) return 0.0;
    const size_t s = static_cast<size_t>(std::upper_bound(ts.begin(), ts.end(), t) - ts.begin()) - 1;
    slope = (load.values[s + 1] - load.values[s]) / (ts[s + 1] - ts[s]);
    return load.values[s] + slope * (t - ts[s]);
}

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

// The same rotations for the fast sampled-load path, on the fine grid of lags g h from 0, into
// three sums at once: step += beta cos, impulse += gamma sin, ramp += delta sin.
class CLagBatch {
public:
    static constexpr int kSize = 8;
    bool Full() const { return m_nCount == kSize; }
    void Add(double w, double beta, double gamma, double delta) {
        m_w[m_nCount] = w;
        m_beta[m_nCount] = beta;
        m_gamma[m_nCount] = gamma;
        m_delta[m_nCount] = delta;
        ++m_nCount;
    }
    void Flush(double h, int nodes, double* step, double* impulse, double* ramp) {
        const int count = m_nCount;
        if (count == 0) return;
        double c[kSize], s[kSize], cs[kSize], ss[kSize];
        for (int m = 0; m < count; ++m) {
            cs[m] = std::cos(m_w[m] * h);
            ss[m] = std::sin(m_w[m] * h);
        }
        for (int g0 = 0; g0 < nodes; g0 += kReseed) {
            const int g1 = std::min(nodes, g0 + kReseed);
            for (int m = 0; m < count; ++m) {
                c[m] = std::cos(m_w[m] * h * g0);
                s[m] = std::sin(m_w[m] * h * g0);
            }
            for (int g = g0; g < g1; ++g) {
                double a = 0, b = 0, d = 0;
                for (int m = 0; m < count; ++m) {
                    a += m_beta[m] * c[m];
                    b += m_gamma[m] * s[m];
                    d += m_delta[m] * s[m];
                    const double nc = c[m] * cs[m] - s[m] * ss[m];
                    s[m] = s[m] * cs[m] + c[m] * ss[m];
                    c[m] = nc;
                }
                step[g] += a;
                impulse[g] += b;
                ramp[g] += d;
            }
        }
        m_nCount = 0;
    }

private:
    int m_nCount = 0;
    double m_w[kSize], m_beta[kSize], m_gamma[kSize], m_delta[kSize];
};

// The fine grid is at most this many radians of the resolved frequency per step: quintic
// Hermite interpolation then errs by about (0.5)^6 / 46080 of a mode's oscillating part.
constexpr double kSampledPhaseStep = 0.5;

// Quintic Hermite basis on [0, 1]: value, first and second derivative at 0, then at 1.
std::array<double, 6> HermiteWeights(double t) {
    const double t2 = t * t, t3 = t2 * t, t4 = t3 * t, t5 = t4 * t;
    return {1 - 10 * t3 + 15 * t4 - 6 * t5,
            t - 6 * t3 + 8 * t4 - 3 * t5,
            0.5 * (t2 - 3 * t3 + 3 * t4 - t5),
            10 * t3 - 15 * t4 + 6 * t5,
            -4 * t3 + 7 * t4 - 3 * t5,
            0.5 * (t3 - 2 * t4 + t5)};
}

void AccumulateSampledFast(const CSampledPlan& plan, const double* omega, const double* coeff, size_t count,
                           double* out) {
    const int nodes = plan.nNodes;
    const double h = plan.dFine;
    double* ramp = out;
    double* step = out + nodes;
    double* impulse = step + nodes;
    double* jumps = impulse + nodes;
    const double lagMax = h * (nodes - 1);
    double constant = 0;  // sum of a / w^2: the static part of the step and ramp responses
    CLagBatch batch;
    for (size_t p = 0; p < count; ++p) {
        const double w = std::abs(omega[p]);
        const double a = coeff[p];
        if (w * lagMax < kSmallPhase) {
            for (int g = 1; g < nodes; ++g) {
                const double tau = h * g;
                const double half = HalfSine(w, tau);
                ramp[g] += a * tau * tau * tau * RampKernel(w * tau);
                step[g] += a * 2.0 * half * half;
                impulse[g] += a * tau * Sinc(w * tau);
            }
            continue;
        }
        const double r = 1.0 / (w * w);
        constant += a * r;
        batch.Add(w, -a * r, a / w, -a * r / w);
        if (batch.Full()) batch.Flush(h, nodes, step, impulse, ramp);
    }
    batch.Flush(h, nodes, step, impulse, ramp);
    for (int g = 0; g < nodes; ++g) {
        step[g] += constant;
        ramp[g] += constant * h * g;
    }
    // The jumps at the two ends: exact step responses, shifted to where they happen.
    CLoadFunction unit;
    unit.type = ELoadType::kStep;
    std::vector<double> shifted(plan.grid.nPoints);
    const std::pair<double, double> ends[] = {{plan.dJumpStart, plan.dTimeStart}, {plan.dJumpEnd, plan.dTimeEnd}};
    for (const auto& [jump, at] : ends) {
        if (jump == 0) continue;
        CTimeGrid from = plan.grid;
        from.dFrom -= at;
        std::fill(shifted.begin(), shifted.end(), 0.0);
        AccumulateModes(unit, from, nullptr, omega, coeff, count, shifted.data());
        for (int j = 0; j < plan.grid.nPoints; ++j) jumps[j] += jump * shifted[j];
    }
}

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

CSampledPlan::CSampledPlan(const CLoadFunction& load, const CTimeGrid& outputs, double omegaResolved)
    : grid(outputs) {
    const auto& ts = load.times;
    if (ts.size() < 2) {
        nFirstOutput = grid.nPoints;
        return;
    }
    // The fast path: the output step divided into whole fine steps of at most kSampledPhaseStep
    // radians of the resolved frequency, within the node budget.
    if (omegaResolved > 0 && grid.nPoints >= 2 && grid.dStep > 0) {
        const double span = std::max(0.0, grid.Last() - ts.front());
        const double wanted = std::ceil(grid.dStep * omegaResolved / kSampledPhaseStep);
        const double fits = std::floor((kMaxSampledNodes - 3) * grid.dStep / std::max(span, grid.dStep));
        // Coarser than that would lose accuracy: such a window is summed exactly instead.
        const double sub = std::max(1.0, wanted);
        if (sub <= fits) {
            m_bFast = true;
            nSub = static_cast<int>(std::max(1.0, sub));
            dFine = grid.dStep / nSub;
            nNodes = static_cast<int>(std::ceil(span / dFine)) + 2;
        }
    }
    if (m_bFast) {
        const size_t n = ts.size();
        const double tLast = grid.Last();
        dJumpStart = load.values.front();
        dTimeStart = ts.front();
        dJumpEnd = -load.values.back();
        dTimeEnd = ts.back();
        double before = 0;  // slope before the breakpoint
        const double scale[6] = {1, dFine, dFine * dFine, 1, dFine, dFine * dFine};
        for (size_t b = 0; b < n && ts[b] < tLast; ++b) {
            const double after = b + 1 < n ? (load.values[b + 1] - load.values[b]) / (ts[b + 1] - ts[b]) : 0.0;
            const double change = after - before;
            before = after;
            if (change == 0) continue;
            // The lag of output k from this breakpoint is k nSub - offset fine steps plus 1 - frac.
            const double x = (ts[b] - grid.dFrom) / dFine;
            const double cell = std::floor(x);
            const long offset = static_cast<long>(cell) + 1;
            const std::array<double, 6> w = HermiteWeights(1.0 - (x - cell));
            if (bins.empty() || bins.back().nOffset != offset) bins.push_back({offset, {}});
            for (int e = 0; e < 6; ++e) bins.back().w[e] += change * w[e] * scale[e];
        }
        return;
    }
    dStart = ts.front();
    int j = 0;
    while (j < grid.nPoints && grid.At(j) <= dStart) ++j;
    nFirstOutput = j;
    size_t k = 1;
    double cur = dStart;
    while (j < grid.nPoints) {
        const double out = grid.At(j);
        while (k < ts.size() && ts[k] <= cur) ++k;
        double next = out;
        bool reachesOutput = true;
        if (k < ts.size() && ts[k] < out) {
            next = ts[k];
            reachesOutput = false;
        }
        CInterval iv{};
        iv.dLength = next - cur;
        iv.dForce = SampledValue(load, cur, iv.dSlope);
        iv.nOutput = reachesOutput ? j : -1;
        iv.bUniform = std::abs(iv.dLength - grid.dStep) <= 1e-12 * grid.dStep;
        intervals.push_back(iv);
        cur = next;
        if (reachesOutput) ++j;
    }
}

size_t CSampledPlan::BufferLength() const {
    return m_bFast ? 3 * static_cast<size_t>(nNodes) + static_cast<size_t>(grid.nPoints)
                   : static_cast<size_t>(grid.nPoints);
}

double CSampledPlan::SamplesPerMode() const {
    // A fine node costs one rotation and three sums, about 1.5 output times of a step load.
    return m_bFast ? 1.5 * nNodes + 2.0 * grid.nPoints : static_cast<double>(intervals.size());
}

void CSampledPlan::Finish(const std::vector<double>& buffer, std::vector<double>& out) const {
    out.assign(grid.nPoints, 0.0);
    if (!m_bFast) {
        std::copy(buffer.begin(), buffer.begin() + grid.nPoints, out.begin());
        return;
    }
    const double* ramp = buffer.data();
    const double* step = ramp + nNodes;
    const double* impulse = step + nNodes;
    const double* jumps = impulse + nNodes;
    for (int k = 0; k < grid.nPoints; ++k) {
        double sum = 0;
        // Later breakpoints have smaller lags; from the first with a negative lag on, none counts.
        for (const CBin& bin : bins) {
            const long lag = static_cast<long>(k) * nSub - bin.nOffset;
            if (lag < 0) break;
            const auto& w = bin.w;
            sum += w[0] * ramp[lag] + w[1] * step[lag] + w[2] * impulse[lag] + w[3] * ramp[lag + 1] +
                   w[4] * step[lag + 1] + w[5] * impulse[lag + 1];
        }
        out[k] = sum + jumps[k];
    }
}

void AccumulateModes(const CLoadFunction& load, const CTimeGrid& grid, const CSampledPlan* plan,
                     const double* omega, const double* coeff, size_t count, double* out) {
    const int n = grid.nPoints;
    if (n <= 0) return;
    const double tEnd = grid.Last();

    if (load.type == ELoadType::kSampled) {
        if (plan->Fast()) {
            AccumulateSampledFast(*plan, omega, coeff, count, out);
            return;
        }
        for (size_t p = 0; p < count; ++p) {
            const double w = std::abs(omega[p]);
            const CStep uniform(w, grid.dStep);
            double q = 0, qd = 0;
            for (const auto& iv : plan->intervals) {
                if (iv.bUniform)
                    uniform.Apply(q, qd, iv.dForce, iv.dSlope);
                else
                    CStep(w, iv.dLength).Apply(q, qd, iv.dForce, iv.dSlope);
                if (iv.nOutput >= 0) out[iv.nOutput] += coeff[p] * q;
            }
        }
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
