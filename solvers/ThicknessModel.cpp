#include "ThicknessModel.h"

#include <algorithm>
#include <cmath>

namespace numerics {

namespace {

constexpr std::array<double, kGaussPoints> kAbscissa = {-0.7745966692414834, 0.0, 0.7745966692414834};
constexpr std::array<double, kGaussPoints> kWeight = {5.0 / 9.0, 8.0 / 9.0, 5.0 / 9.0};

using ElementB = Eigen::Matrix<double, 6, 9>;

}  // namespace

std::array<double, kGaussPoints> GaussPositions(double bottom, double top) {
    std::array<double, kGaussPoints> z{};
    for (int g = 0; g < kGaussPoints; ++g)
        z[g] = 0.5 * (bottom + top) + 0.5 * (top - bottom) * kAbscissa[g];
    return z;
}

double CThicknessModel::Thickness() const {
    return elements.empty() ? 0.0 : elements.back().dTop - elements.front().dBottom;
}

double CThicknessModel::FastestSpeedSquared() const {
    double best = 0;
    for (const CElement& e : elements)
        for (int g = 0; g < kGaussPoints; ++g)
            best = std::max(best, FastestSpeedAlongXSquared(e.stiffness[g], e.density[g]));
    return best;
}

namespace {

// Every element's contribution at every Gauss point, in a fixed order: sink(first, k1, k2, k3,
// mass) adds the 9 x 9 blocks (already weighted) at unknowns first.. first + 8, and mass(a, b)
// per component between local nodes a and b.
template <class Sink>
void ForEachContribution(const CThicknessModel& model, Sink&& sink) {
    const double h = model.Thickness();
    const double innerRadius = model.dOuterRadius - h;
    const double z0 = model.elements.empty() ? 0.0 : model.elements.front().dBottom;

    for (size_t e = 0; e < model.elements.size(); ++e) {
        const CElement& el = model.elements[e];
        const double half = 0.5 * (el.dTop - el.dBottom);
        const int first = 6 * static_cast<int>(e);  // 3 unknowns x 2 nodes per element
        for (int g = 0; g < kGaussPoints; ++g) {
            const double s = kAbscissa[g];
            const double N[3] = {0.5 * s * (s - 1), 1 - s * s, 0.5 * s * (s + 1)};
            const double dN[3] = {(s - 0.5) / half, -2 * s / half, (s + 0.5) / half};
            const double z = 0.5 * (el.dBottom + el.dTop) + half * s;
            double weight = kWeight[g] * half;
            double inv = 1.0;  // 1/r for a shell
            if (model.bShell) {
                const double r = innerRadius + (z - z0);
                weight *= r;
                inv = 1.0 / r;
            }
            ElementB b1 = ElementB::Zero(), b0 = ElementB::Zero();
            for (int a = 0; a < 3; ++a) {
                const int u = 3 * a, v = 3 * a + 1, w = 3 * a + 2;
                b1(0, u) = N[a] * inv;
                b1(4, w) = -N[a] * inv;
                b1(5, v) = N[a] * inv;
                b0(2, w) = dN[a];
                b0(3, v) = dN[a];
                b0(4, u) = dN[a];
                if (model.bShell) {
                    b0(0, w) = N[a] * inv;
                    b0(4, u) -= N[a] * inv;
                }
            }
            const Voigt& c = el.stiffness[g];
            const Eigen::Matrix<double, 6, 9> cb1 = c * b1, cb0 = c * b0;
            const Eigen::Matrix<double, 9, 9> k1 = b1.transpose() * cb1;
            const Eigen::Matrix<double, 9, 9> k2 = b1.transpose() * cb0 + b0.transpose() * cb1;
            const Eigen::Matrix<double, 9, 9> k3 = b0.transpose() * cb0;
            double mass[3][3];
            for (int a = 0; a < 3; ++a)
                for (int bb = 0; bb < 3; ++bb) mass[a][bb] = weight * el.density[g] * N[a] * N[bb];
            sink(first, Eigen::Matrix<double, 9, 9>(weight * k1), Eigen::Matrix<double, 9, 9>(weight * k2),
                 Eigen::Matrix<double, 9, 9>(weight * k3), mass);
        }
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
        m.K1.block<9, 9>(first, first) += k1;
        m.K2.block<9, 9>(first, first) += k2;
        m.K3.block<9, 9>(first, first) += k3;
        for (int a = 0; a < 3; ++a)
            for (int bb = 0; bb < 3; ++bb)
                for (int d = 0; d < 3; ++d) m.M(first + 3 * a + d, first + 3 * bb + d) += mass[a][bb];
    });
    return m;
}

CBandMatrices AssembleBands(const CThicknessModel& model) {
    const int n = model.DofCount();
    CBandMatrices m;
    for (CSymBand* x : {&m.K1, &m.K2, &m.K3, &m.M}) x->Resize(n, kAssembledWidth);
    ForEachContribution(model, [&](int first, const auto& k1, const auto& k2, const auto& k3, const auto& mass) {
        for (int c = 0; c < 9; ++c)
            for (int r = c; r < 9; ++r) {
                m.K1(first + r, first + c) += k1(r, c);
                m.K2(first + r, first + c) += k2(r, c);
                m.K3(first + r, first + c) += k3(r, c);
            }
        for (int a = 0; a < 3; ++a)
            for (int bb = 0; bb <= a; ++bb)
                for (int d = 0; d < 3; ++d) m.M(first + 3 * a + d, first + 3 * bb + d) += mass[a][bb];
    });
    return m;
}

}  // namespace numerics
