#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "LoadResponse.h"
#include "ModalKernels.h"

namespace numerics {

using namespace kernels;

namespace {

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

void AccumulateLagGrid(const CSampledPlan& plan, const double* omega, const double* coeff, size_t count,
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


// Each mode carried exactly over the plan's pieces (the exact path, and the breakpoint path's
// modes too slow for its closed forms).
void AccumulatePieces(const CSampledPlan& plan, double w, double a, double* out) {
    const CStep uniform(w, plan.grid.dStep);
    double q = 0, qd = 0;
    for (const auto& iv : plan.intervals) {
        if (iv.bUniform)
            uniform.Apply(q, qd, iv.dForce, iv.dSlope);
        else
            CStep(w, iv.dLength).Apply(q, qd, iv.dForce, iv.dSlope);
        if (iv.nOutput >= 0) out[iv.nOutput] += a * q;
    }
}

// A gap between breakpoints within this many radians of the common gap turns the phase by a
// short series; a wider one takes sin and cos afresh.
constexpr double kSeriesPhase = 1e-3;
// What such a breakpoint costs against a regular one (a rotation).
constexpr double kTrigCost = 8.0;

// The breakpoint path for up to kSize modes at once: the rotations of the modes are
// independent, so interleaving them keeps the processor busy.
class CBreakpointBatch {
public:
    static constexpr int kSize = 8;
    bool Full() const { return m_nCount == kSize; }
    void Add(double w, double a) {
        m_w[m_nCount] = w;
        m_a[m_nCount] = a;
        ++m_nCount;
    }
    void Flush(const CSampledPlan& plan, double* out) {
        const int count = m_nCount;
        m_nCount = 0;
        const auto& bps = plan.breakpoints;
        if (count == 0 || bps.empty()) return;
        const CTimeGrid& grid = plan.grid;
        // Per mode: the rotation of one output step and of the common gap, the breakpoints'
        // weights 1 / w^3 and 1 / w^2, the phasor e^{-i w t_b} and the sum P.
        double oc[kSize], os[kSize], gc[kSize], gs[kSize], r3[kSize], r2[kSize];
        double ec[kSize], es[kSize], pc[kSize], ps[kSize], rc[kSize], rs[kSize];
        for (int m = 0; m < count; ++m) {
            const double w = m_w[m];
            oc[m] = std::cos(w * grid.dStep);
            os[m] = std::sin(w * grid.dStep);
            gc[m] = std::cos(w * plan.dCommonGap);
            gs[m] = -std::sin(w * plan.dCommonGap);
            r2[m] = 1.0 / (w * w);
            r3[m] = r2[m] / w;
            ec[m] = 1.0;  // the first breakpoint is the first sample: lag 0
            es[m] = 0.0;
            pc[m] = ps[m] = 0.0;
        }
        size_t b = 0;
        const auto addBreakpoint = [&](const CSampledPlan::CBreakpoint& bp, bool reseed) {
            for (int m = 0; m < count; ++m) {
                if (b > 0) {
                    const double x = m_w[m] * bp.dGapExcess;
                    if (reseed || !(std::abs(x) <= kSeriesPhase)) {
                        ec[m] = std::cos(m_w[m] * bp.dLag);
                        es[m] = -std::sin(m_w[m] * bp.dLag);
                    } else {
                        // e^{-i w (g + d)} = e^{-i w g} (cos x - i sin x), x = w d
                        const double x2 = x * x;
                        const double cx = 1.0 - 0.5 * x2 * (1.0 - x2 / 12.0), sx = x * (1.0 - x2 / 6.0);
                        const double tc = gc[m] * cx + gs[m] * sx, ts = gs[m] * cx - gc[m] * sx;
                        const double nc = ec[m] * tc - es[m] * ts;
                        es[m] = ec[m] * ts + es[m] * tc;
                        ec[m] = nc;
                    }
                }
                // P += e^{-i w t_b} (s / w^3 + i J / w^2)
                const double vr = bp.dSlopeChange * r3[m], vi = bp.dJump * r2[m];
                pc[m] += ec[m] * vr - es[m] * vi;
                ps[m] += ec[m] * vi + es[m] * vr;
            }
        };
        for (int k0 = bps.front().nActive; k0 < grid.nPoints; k0 += kReseed) {
            const int k1 = std::min(grid.nPoints, k0 + kReseed);
            const double lag0 = plan.dOutputLag + grid.dStep * (k0 - plan.breakpoints.front().nActive);
            for (int m = 0; m < count; ++m) {
                rc[m] = std::cos(m_w[m] * lag0);
                rs[m] = std::sin(m_w[m] * lag0);
            }
            for (int k = k0; k < k1; ++k) {
                for (; b < bps.size() && bps[b].nActive <= k; ++b) addBreakpoint(bps[b], b % kReseed == 0);
                double sum = 0;
                for (int m = 0; m < count; ++m) {
                    sum += m_a[m] * (rc[m] * ps[m] + rs[m] * pc[m]);  // Im(R P)
                    const double nc = rc[m] * oc[m] - rs[m] * os[m];
                    rs[m] = rs[m] * oc[m] + rc[m] * os[m];
                    rc[m] = nc;
                }
                out[k] -= sum;
            }
        }
    }

private:
    int m_nCount = 0;
    double m_w[kSize], m_a[kSize];
};

void AccumulateBreakpoints(const CSampledPlan& plan, const double* omega, const double* coeff, size_t count,
                           double* out) {
    const auto& bps = plan.breakpoints;
    if (bps.empty()) return;
    const double span = plan.dOutputLag + plan.grid.dStep * (plan.grid.nPoints - 1 - bps.front().nActive);
    double constant = 0;  // sum of a / w^2: the static part, times f
    CBreakpointBatch batch;
    for (size_t p = 0; p < count; ++p) {
        const double w = std::abs(omega[p]);
        if (w * span < kSmallPhase) {
            AccumulatePieces(plan, w, coeff[p], out);
            continue;
        }
        constant += coeff[p] / (w * w);
        batch.Add(w, coeff[p]);
        if (batch.Full()) batch.Flush(plan, out);
    }
    batch.Flush(plan, out);
    for (int k = bps.front().nActive; k < plan.grid.nPoints; ++k) out[k] += constant * plan.loadAtOutputs[k];
}

}  // namespace

CSampledPlan::CSampledPlan(const CLoadFunction& load, const CTimeGrid& outputs, double omegaResolved,
                           ESampledPath path)
    : grid(outputs) {
    const auto& ts = load.times;
    if (ts.size() < 2) {
        nFirstOutput = grid.nPoints;
        return;
    }
    if (omegaResolved > 0 && grid.nPoints >= 2 && grid.dStep > 0) {
        PlanBreakpoints(load);
        PlanLagGrid(load, omegaResolved);
        const bool lagFits = nNodes > 0;
        const double lagCost = 1.5 * nNodes + 2.0 * grid.nPoints;
        if (path == ESampledPath::kLagGrid && lagFits)
            m_path = ESampledPath::kLagGrid;
        else if (path == ESampledPath::kBreakpoints || !lagFits)
            m_path = ESampledPath::kBreakpoints;
        else
            m_path = BreakpointCost(omegaResolved) <= lagCost ? ESampledPath::kBreakpoints : ESampledPath::kLagGrid;
        if (m_path == ESampledPath::kLagGrid) {
            breakpoints.clear();
            loadAtOutputs.clear();
            return;
        }
        bins.clear();
        nNodes = 0;
    }
    PlanPieces(load);  // the exact path, and the breakpoint path's slowest modes
}

double CSampledPlan::BreakpointCost(double omegaResolved) const {
    double irregular = 0;
    for (size_t b = 1; b < breakpoints.size(); ++b)
        if (!(std::abs(omegaResolved * breakpoints[b].dGapExcess) <= kSeriesPhase)) irregular += 1;
    const double outputs = breakpoints.empty() ? 0.0 : grid.nPoints - breakpoints.front().nActive;
    return outputs + static_cast<double>(breakpoints.size()) + kTrigCost * irregular;
}

void CSampledPlan::PlanBreakpoints(const CLoadFunction& load) {
    const auto& ts = load.times;
    const size_t n = ts.size();
    const double tLast = grid.Last();
    loadAtOutputs.assign(grid.nPoints, 0.0);
    for (int k = 0; k < grid.nPoints; ++k) {
        double slope = 0;
        loadAtOutputs[k] = SampledValue(load, grid.At(k), slope);
    }
    std::vector<double> gaps;
    double before = 0;  // slope before the sample
    int active = 0;
    for (size_t b = 0; b < n && ts[b] <= tLast; ++b) {
        const double after = b + 1 < n ? (load.values[b + 1] - load.values[b]) / (ts[b + 1] - ts[b]) : 0.0;
        CBreakpoint bp{};
        bp.dLag = ts[b] - ts.front();
        bp.dSlopeChange = after - before;
        bp.dJump = b == 0 ? load.values.front() : 0.0;
        if (b + 1 == n) bp.dJump -= load.values.back();
        // The same comparison as the load's value at the output times: a sample at an output
        // time acts from it on.
        while (active < grid.nPoints && grid.At(active) < ts[b]) ++active;
        bp.nActive = active;
        if (b > 0) gaps.push_back(ts[b] - ts[b - 1]);
        before = after;
        breakpoints.push_back(bp);
    }
    if (breakpoints.empty()) return;
    if (!gaps.empty()) {
        std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
        dCommonGap = gaps[gaps.size() / 2];
    }
    for (size_t b = 1; b < breakpoints.size(); ++b)
        breakpoints[b].dGapExcess = (ts[b] - ts[b - 1]) - dCommonGap;
    dOutputLag = grid.At(breakpoints.front().nActive) - ts.front();
}

void CSampledPlan::PlanLagGrid(const CLoadFunction& load, double omegaResolved) {
    const auto& ts = load.times;
    // The output step divided into whole fine steps of at most kSampledPhaseStep radians of the
    // resolved frequency, within the node budget; else no lag grid.
    nNodes = 0;
    const double span = std::max(0.0, grid.Last() - ts.front());
    const double wanted = std::ceil(grid.dStep * omegaResolved / kSampledPhaseStep);
    const double fits = std::floor((kMaxSampledNodes - 3) * grid.dStep / std::max(span, grid.dStep));
    const double sub = std::max(1.0, wanted);
    if (!(sub <= fits)) return;
    nSub = static_cast<int>(sub);
    dFine = grid.dStep / nSub;
    nNodes = static_cast<int>(std::ceil(span / dFine)) + 2;
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
}

void CSampledPlan::PlanPieces(const CLoadFunction& load) {
    const auto& ts = load.times;
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
    return m_path == ESampledPath::kLagGrid ? 3 * static_cast<size_t>(nNodes) + static_cast<size_t>(grid.nPoints)
                                            : static_cast<size_t>(grid.nPoints);
}

double CSampledPlan::SamplesPerMode() const {
    switch (m_path) {
    case ESampledPath::kLagGrid:
        // A fine node costs one rotation and three sums, about 1.5 output times of a step load.
        return 1.5 * nNodes + 2.0 * grid.nPoints;
    case ESampledPath::kBreakpoints:
        return grid.nPoints + static_cast<double>(breakpoints.size());
    default:
        return static_cast<double>(intervals.size());
    }
}

double CSampledPlan::FinishWork() const {
    return m_path == ESampledPath::kLagGrid ? 6.0 * grid.nPoints * static_cast<double>(bins.size()) : 0.0;
}

void CSampledPlan::Finish(const std::vector<double>& buffer, std::vector<double>& out) const {
    out.assign(grid.nPoints, 0.0);
    if (m_path != ESampledPath::kLagGrid) {
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

void AccumulateSampled(const CSampledPlan& plan, const double* omega, const double* coeff, size_t count,
                       double* out) {
    switch (plan.Path()) {
    case ESampledPath::kLagGrid:
        AccumulateLagGrid(plan, omega, coeff, count, out);
        return;
    case ESampledPath::kBreakpoints:
        AccumulateBreakpoints(plan, omega, coeff, count, out);
        return;
    default:
        for (size_t p = 0; p < count; ++p) AccumulatePieces(plan, std::abs(omega[p]), coeff[p], out);
    }
}

}  // namespace numerics
