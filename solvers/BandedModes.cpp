#include "BandedModes.h"

#include <cmath>
#include <limits>

#include "BlasThreads.h"
#include "ShiftedBand.h"

namespace numerics {

CBandedModes::CBandedModes(const CThicknessModel& model) : m_m(AssembleBands(model)) { KeepBlasOnOneThread(); }

Eigen::VectorXd CBandedModes::Times(const CSymBand& a, const Eigen::VectorXd& x) {
    Eigen::VectorXd y(a.Size());
    BandTimes(a, x.data(), y.data());
    return y;
}

double CBandedModes::SlopeProduct(double kappa, const Eigen::VectorXd& x, const Eigen::VectorXd& y) const {
    return x.dot((2.0 * kappa) * Times(m_m.K1, y) + Times(m_m.K2, y));
}

bool CBandedModes::ModeNear(double kappa, double shift, const CProjection* projection, const Eigen::VectorXd* start,
                            CBandedMode& out) const {
    const CShiftedBand factor(m_m.K1, m_m.K2, m_m.K3, m_m.M, kappa, shift);
    if (!factor.Ok()) return false;
    const auto project = [&](Eigen::VectorXd& x) {
        if (projection) (*projection)(x);
    };
    const auto stiffness = [&](const Eigen::VectorXd& x) {
        return Eigen::VectorXd(kappa * kappa * Times(m_m.K1, x) + kappa * Times(m_m.K2, x) + Times(m_m.K3, x));
    };
    Eigen::VectorXd x = start ? *start : Eigen::VectorXd::Ones(Size());
    project(x);
    double residual = std::numeric_limits<double>::infinity(), lambda = 0;
    Eigen::VectorXd best;
    for (int it = 0; it < 20; ++it) {
        Eigen::VectorXd next = Times(m_m.M, x);
        if (!factor.Solve(next)) break;
        project(next);
        const double size = std::sqrt(next.dot(Times(m_m.M, next)));
        if (!(size > 0) || !std::isfinite(size)) break;
        next /= size;
        const Eigen::VectorXd kx = stiffness(next), mx = Times(m_m.M, next);
        const double value = next.dot(kx), r = (kx - value * mx).norm() / std::max(kx.norm(), 1e-300);
        x = next;
        // Until the residual stops falling: the velocities are first order in the vector's error.
        if (!(r < 0.5 * residual)) break;
        best = next;
        lambda = value;
        residual = r;
    }
    if (best.size() == 0 || !(residual <= 1e-8)) return false;
    out.phi = std::move(best);
    out.dOmega = std::sqrt(std::max(0.0, lambda));
    out.dSlope = out.dOmega > 0 ? SlopeProduct(kappa, out.phi, out.phi) / (2.0 * out.dOmega) : 0.0;
    return std::isfinite(out.dSlope);
}

bool ModeVectorNear(const CBandedModes& banded, double kappa, double omega, const CBandedModes::CProjection* project,
                    CBandedMode& out) {
    // A start with a share of every unknown, not aligned with any symmetry.
    Eigen::VectorXd start(banded.Size());
    for (Eigen::Index i = 0; i < start.size(); ++i) start(i) = 1.0 + 0.5 * std::sin(1.3 * static_cast<double>(i));
    return banded.ModeNear(kappa, omega * omega, project, &start, out) &&
           std::abs(out.dOmega - omega) <= 1e-6 * std::max(omega, 1e-300);
}

bool ModeVector(const CBandedModes& banded, const CPart& part, double kappa, double omega, CBandedMode& out) {
    // A part that is the whole problem restricts nothing.
    const CBandedModes::CProjection onPart = [&](Eigen::VectorXd& x) {
        x = part.toFull * (part.toFull.transpose() * CBandedModes::Times(banded.Matrices().M, x));
    };
    if (ModeVectorNear(banded, kappa, omega, part.Size() == banded.Size() ? nullptr : &onPart, out)) return true;
    CEigenPairs pairs;
    if (!LowestPairs(part, kappa, part.Size(), pairs)) return false;
    Eigen::Index best = 0;
    (pairs.lambda.array().max(0.0).sqrt() - omega).abs().minCoeff(&best);
    out.phi = part.toFull * pairs.vectors.col(best);
    out.dOmega = OmegaOf(pairs.lambda(best));
    out.dSlope = Slope(part, pairs.vectors.col(best), kappa, out.dOmega);
    return std::isfinite(out.dSlope);
}

}  // namespace numerics
