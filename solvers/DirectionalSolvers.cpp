#include "DirectionalSolvers.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace numerics {

namespace {

constexpr int kSampleDirections = 5;
double Angle(int j) { return std::numbers::pi * j / kSampleDirections; }

}  // namespace

CDirectionalSolvers::CDirectionalSolvers(const CThicknessModel& model, int threads) {
    for (int j = 0; j < kSampleDirections; ++j) {
        CThicknessModel turned = model;
        for (CElement& e : turned.elements)
            for (Voigt& c : e.stiffness) c = TurnAboutZ(c, -Angle(j));
        m_bands.push_back(AssembleBands(turned));
        m_solvers.emplace_back(m_bands.back(), true, false);
    }
    m_bShared = std::all_of(m_solvers.begin(), m_solvers.end(),
                            [&](const CModalSolver& s) { return s.SameBlocks(m_solvers.front()); });
    if (m_bShared) m_scratch.assign(static_cast<size_t>(threads), m_solvers.front());
}

const CModalSolver& CDirectionalSolvers::At(double theta, int t, std::unique_ptr<CModalSolver>& own) {
    for (int j = 0; j < kSampleDirections; ++j)
        if (theta == Angle(j)) return m_solvers[j];
    double weight[kSampleDirections];
    for (int j = 0; j < kSampleDirections; ++j) {
        const double d = theta - Angle(j);
        weight[j] = (1.0 + 2.0 * std::cos(2.0 * d) + 2.0 * std::cos(4.0 * d)) / kSampleDirections;
    }
    if (m_bShared) {
        CModalSolver& solver = m_scratch[static_cast<size_t>(t)];
        solver.MixStiffness(m_solvers, weight);
        return solver;
    }
    CBandMatrices out = m_bands[0];
    const auto mix = [&](CSymBand CBandMatrices::*member) {
        CSymBand& x = out.*member;
        for (int col = 0; col < x.Size(); ++col) {
            double* o = x.Column(col);
            for (int r = 0; r <= x.Width(); ++r) {
                double sum = 0;
                for (int j = 0; j < kSampleDirections; ++j) sum += weight[j] * (m_bands[j].*member).Column(col)[r];
                o[r] = sum;
            }
        }
    };
    mix(&CBandMatrices::K1);
    mix(&CBandMatrices::K2);
    mix(&CBandMatrices::K3);
    own = std::make_unique<CModalSolver>(out);
    return *own;
}

}  // namespace numerics
