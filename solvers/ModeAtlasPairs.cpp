// Two modes of a block near their crossing, interpolated as a pair (ModeAtlas.h). Sorted by
// frequency, each of the two kinks where they cross and turns sharply where they veer, but what
// they make together is smooth through either: the sum and product of their omega^2 (the
// coefficients of the pair's characteristic polynomial) and their products summed, plain and
// weighted by omega^2 (the top's part of the pair's spectral projector, and of the operator on
// it). Those are interpolated, and the two modes recovered from them. Where the two nearly meet
// their own frequencies come out only roughly (a square root of the interpolation's error), but
// the response they make together is a smooth function of the interpolated sums, and as accurate.

#include <bit>
#include <cmath>

#include <Eigen/Core>

#include "ModeAtlas.h"

namespace numerics {

void CModeAtlas::PairStencils(int alongK, int alongTheta) {
    const int rings = m_grid.RadialNodes(), angles = m_grid.AngularNodes();
    m_stencilPair.assign(m_grid.NodeCount(), kNoPair);
    for (int i = 0; i + alongK <= rings; ++i)
        for (int j = 0; j + alongTheta <= angles; ++j) {
            unsigned long long pairs = 0, bent = 0, bentLow = 0;
            for (int a = 0; a < alongK; ++a)
                for (int b = 0; b < alongTheta; ++b) {
                    const size_t node = m_grid.Index(i + a, j + b);
                    pairs |= m_nearPairs[node];
                    bent |= m_bentPairs[node];
                    bentLow |= m_bentLowPairs[node];
                }
            if (pairs == 0) continue;
            // One pair marked; neither neighbouring pair bending at any frequency (its kink would
            // be in the pair's own values, the strong lower mode's too); no other pair bending
            // below twice the marks' frequency. Kinks above the marks' frequency are interpolated
            // wherever no node is marked; around a marked crossing they come in numbers (the
            // branches of the crossing modes), and the load's spectrum just above the marks'
            // frequency, weak as it is, made them add up (measured on a 0.5 MHz burst's plate:
            // up to 9e-5 of a far curve's peak with any other bend allowed, 2e-5 so).
            const unsigned long long neighbours = (pairs << 1) | (pairs >> 1);
            const bool apart = std::popcount(pairs) == 1 && (bent & neighbours) == 0 && (bentLow & ~pairs) == 0;
            m_stencilPair[m_grid.Index(i, j)] = apart ? std::countr_zero(pairs) : kManyPairs;
        }
}

bool CModeAtlas::InterpolatePair(const CPolarGrid::CWeights& w, int low, CAtlasMode& lower, CAtlasMode& upper) const {
    // omega_l^2 + omega_u^2, omega_l^2 omega_u^2, p_l + p_u (six), omega_l^2 p_l + omega_u^2 p_u (six).
    using CPair = Eigen::Array<double, 14, 1>;
    CPair sum = CPair::Zero();
    for (int a = 0; a < w.k.count; ++a) {
        CPair along = CPair::Zero();
        for (int b = 0; b < w.theta.count; ++b) {
            const size_t node = m_grid.Index(w.k.first + a, w.theta.first + b);
            const double* l = Node(node, low);
            const double* u = Node(node, low + 1);
            if (std::isnan(l[0]) || std::isnan(u[0])) return false;
            CPair v;
            v(0) = l[0] + u[0];
            v(1) = l[0] * u[0];
            for (int c = 0; c < 6; ++c) {
                v(2 + c) = l[1 + c] + u[1 + c];
                v(8 + c) = l[0] * l[1 + c] + u[0] * u[1 + c];
            }
            along += w.theta.w[b] * v;
        }
        sum += w.k.w[a] * along;
    }
    // The roots of x^2 - T x + D, the lower from their product (no cancellation when far apart).
    const double trace = sum(0), gap = std::sqrt(std::max(0.0, trace * trace - 4 * sum(1)));
    upper.omegaSquared = 0.5 * (trace + gap);
    lower.omegaSquared = upper.omegaSquared > 0 ? sum(1) / upper.omegaSquared : 0.5 * (trace - gap);
    for (int c = 0; c < 6; ++c) {
        // p_u = (S1 - omega_l^2 S0) / (omega_u^2 - omega_l^2); where the two meet, half each.
        const double together = sum(2 + c), weighted = sum(8 + c);
        const double u = gap > 1e-12 * std::abs(trace) ? (weighted - lower.omegaSquared * together) / gap : 0.5 * together;
        upper.products[static_cast<size_t>(c)] = u;
        lower.products[static_cast<size_t>(c)] = together - u;
    }
    lower.block = upper.block = m_block[static_cast<size_t>(low)];
    lower.bPaired = upper.bPaired = true;
    return true;
}

}  // namespace numerics
