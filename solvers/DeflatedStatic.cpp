// The static sums of a wave vector with its few low modes deflated: the whole vectors of those
// modes, and the sums over every other mode from one banded Cholesky solve.
#include <algorithm>
#include <cmath>
#include <limits>

#include "BandedModes.h"
#include "ModalSolver.h"
#include "ShiftedBand.h"

namespace numerics {

namespace {

// Inverse iterations per mode from its accurate frequency: the first leaves the start's share of
// the others at about eps ||K|| / gap, the second settles what a start nearly without the mode
// would leave.
constexpr int kInverseSteps = 2;

// A start with a share of every unknown, different for each mode of a block (coinciding modes
// need independent starts).
Eigen::VectorXd Start(int n, int mode) {
    Eigen::VectorXd x(n);
    for (int j = 0; j < n; ++j) x(j) = 1.0 + 0.5 * std::sin(1.3 * j + 0.7 * mode + 0.3);
    return x;
}

// x M-orthogonal to the first `count` columns of v (twice, for the rounding) and M-normalised.
bool OrthonormaliseAgainst(const CSymBand& mass, const Eigen::MatrixXd& v, int count, Eigen::VectorXd& x) {
    for (int pass = 0; pass < 2; ++pass) {
        const Eigen::VectorXd mx = CBandedModes::Times(mass, x);
        for (int j = 0; j < count; ++j) x -= v.col(j).dot(mx) * v.col(j);
    }
    const double size = std::sqrt(x.dot(CBandedModes::Times(mass, x)));
    if (!(size > 0) || !std::isfinite(size)) return false;
    x /= size;
    return true;
}

Eigen::MatrixXd TimesColumns(const CSymBand& a, const Eigen::MatrixXd& x) {
    Eigen::MatrixXd y(x.rows(), x.cols());
    for (Eigen::Index c = 0; c < x.cols(); ++c) y.col(c) = CBandedModes::Times(a, x.col(c));
    return y;
}

// What bounds a block's deflated sums' error, to first order in the angle d between the low
// modes' computed span and the exact one. An error e_ij = d of low mode i along another mode j
// leaves c_i e_ij in the right side's share of mode j and takes c_j e_ij from its own top
// component: the other modes' sums move by about 2 d |c| sqrt(rest / next) (sqrt(rest) / next
// for the second sum), the low modes' own terms by 2 d |t| w |c_i| / omega_i^2 (^4), and what
// the second projection leaves of the deflated part is d^2 times its size.
struct CDeflationSizes {
    double dAngle = 0, dNext = 0;
    double dTop = 0;           // |t| in the inverse mass norm, over the three components
    double dLow = 0;           // |c| of the low modes, likewise
    double dOwnFirst = 0, dOwnSecond = 0;            // sum w |c_i| / omega_i^2, / omega_i^4
    double dDeflatedFirst = 0, dDeflatedSecond = 0;  // sum |c_i|^2 / omega_i^2, / omega_i^4
    double First(double rest) const {
        return dAngle * (4 * dLow * std::sqrt(rest / dNext) + 2 * dTop * dOwnFirst) + dAngle * dAngle * dDeflatedFirst;
    }
    double Second(double rest) const {
        return dAngle * (4 * dLow * std::sqrt(rest) / dNext + 2 * dTop * dOwnSecond) +
               dAngle * dAngle * dDeflatedSecond;
    }
};

}  // namespace

bool CModalSolver::BlockModesBelow(int block, double kappa, double omegaSquaredLimit, CBlockVectors& out,
                                   CWorkspace& ws, const CLowModeSettings& settings) const {
    const CBlock& b = m_blocks[static_cast<size_t>(block)];
    // Lanczos on banded factors where it shows its modes complete, else the partial solve's
    // frequencies and inverse iteration at each.
    int below = b.bDense || settings.nMaxSteps == 0
                    ? -1
                    : LanczosBlockLow(b, kappa, omegaSquaredLimit, 1, ws.partial, ws.lowModes, &out.vectors, settings);
    if (below >= 0) {
        out.omegaSquared = ws.partial.omegaSquared.head(below);
        out.vectors.conservativeResize(Eigen::NoChange, below);
    } else {
        below = SolveBlockBelow(block, kappa, omegaSquaredLimit, 1, ws.partial, ws);
        if (!InverseIteration(b, kappa, ws.partial.omegaSquared.head(below), out, ws)) return false;
    }
    out.dNext = ws.partial.omegaSquared.size() > below ? ws.partial.omegaSquared(below)
                                                       : std::numeric_limits<double>::infinity();
    out.dAngle = 0;
    if (below == 0) return true;
    // The residuals in the standard form's norm, ||U^-1 (K x - lambda M x)||: over the gap to the
    // rest of the spectrum they bound the angle between the span and the exact modes'.
    FormShifted(b.a1, b.a2, b.a3, b.mass, kappa, 0.0, ws.stiffness);
    const Eigen::MatrixXd residual = TimesColumns(ws.stiffness, out.vectors) -
                                     TimesColumns(b.mass, out.vectors) * out.omegaSquared.asDiagonal();
    Eigen::VectorXd z(b.nSize);
    double sum = 0;
    for (int i = 0; i < below; ++i) sum += std::pow(MassInverseNorm(b.uT, residual.col(i).data(), z.data()), 2);
    const double gap = out.dNext - out.omegaSquared(below - 1);
    out.dAngle = gap > 0 ? std::sqrt(sum) / gap : std::numeric_limits<double>::infinity();
    return out.vectors.allFinite() && out.omegaSquared.allFinite() && std::isfinite(out.dAngle);
}

bool CModalSolver::InverseIteration(const CBlock& b, double kappa, const Eigen::VectorXd& omegaSquared,
                                    CBlockVectors& out, CWorkspace& ws) {
    const int n = b.nSize, count = static_cast<int>(omegaSquared.size());
    out.vectors.resize(n, count);
    out.omegaSquared = omegaSquared;
    if (count == 0) return true;
    for (int i = 0; i < count; ++i) {
        const double lambda = omegaSquared(i);
        CShiftedBand factor(b.a1, b.a2, b.a3, b.mass, kappa, lambda);
        // An exactly singular pivot: the shift a rounding away from the mode serves as well.
        if (!factor.Ok())
            factor = CShiftedBand(b.a1, b.a2, b.a3, b.mass, kappa,
                                  lambda + 64 * std::numeric_limits<double>::epsilon() * std::max(std::abs(lambda), 1.0));
        if (!factor.Ok()) return false;
        Eigen::VectorXd x = Start(n, i);
        for (int step = 0; step < kInverseSteps; ++step) {
            x = CBandedModes::Times(b.mass, x);
            if (!factor.Solve(x) || !OrthonormaliseAgainst(b.mass, out.vectors, i, x)) return false;
        }
        out.vectors.col(i) = x;
    }
    // Rayleigh-Ritz over their span: a pair close enough to mix under inverse iteration is
    // separated here, and every frequency is the Rayleigh quotient of its vector.
    FormShifted(b.a1, b.a2, b.a3, b.mass, kappa, 0.0, ws.stiffness);
    Eigen::MatrixXd reducedK = out.vectors.transpose() * TimesColumns(ws.stiffness, out.vectors);
    Eigen::MatrixXd reducedM = out.vectors.transpose() * TimesColumns(b.mass, out.vectors);
    reducedK = 0.5 * (reducedK + reducedK.transpose()).eval();
    reducedM = 0.5 * (reducedM + reducedM.transpose()).eval();
    const Eigen::GeneralizedSelfAdjointEigenSolver<Eigen::MatrixXd> ritz(reducedK, reducedM);
    if (ritz.info() != Eigen::Success) return false;
    out.vectors = out.vectors * ritz.eigenvectors();
    out.omegaSquared = ritz.eigenvalues();
    return true;
}

bool CModalSolver::DeflatedStaticMatrices(double kappa, double omegaSquaredLimit,
                                          const std::function<double(double)>& weight, double tolerance,
                                          Eigen::Matrix3d& flexibility, Eigen::Matrix3d& second,
                                          CWorkspace& ws) const {
    flexibility.setZero();
    second.setZero();
    // K(0) is singular (the rigid motions).
    if (!(kappa > 0)) return false;
    double errorFirst = 0, errorSecond = 0;
    for (int index = 0; index < BlockCount(); ++index) {
        const CBlock& b = m_blocks[static_cast<size_t>(index)];
        if (!b.moves[0] && !b.moves[1] && !b.moves[2]) continue;
        CBlockVectors& low = ws.lowest;
        if (!BlockModesBelow(index, kappa, omegaSquaredLimit, low, ws)) return false;
        if (!FactorShifted(b.a1, b.a2, b.a3, b.mass, kappa, 0.0, ws.a)) return false;
        const Eigen::MatrixXd t = b.top.transpose();
        const Eigen::MatrixXd mv = TimesColumns(b.mass, low.vectors);
        const Eigen::MatrixXd c = low.vectors.transpose() * t;  // the low modes' top components
        // The right side without the low modes' share, solved, and projected off them again.
        Eigen::MatrixXd x = t - mv * c;
        SolveFactored(ws.a, x);
        x -= low.vectors * (mv.transpose() * x);
        Eigen::Matrix3d restFirst = t.transpose() * x;
        restFirst = 0.5 * (restFirst + restFirst.transpose()).eval();
        const Eigen::Matrix3d restSecond = x.transpose() * TimesColumns(b.mass, x);
        CDeflationSizes sizes;
        sizes.dAngle = low.dAngle;
        sizes.dNext = low.dNext;
        Eigen::VectorXd z(b.nSize);
        for (int d = 0; d < 3; ++d) sizes.dTop += std::pow(MassInverseNorm(b.uT, t.col(d).data(), z.data()), 2);
        sizes.dTop = std::sqrt(sizes.dTop);
        sizes.dLow = c.norm();
        for (Eigen::Index i = 0; i < low.omegaSquared.size(); ++i) {
            const double lambda = low.omegaSquared(i);
            if (!(lambda > 0)) return false;
            const Eigen::Vector3d top = c.row(i).transpose();
            const double w = weight(std::sqrt(lambda)), size = top.squaredNorm();
            flexibility += (w / lambda) * top * top.transpose();
            second += (w / (lambda * lambda)) * top * top.transpose();
            sizes.dOwnFirst += w * std::sqrt(size) / lambda;
            sizes.dOwnSecond += w * std::sqrt(size) / (lambda * lambda);
            sizes.dDeflatedFirst += size / lambda;
            sizes.dDeflatedSecond += size / (lambda * lambda);
        }
        flexibility += restFirst;
        second += restSecond;
        if (low.omegaSquared.size() > 0) {
            errorFirst += sizes.First(restFirst.trace());
            errorSecond += sizes.Second(restSecond.trace());
        }
    }
    const bool within = errorFirst <= tolerance * flexibility.norm() && errorSecond <= tolerance * second.norm();
    if (within && flexibility.allFinite() && second.allFinite()) return true;
    flexibility.setZero();
    second.setZero();
    return false;
}

}  // namespace numerics
