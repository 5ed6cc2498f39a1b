#include "ElementOrder.h"

#include <algorithm>
#include <array>
#include <limits>
#include <cmath>
#include <numbers>

#include "Limits.h"
#include "ThicknessModel.h"

namespace numerics {

namespace {

// ResolvedPhase for orders 1 to kMaxOrder: MeasureResolvedPhase at kOrderTolerance, rounded
// down to four decimals (printed by solvers/bench/calibrate_order; tests/solvers compare).
constexpr std::array<double, kMaxOrder> kResolvedPhase = {
    0.0000, 0.1718, 0.7391, 1.6198, 2.7103, 3.9643, 5.2359, 6.6758,
    8.1905, 9.2991, 11.2004, 12.8655, 14.3851, 16.0570, 17.7407, 19.4386,
    21.1533, 22.8887, 24.6494, 26.1799, 28.2743, 29.7023, 31.1303, 33.3008,
    35.1858, 37.0009, 38.7463, 40.4916, 42.4115, 43.9822, 45.9457, 47.9092,
    49.8166, 51.6118, 53.4070, 55.2022, 57.0722, 58.6430, 60.7374, 62.8318,
    64.4026, 65.4498, 67.8584, 69.7433, 72.2566, 73.5132, 74.7699, 77.2831,
    79.1681, 81.6814, 82.9380, 84.0376, 86.3937, 88.7499, 91.1061, 92.6769,
    93.4623, 95.8185, 98.1747, 100.5309, 102.1017, 102.8871, 106.0287, 107.5995,
};

}  // namespace

double ResolvedPhase(int order) { return kResolvedPhase[static_cast<size_t>(std::clamp(order, 1, kMaxOrder) - 1)]; }

double MeasureResolvedPhase(int p, double tol) {
    const int elements = std::max(4, 256 / p);
    const int n = elements * p + 1;
    const CReferenceElement& ref = ReferenceElement(p);
    const double h = 1.0 / elements, half = 0.5 * h;
    Eigen::MatrixXd k = Eigen::MatrixXd::Zero(n, n), m = Eigen::MatrixXd::Zero(n, n);
    for (int e = 0; e < elements; ++e)
        for (size_t g = 0; g < ref.abscissa.size(); ++g)
            for (int a = 0; a <= p; ++a)
                for (int b = 0; b <= p; ++b) {
                    const double w = ref.weight[g] * half;
                    k(e * p + a, e * p + b) += w * ref.dn(g, a) * ref.dn(g, b) / (half * half);
                    m(e * p + a, e * p + b) += w * ref.n(g, a) * ref.n(g, b);
                }
    const Eigen::GeneralizedSelfAdjointEigenSolver<Eigen::MatrixXd> es(k, m, Eigen::EigenvaluesOnly);
    double phase = 0;
    for (int mode = 1; mode < n; ++mode) {
        const double exact = mode * std::numbers::pi;
        const double omega = std::sqrt(std::max(0.0, es.eigenvalues()(mode)));
        if (std::abs(omega / exact - 1) > tol) break;
        phase = exact * h;
    }
    return phase;
}

double SlowestBulkSpeedSquared(const Voigt& c, double density) {
    double slowest = std::numeric_limits<double>::infinity();
    constexpr int kDirections = 36;  // every 5 degrees over a half turn
    for (int d = 0; d < kDirections; ++d) {
        const double a = std::numbers::pi * d / kDirections;
        const Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> es(ChristoffelMatrix(c, std::cos(a), std::sin(a)),
                                                                Eigen::EigenvaluesOnly);
        slowest = std::min(slowest, es.eigenvalues()(0) / density);
    }
    return slowest;
}

double ElementEigenvalueBound(int order) {
    static const std::array<double, kMaxOrder> bound = [] {
        std::array<double, kMaxOrder> out{};
        for (int p = 1; p <= kMaxOrder; ++p) {
            const CReferenceElement& ref = ReferenceElement(p);
            Eigen::MatrixXd k = Eigen::MatrixXd::Zero(p + 1, p + 1), m = k;
            for (size_t g = 0; g < ref.abscissa.size(); ++g)
                for (int a = 0; a <= p; ++a)
                    for (int b = 0; b <= p; ++b) {
                        // [-1, 1] mapped onto [0, 1]: d/dz = 2 d/ds, dz = ds / 2.
                        k(a, b) += ref.weight[g] * 2.0 * ref.dn(g, a) * ref.dn(g, b);
                        m(a, b) += ref.weight[g] * 0.5 * ref.n(g, a) * ref.n(g, b);
                    }
            const Eigen::GeneralizedSelfAdjointEigenSolver<Eigen::MatrixXd> es(k, m, Eigen::EigenvaluesOnly);
            out[static_cast<size_t>(p - 1)] = es.eigenvalues().maxCoeff();
        }
        return out;
    }();
    return bound[static_cast<size_t>(std::clamp(order, 1, kMaxOrder) - 1)];
}

std::vector<int> ChooseOrders(const std::vector<CLayerWaves>& layers, double omegaMax, int maxNodes) {
    double thickness = 0, slowest = std::numeric_limits<double>::infinity();
    for (const CLayerWaves& l : layers) {
        thickness += l.dThickness;
        slowest = std::min(slowest, l.dSlowestSpeed);
    }
    const double resonance = std::numbers::pi * slowest / thickness;
    const double floorBound = kOrderTolerance * resonance * resonance / std::numeric_limits<double>::epsilon();
    std::vector<int> orders;
    for (const CLayerWaves& l : layers) {
        const double size = l.dThickness / std::max(1, l.nElements);
        const double phase = omegaMax / l.dSlowestSpeed * size;
        int p = 2;
        while (p < kMaxOrder && !(phase <= ResolvedPhase(p))) ++p;
        // The largest eigenvalue of the layer's elements, c_fast^2 bound(p) / size^2, within the floor.
        const double scale = l.dFastestSpeed * l.dFastestSpeed / (size * size);
        while (p > kQuadraticOrder && scale > 0 && !(scale * ElementEigenvalueBound(p) <= floorBound)) --p;
        orders.push_back(p);
    }
    const auto nodes = [&](int cap) {
        double count = 1;
        for (size_t i = 0; i < layers.size(); ++i)
            count += static_cast<double>(std::max(1, layers[i].nElements)) * std::min(orders[i], cap);
        return count;
    };
    int cap = kMaxOrder;
    while (cap > 1 && nodes(cap) > maxNodes) --cap;
    for (int& p : orders) p = std::min(p, cap);
    return orders;
}

}  // namespace numerics
