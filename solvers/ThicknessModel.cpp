#include "ThicknessModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace numerics {

namespace {

// Legendre P_n(x) and P_{n-1}(x) by the three-term recurrence.
void Legendre(int n, double x, double& pn, double& pn1) {
    double p0 = 1.0, p1 = x;
    if (n == 0) {
        pn = 1.0;
        pn1 = 0.0;
        return;
    }
    for (int k = 2; k <= n; ++k) {
        const double p2 = ((2.0 * k - 1.0) * x * p1 - (k - 1.0) * p0) / k;
        p0 = p1;
        p1 = p2;
    }
    pn = p1;
    pn1 = p0;
}

// The q point Gauss-Legendre rule on [-1, 1], ascending: Newton from the Chebyshev-like guess.
void GaussRule(int q, std::vector<double>& x, std::vector<double>& w) {
    x.assign(q, 0.0);
    w.assign(q, 0.0);
    for (int i = 0; i < (q + 1) / 2; ++i) {
        double t = std::cos(std::numbers::pi * (i + 0.75) / (q + 0.5));
        double pn = 0, pn1 = 0, dp = 0;
        for (int it = 0; it < 100; ++it) {
            Legendre(q, t, pn, pn1);
            dp = q * (t * pn - pn1) / (t * t - 1.0);
            const double step = pn / dp;
            t -= step;
            if (std::abs(step) < 1e-16) break;
        }
        Legendre(q, t, pn, pn1);
        dp = q * (t * pn - pn1) / (t * t - 1.0);
        const double weight = 2.0 / ((1.0 - t * t) * dp * dp);
        x[q - 1 - i] = t;
        x[i] = -t;
        w[i] = w[q - 1 - i] = weight;
    }
    if (q % 2 == 1) x[q / 2] = 0.0;
}

// The p + 1 Gauss-Lobatto-Legendre points on [-1, 1], ascending: the ends and the roots of
// P'_p, by Newton on x P_p - P_{p-1} from the Chebyshev-Lobatto points.
std::vector<double> LobattoNodes(int p) {
    std::vector<double> x(p + 1);
    x[0] = -1.0;
    x[p] = 1.0;
    for (int j = 1; j < p; ++j) {
        double t = -std::cos(std::numbers::pi * j / p);
        for (int it = 0; it < 100; ++it) {
            double pn = 0, pn1 = 0;
            Legendre(p, t, pn, pn1);
            const double step = (t * pn - pn1) / ((p + 1) * pn);
            t -= step;
            if (std::abs(step) < 1e-16) break;
        }
        x[j] = t;
    }
    for (int j = 0; j < (p + 1) / 2; ++j) {  // exactly symmetric, so a symmetric stack mirrors exactly
        const double m = 0.5 * (x[p - j] - x[j]);
        x[j] = -m;
        x[p - j] = m;
    }
    if (p % 2 == 0) x[p / 2] = 0.0;
    return x;
}

CReferenceElement MakeReference(int p) {
    CReferenceElement r;
    r.nOrder = p;
    r.nodes = LobattoNodes(p);
    GaussRule(p + 1, r.abscissa, r.weight);
    const int q = p + 1, nodes = p + 1;
    r.n.resize(q, nodes);
    r.dn.resize(q, nodes);
    std::vector<double> n(nodes), dn(nodes);
    for (int g = 0; g < q; ++g) {
        ShapeAt(r, r.abscissa[g], n.data(), dn.data());
        for (int a = 0; a < nodes; ++a) {
            r.n(g, a) = n[a];
            r.dn(g, a) = dn[a];
        }
    }
    if (p == kQuadraticOrder) {
        // The quadratic element in closed form, as it has always been computed: its results
        // stay the same to the last bit.
        r.abscissa = {-0.7745966692414834, 0.0, 0.7745966692414834};
        r.weight = {5.0 / 9.0, 8.0 / 9.0, 5.0 / 9.0};
        for (int g = 0; g < 3; ++g) {
            const double s = r.abscissa[g];
            r.n.row(g) << 0.5 * s * (s - 1), 1 - s * s, 0.5 * s * (s + 1);
            r.dn.row(g) << s - 0.5, -2 * s, s + 0.5;
        }
    }
    return r;
}

}  // namespace

