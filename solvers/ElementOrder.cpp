#include "ElementOrder.h"

#include <algorithm>
#include <array>
#include <limits>
#include <cmath>
#include <numbers>

#include "Limits.h"

namespace numerics {

namespace {

// ResolvedPhase for orders 1 to kMaxOrder, measured by solvers/bench/calibrate_order (the lowest
// modes of a free uniform layer, up to the last one whose frequency is within 1e-6, and every
// lower one as well); tests/solvers check entries of it against the same measurement.
constexpr std::array<double, kMaxOrder> kResolvedPhase = {
    0.0000, 0.1718, 0.7392, 1.6198, 2.7104, 3.9644, 5.2360, 6.6759,
    8.1906, 9.2990, 11.2005, 12.8656, 14.3852, 16.0570, 17.7408, 19.4386,
    21.1534, 22.8887, 24.6494, 26.1799, 28.2743, 29.7023, 31.1303, 33.3009,
    35.1858, 37.0010, 38.7463, 40.4916, 42.4114, 43.9823, 45.9458, 47.9093,
};

}  // namespace

double ResolvedPhase(int order) { return kResolvedPhase[static_cast<size_t>(std::clamp(order, 1, kMaxOrder) - 1)]; }

double SlowestBulkSpeedSquared(const Voigt& c, double density) {
    double slowest = std::numeric_limits<double>::infinity();
    constexpr int kDirections = 36;  // every 5 degrees over a half turn
    for (int d = 0; d < kDirections; ++d) {
        const double a = std::numbers::pi * d / kDirections, n1 = std::cos(a), n3 = std::sin(a);
        // Strains (Voigt) of a plane wave along (n1, 0, n3) with amplitude (a1, a2, a3).
        Eigen::Matrix<double, 6, 3> b = Eigen::Matrix<double, 6, 3>::Zero();
        b(0, 0) = n1;
        b(2, 2) = n3;
        b(3, 1) = n3;
        b(4, 0) = n3;
        b(4, 2) = n1;
        b(5, 1) = n1;
        const Eigen::Matrix3d gamma = b.transpose() * c * b;
        const Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> es(gamma, Eigen::EigenvaluesOnly);
        slowest = std::min(slowest, es.eigenvalues()(0) / density);
    }
    return slowest;
}

std::vector<int> ChooseOrders(const std::vector<CLayerWaves>& layers, double omegaMax, int maxNodes) {
    std::vector<int> orders;
    for (const CLayerWaves& l : layers) {
        const double phase = omegaMax / l.dSlowestSpeed * l.dThickness / std::max(1, l.nElements);
        int p = 2;
        while (p < kMaxOrder && !(phase <= ResolvedPhase(p))) ++p;
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
