#pragma once
// Values known at the nodes of a polar grid, interpolated anywhere inside it: rings at
// k_i = k0 + i dk (i = 0 .. nK; k0 = 0 unless given) or at any ascending radii, and theta_j evenly
// over [theta0, theta1], both ends included
// (j = 0 .. nTheta - 1), and Lagrange interpolation of `points` nodes in each coordinate, so that
// a value is a weighted sum of points^2 node values and polynomials of degree points - 1 in each
// coordinate are reproduced. Stencils are centred on the point and shifted inward at the ends
// (the angle does not wrap: the range is a sector, not the circle). Used for quantities that are
// smooth in the polar coordinates and costly to compute at each point.

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <utility>
#include <vector>

namespace numerics {

class CPolarGrid {
public:
    static constexpr int kMaxPoints = 8;

    // The weights of one coordinate's stencil: nodes first .. first + count - 1.
    struct CStencil {
        int first = 0, count = 0;
        std::array<double, kMaxPoints> w{};
    };
    struct CWeights {
        CStencil k, theta;
    };

    CPolarGrid() = default;
    // k0: the first ring's radius (half a step keeps a ring off the centre, where values that
    // depend on the direction are not defined; the first half step is then extrapolated).
    CPolarGrid(double dk, int nK, double theta0, double theta1, int nTheta, int points, double k0 = 0)
        : m_dk(dk), m_k0(k0), m_theta0(theta0), m_theta1(theta1), m_nK(nK), m_nTheta(nTheta),
          m_nPoints(std::clamp(points, 1, kMaxPoints)) {
        assert(dk > 0 && nK >= 0 && nTheta >= 1);
    }
    // Rings at the given radii (ascending, at least one): finer where the values change fast or
    // matter most. Even rings take the constructor above, whose weights are cheaper.
    CPolarGrid(std::vector<double> rings, double theta0, double theta1, int nTheta, int points)
        : m_rings(std::move(rings)), m_theta0(theta0), m_theta1(theta1),
          m_nK(static_cast<int>(m_rings.size()) - 1), m_nTheta(nTheta), m_nPoints(std::clamp(points, 1, kMaxPoints)) {
        assert(!m_rings.empty() && nTheta >= 1);
        assert(std::is_sorted(m_rings.begin(), m_rings.end()));
        // 1 / prod_{b != a} (k_a - k_b) of every stencil the rings can have, by its first ring.
        const int count = static_cast<int>(m_rings.size()), n = std::min(m_nPoints, count);
        m_inverseDenominators.assign(static_cast<size_t>(count) * kMaxPoints, 0.0);
        for (int first = 0; first + n <= count; ++first)
            for (int a = 0; a < n; ++a) {
                double denominator = 1.0;
                for (int b = 0; b < n; ++b)
                    if (b != a) denominator *= m_rings[static_cast<size_t>(first + a)] - m_rings[static_cast<size_t>(first + b)];
                m_inverseDenominators[static_cast<size_t>(first) * kMaxPoints + static_cast<size_t>(a)] = 1.0 / denominator;
            }
    }

    int RadialNodes() const { return m_nK + 1; }
    int AngularNodes() const { return m_nTheta; }
    size_t NodeCount() const { return static_cast<size_t>(m_nK + 1) * static_cast<size_t>(m_nTheta); }
    int Points() const { return m_nPoints; }
    double K(int i) const { return m_rings.empty() ? m_k0 + i * m_dk : m_rings[static_cast<size_t>(i)]; }
    double Theta(int j) const {
        return m_nTheta == 1 ? m_theta0 : m_theta0 + (m_theta1 - m_theta0) * j / (m_nTheta - 1);
    }
    // The step between rings of an even grid.
    double RadialStep() const { return m_dk; }
    double AngularStep() const { return m_nTheta == 1 ? 0.0 : (m_theta1 - m_theta0) / (m_nTheta - 1); }
    // Node (i, j) in a flat array, the angle varying fastest.
    size_t Index(int i, int j) const { return static_cast<size_t>(i) * static_cast<size_t>(m_nTheta) + j; }

    // The weights at (k, theta); points outside the grid are extrapolated from its edge.
    CWeights Weights(double k, double theta) const {
        CWeights out;
        out.k = m_rings.empty() ? Stencil((k - m_k0) / m_dk, m_nK + 1) : RingStencil(k);
        const double step = AngularStep();
        out.theta = Stencil(step > 0 ? (theta - m_theta0) / step : 0.0, m_nTheta);
        return out;
    }