void ShapeAt(const CReferenceElement& ref, double s, double* n, double* dn) {
    const int nodes = ref.nOrder + 1;
    for (int a = 0; a < nodes; ++a) {
        double value = 1.0, slope = 0.0;
        for (int b = 0; b < nodes; ++b) {
            if (b == a) continue;
            const double scale = 1.0 / (ref.nodes[a] - ref.nodes[b]);
            // d(value * (s - x_b) scale) = slope * (s - x_b) scale + value * scale
            slope = slope * (s - ref.nodes[b]) * scale + value * scale;
            value *= (s - ref.nodes[b]) * scale;
        }
        n[a] = value;
        dn[a] = slope;
    }
}

void StrainPatterns(bool shell, StrainPattern& r, StrainPattern& s, StrainPattern& t) {
    r.setZero();
    s.setZero();
    t.setZero();
    r(0, 0) = 1;
    r(5, 1) = 1;
    r(4, 2) = -1;
    s(4, 0) = 1;
    s(3, 1) = 1;
    s(2, 2) = 1;
    if (shell) {
        t(0, 2) = 1;
        t(4, 0) = -1;
    }
}

StrainPattern StrainPatternAlongY() {
    StrainPattern r = StrainPattern::Zero();
    r(1, 1) = 1;
    r(5, 0) = 1;
    r(3, 2) = -1;
    return r;
}

const CReferenceElement& ReferenceElement(int order) {
    static const std::vector<CReferenceElement> all = [] {
        std::vector<CReferenceElement> v;
        for (int p = 1; p <= kMaxOrder; ++p) v.push_back(MakeReference(p));
        return v;
    }();
    return all[static_cast<size_t>(std::clamp(order, 1, kMaxOrder) - 1)];
}

std::vector<double> GaussPositions(double bottom, double top, int order) {
    const CReferenceElement& ref = ReferenceElement(order);
    std::vector<double> z(ref.abscissa.size());
    for (size_t g = 0; g < z.size(); ++g) z[g] = 0.5 * (bottom + top) + 0.5 * (top - bottom) * ref.abscissa[g];
    return z;
}

double CThicknessModel::Thickness() const {
    return elements.empty() ? 0.0 : elements.back().dTop - elements.front().dBottom;
}

int CThicknessModel::NodeCount() const {
    int nodes = 1;
    for (const CElement& e : elements) nodes += e.nOrder;
    return nodes;
}

int CThicknessModel::HighestOrder() const {
    int order = elements.empty() ? kQuadraticOrder : 1;
    for (const CElement& e : elements) order = std::max(order, e.nOrder);
    return order;
}

double CThicknessModel::FastestSpeedSquared() const {
    double best = 0;
    for (const CElement& e : elements)
        for (size_t g = 0; g < e.density.size(); ++g)
            best = std::max(best, FastestSpeedAlongXSquared(e.stiffness[g], e.density[g]));
    return best;
}

double CThicknessModel::RadiusAt(double z) const {
    return bShell ? dOuterRadius - Thickness() + (z - elements.front().dBottom) : 1.0;
}