    // sum over the stencil of w_k w_theta value(i, j); T needs + and a product with a double.
    template <class T, class Value>
    T Interpolate(const CWeights& w, Value value) const {
        T sum{};
        bool first = true;
        for (int a = 0; a < w.k.count; ++a) {
            T row{};
            for (int b = 0; b < w.theta.count; ++b) {
                const T term = w.theta.w[b] * value(w.k.first + a, w.theta.first + b);
                row = b == 0 ? term : T(row + term);
            }
            sum = first ? T(w.k.w[a] * row) : T(sum + w.k.w[a] * row);
            first = false;
        }
        return sum;
    }

    // The Lagrange weights of `points` equally spaced nodes around x (in node units) among
    // nodes 0 .. count - 1.
    static CStencil Stencil(double x, int count, int points) {
        CStencil s = Place(x, count, points);
        std::array<double, kMaxPoints> products{};
        Numerators(s, [&](int a) { return x - (s.first + a); }, products);
        for (int a = 0; a < s.count; ++a) {
            double denominator = 1.0;
            for (int b = 0; b < s.count; ++b)
                if (b != a) denominator *= static_cast<double>(a - b);
            s.w[a] = products[a] / denominator;
        }
        return s;
    }

private:
    // Where the stencil of `points` nodes around x (in node units) lies among nodes 0 .. count - 1.
    static CStencil Place(double x, int count, int points) {
        CStencil s;
        s.count = std::clamp(std::min(points, count), 1, kMaxPoints);
        // Even counts straddle x's cell; odd ones centre on its nearest node.
        const int centre = s.count % 2 == 0 ? static_cast<int>(std::floor(x)) - (s.count / 2 - 1)
                                            : static_cast<int>(std::lround(x)) - (s.count - 1) / 2;
        s.first = std::clamp(centre, 0, count - s.count);
        return s;
    }
    // prod_{b != a} offset(b) for each node a of the stencil, from both ends: one division a
    // weight is left.
    template <class Offset>
    static void Numerators(const CStencil& s, Offset offset, std::array<double, kMaxPoints>& out) {
        std::array<double, kMaxPoints> before{}, after{};
        before[0] = after[static_cast<size_t>(s.count - 1)] = 1.0;
        for (int a = 1; a < s.count; ++a) before[a] = before[a - 1] * offset(a - 1);
        for (int a = s.count - 2; a >= 0; --a) after[a] = after[a + 1] * offset(a + 1);
        for (int a = 0; a < s.count; ++a) out[a] = before[a] * after[a];
    }
    CStencil Stencil(double x, int count) const { return Stencil(x, count, m_nPoints); }
    // The Lagrange weights at k on uneven rings: the stencil placed by k's position within its
    // cell, as on even rings.
    CStencil RingStencil(double k) const {
        const int count = static_cast<int>(m_rings.size());
        if (count == 1) {
            CStencil one;
            one.count = 1;
            one.w[0] = 1.0;
            return one;
        }
        const int cell = std::clamp(static_cast<int>(std::upper_bound(m_rings.begin(), m_rings.end(), k) - m_rings.begin()) - 1,
                                    0, count - 2);
        const double lo = m_rings[static_cast<size_t>(cell)], hi = m_rings[static_cast<size_t>(cell) + 1];
        CStencil s = Place(cell + (k - lo) / (hi - lo), count, m_nPoints);
        std::array<double, kMaxPoints> products{};
        Numerators(s, [&](int a) { return k - m_rings[static_cast<size_t>(s.first + a)]; }, products);
        const double* inverse = &m_inverseDenominators[static_cast<size_t>(s.first) * kMaxPoints];
        for (int a = 0; a < s.count; ++a) s.w[a] = products[a] * inverse[a];
        return s;
    }

    std::vector<double> m_rings;  // the radii of uneven rings; empty for even ones
    std::vector<double> m_inverseDenominators;  // [first ring of a stencil][its node]
    double m_dk = 1, m_k0 = 0, m_theta0 = 0, m_theta1 = 0;
    int m_nK = 0, m_nTheta = 1, m_nPoints = 4;
};

}  // namespace numerics