namespace {

// The volume weight of Gauss point g of an element (times r on a shell) and 1/r (1 on a plate).
struct CPointWeight {
    double dWeight, dInverseRadius;
};
CPointWeight PointWeight(const CThicknessModel& model, const CElement& el, const CReferenceElement& ref, size_t g) {
    const double half = 0.5 * (el.dTop - el.dBottom);
    const double z = 0.5 * (el.dBottom + el.dTop) + half * ref.abscissa[g];
    CPointWeight w{ref.weight[g] * half, 1.0};
    if (model.bShell) {
        const double r = model.RadiusAt(z);
        w.dWeight *= r;
        w.dInverseRadius = 1.0 / r;
    }
    return w;
}

// A quadratic element's contribution at each of its three Gauss points, in the closed form it
// has always had: sink(first, k1, k2, k3, mass) adds the 9 x 9 blocks (already weighted) at
// unknowns first.. first + 8, and mass(a, b) per component between local nodes a and b.
template <class Sink>
void QuadraticContributions(const CThicknessModel& model, const CElement& el, int first, Sink& sink) {
    using MatrixB = Eigen::Matrix<double, 6, 9>;
    using MatrixK = Eigen::Matrix<double, 9, 9>;
    const CReferenceElement& ref = ReferenceElement(kQuadraticOrder);
    const double half = 0.5 * (el.dTop - el.dBottom);
    for (size_t g = 0; g < ref.abscissa.size(); ++g) {
        const auto [weight, inv] = PointWeight(model, el, ref, g);
        MatrixB b1 = MatrixB::Zero(), b0 = MatrixB::Zero();
        for (int a = 0; a < 3; ++a) {
            const double shape = ref.n(g, a), slope = ref.dn(g, a) / half;
            const int u = 3 * a, v = 3 * a + 1, w = 3 * a + 2;
            b1(0, u) = shape * inv;
            b1(4, w) = -shape * inv;
            b1(5, v) = shape * inv;
            b0(2, w) = slope;
            b0(3, v) = slope;
            b0(4, u) = slope;
            if (model.bShell) {
                b0(0, w) = shape * inv;
                b0(4, u) -= shape * inv;
            }
        }
        const Voigt& c = el.stiffness[g];
        const MatrixB cb1 = c * b1, cb0 = c * b0;
        const MatrixK k1 = b1.transpose() * cb1;
        const MatrixK k2 = b1.transpose() * cb0 + b0.transpose() * cb1;
        const MatrixK k3 = b0.transpose() * cb0;
        Eigen::Matrix3d mass;
        for (int a = 0; a < 3; ++a)
            for (int bb = 0; bb < 3; ++bb) mass(a, bb) = weight * el.density[g] * ref.n(g, a) * ref.n(g, bb);
        sink(first, MatrixK(weight * k1), MatrixK(weight * k2), MatrixK(weight * k3), mass);
    }
}

// The same for an element of any order, by node blocks. The strain of node a's unknowns is
// p_a R (the terms of kappa) and d_a S + p_a T (the rest; T on a shell only), with p_a = N_a / r
// (N_a on a plate), d_a = N_a' and fixed 6 x 3 patterns R, S, T: each 3 x 3 block of the
// element matrices is a combination of a few 3 x 3 products with C, made once per Gauss point,
// instead of products of the whole 6 x 3 (p + 1) strain matrix.
template <class Sink>
void NodeBlockContributions(const CThicknessModel& model, const CElement& el, int first, Sink& sink) {
    const CReferenceElement& ref = ReferenceElement(el.nOrder);
    const int nodes = el.nOrder + 1, nd = 3 * nodes;
    const double half = 0.5 * (el.dTop - el.dBottom);
    StrainPattern r, s, t;
    StrainPatterns(model.bShell, r, s, t);
    Eigen::MatrixXd k1(nd, nd), k2(nd, nd), k3(nd, nd), mass(nodes, nodes);
    std::vector<double> pa(nodes), da(nodes);
    for (size_t g = 0; g < ref.abscissa.size(); ++g) {
        const auto [weight, inv] = PointWeight(model, el, ref, g);
        const Voigt& c = el.stiffness[g];
        const Eigen::Matrix3d rr = weight * (r.transpose() * c * r), rs = weight * (r.transpose() * c * s);
        const Eigen::Matrix3d ss = weight * (s.transpose() * c * s), rt = weight * (r.transpose() * c * t);
        const Eigen::Matrix3d st = weight * (s.transpose() * c * t), tt = weight * (t.transpose() * c * t);
        for (int a = 0; a < nodes; ++a) {
            pa[a] = ref.n(g, a) * inv;
            da[a] = ref.dn(g, a) / half;
        }
        for (int a = 0; a < nodes; ++a)
            for (int b = a; b < nodes; ++b) {
                const Eigen::Matrix3d b1 = (pa[a] * pa[b]) * rr;
                Eigen::Matrix3d b2 = (pa[a] * da[b]) * rs + (da[a] * pa[b]) * rs.transpose();
                Eigen::Matrix3d b3 = (da[a] * da[b]) * ss;
                if (model.bShell) {
                    b2 += (pa[a] * pa[b]) * (rt + rt.transpose());
                    b3 += (da[a] * pa[b]) * st + (pa[a] * da[b]) * st.transpose() + (pa[a] * pa[b]) * tt;
                }
                k1.block<3, 3>(3 * a, 3 * b) = b1;
                k2.block<3, 3>(3 * a, 3 * b) = b2;
                k3.block<3, 3>(3 * a, 3 * b) = b3;
                k1.block<3, 3>(3 * b, 3 * a) = b1.transpose();
                k2.block<3, 3>(3 * b, 3 * a) = b2.transpose();
                k3.block<3, 3>(3 * b, 3 * a) = b3.transpose();
                mass(a, b) = mass(b, a) = weight * el.density[g] * ref.n(g, a) * ref.n(g, b);
            }
        sink(first, k1, k2, k3, mass);
    }
}

// Every element's contributions, bottom to top, in a fixed order.
template <class Sink>
void ForEachContribution(const CThicknessModel& model, Sink&& sink) {
    int first = 0;
    for (const CElement& el : model.elements) {
        if (el.nOrder == kQuadraticOrder)
            QuadraticContributions(model, el, first, sink);
        else
            NodeBlockContributions(model, el, first, sink);
        first += 3 * el.nOrder;  // the top node is the next element's bottom node
    }
}

}  // namespace

CSafeMatrices Assemble(const CThicknessModel& model) {
    const int n = model.DofCount();
    CSafeMatrices m;
    m.K1 = Eigen::MatrixXd::Zero(n, n);
    m.K2 = Eigen::MatrixXd::Zero(n, n);
    m.K3 = Eigen::MatrixXd::Zero(n, n);
    m.M = Eigen::MatrixXd::Zero(n, n);
    ForEachContribution(model, [&](int first, const auto& k1, const auto& k2, const auto& k3, const auto& mass) {
        const int nd = static_cast<int>(k1.rows()), nodes = nd / 3;
        m.K1.block(first, first, nd, nd) += k1;
        m.K2.block(first, first, nd, nd) += k2;
        m.K3.block(first, first, nd, nd) += k3;
        for (int a = 0; a < nodes; ++a)
            for (int bb = 0; bb < nodes; ++bb)
                for (int d = 0; d < 3; ++d) m.M(first + 3 * a + d, first + 3 * bb + d) += mass(a, bb);
    });
    return m;
}

CBandMatrices AssembleBands(const CThicknessModel& model) {
    const int n = model.DofCount();
    CBandMatrices m;
    for (CSymBand* x : {&m.K1, &m.K2, &m.K3, &m.M}) x->Resize(n, model.BandWidth());
    ForEachContribution(model, [&](int first, const auto& k1, const auto& k2, const auto& k3, const auto& mass) {
        const int nd = static_cast<int>(k1.rows()), nodes = nd / 3;
        for (int c = 0; c < nd; ++c)
            for (int r = c; r < nd; ++r) {
                m.K1(first + r, first + c) += k1(r, c);
                m.K2(first + r, first + c) += k2(r, c);
                m.K3(first + r, first + c) += k3(r, c);
            }
        for (int a = 0; a < nodes; ++a)
            for (int bb = 0; bb <= a; ++bb)
                for (int d = 0; d < 3; ++d) m.M(first + 3 * a + d, first + 3 * bb + d) += mass(a, bb);
    });
    return m;
}

}  // namespace numerics
