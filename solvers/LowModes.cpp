// The modal solver's low modes by Lanczos on banded factors (LowModes.h).
#include "LowModes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>

#include "ModalSolver.h"

namespace numerics {

namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();
// The shift below the spectrum as a share of the limit: small against the wanted modes, so that
// the inverted operator keeps them apart, and K - sigma M positive definite even at kappa 0,
// where K is only semidefinite.
constexpr double kShiftShare = 0.1;
// A Ritz pair is taken when ||K y - theta M y|| in M^-1 is within this many eps of the pencil's
// scale (max K_ii / M_ii, a lower bound of its largest eigenvalue): the backward error the
// reductions leave.
constexpr double kResidual = 16;
// The first look at convergence (a few eigenpairs of the Lanczos matrix, as dear as a few steps)
// after kFirstLook + kLookPerMode steps a mode wanted, then every kLookEvery steps: on the
// tone-burst example's blocks (74 unknowns) the residuals met the bound after 16 steps for one
// mode, 18.5 for three, 25 for six, 30 for nine.
constexpr int kFirstLook = 13;
constexpr int kLookPerMode = 2;
constexpr int kLookEvery = 2;
// Steps after the first look before the solve is given up (and the block solved the other way):
// a bound on what a block that does not converge (never seen on the example) can cost.
constexpr int kLastLook = 16;

// A fixed pseudo-random number in [-1, 1] for index i (splitmix64): the same start on every
// thread and run.
double Uniform(uint64_t i) {
    uint64_t z = (i + 1) * 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return 2.0 * static_cast<double>(z >> 11) / static_cast<double>(1ULL << 53) - 1.0;
}


// sum of a[i] b[i], i < n, in SIMD lanes (a plain loop's sum stays scalar).
double Dot(const double* a, const double* b, int n) {
    return Eigen::Map<const Eigen::VectorXd>(a, n).dot(Eigen::Map<const Eigen::VectorXd>(b, n));
}

// x <- (L L^T)^-1 x for the banded Cholesky factor L (lower band storage, as dpbtrf leaves it):
// plain loops down each column, which beat a library call on blocks this small.
void CholeskySolve(const CSymBand& l, double* x) {
    const int n = l.Size(), width = l.Width();
    for (int j = 0; j < n; ++j) {
        const double* col = l.Column(j);
        const double v = x[j] /= col[0];
        const int last = std::min(width, n - 1 - j);
        for (int t = 1; t <= last; ++t) x[j + t] -= col[t] * v;
    }
    for (int j = n - 1; j >= 0; --j) {
        const double* col = l.Column(j);
        const int last = std::min(width, n - 1 - j);
        x[j] = (x[j] - Dot(col + 1, x + j + 1, last)) / col[0];
    }
}

// One block's pencil, as the solve needs it.
struct CPencil {
    const CSymBand &a1, &a2, &a3, &mass, &uT;
    const Eigen::Matrix3Xd& top;
    int n, ka;
};

// Whether the Ritz pairs of the `wanted` largest eigenvalues mu of the operator (the lowest
// modes) have converged after `size` steps. Their residuals in the pencil are known without
// forming them: A y - mu y = beta s_last q_next for A = (K - sigma M)^-1 M, so K y - theta M y =
// -(beta s_last / mu) (K - sigma M) q_next with theta = sigma + 1 / mu. The Ritz vectors'
// coefficients stay in w.tri.vectors. 1 converged, 0 not yet, -1 a failed search.
int Converged(const CPencil& p, int size, int wanted, double sigma, double tolerance, CLowModeWork& w) {
    // c I - T has T's largest eigenvalues lowest and none below zero (c Gershgorin's bound).
    double c = 0;
    for (int i = 0; i < size; ++i)
        c = std::max(c, w.alpha(i) + (i > 0 ? std::abs(w.beta(i - 1)) : 0.0) + (i + 1 < size ? std::abs(w.beta(i)) : 0.0));
    w.negD = c - w.alpha.head(size).array();
    w.negE.setZero(size);
    w.negE.head(size - 1) = -w.beta.head(size - 1);
    if (LowestTridiagonal(w.negD, w.negE, 0.0, wanted, w.tri) < 0) return -1;
    if (w.tri.values.size() < wanted) return 0;
    // (K - sigma M) q_next, its size in M^-1.
    BandTimes(w.k, w.q.col(size).data(), w.w.data());
    w.w -= sigma * w.mq.col(size);
    const double g = MassInverseNorm(p.uT, w.w.data(), w.z.data());
    for (int i = 0; i < wanted; ++i) {
        const double mu = c - w.tri.values(i);
        if (!(std::abs(w.beta(size - 1) * w.tri.vectors(size - 1, i)) * g <= tolerance * mu)) return 0;
    }
    return 1;
}


// The Ritz pairs made and verified: their residuals measured, the count of K - x M's negative
// pivots at the limit equal to the pairs below it, and just above the highest pair equal to all
// of them, so that no mode below it is missing. The modes below the limit, or -2 where the
// residuals are not yet small enough, -1 where the counts disagree.
int Finish(const CPencil& p, double kappa, double limit, int below, int wanted, int size, double tolerance,
           CModes& out, CLowModeWork& w, Eigen::MatrixXd* vectors) {
    const int n = p.n;
    w.y.noalias() = w.q.leftCols(size) * w.tri.vectors.leftCols(wanted);
    w.ky.resize(n, wanted);
    w.my.resize(n, wanted);
    w.theta.resize(wanted);
    double worst = 0;
    for (int i = 0; i < wanted; ++i) {
        BandTimes(w.k, w.y.col(i).data(), w.ky.col(i).data());
        BandTimes(p.mass, w.y.col(i).data(), w.my.col(i).data());
        const double norm = std::sqrt(w.y.col(i).dot(w.my.col(i)));
        w.y.col(i) /= norm;
        w.ky.col(i) /= norm;
        w.my.col(i) /= norm;
        w.theta(i) = w.y.col(i).dot(w.ky.col(i));
        w.w = w.ky.col(i) - w.theta(i) * w.my.col(i);
        worst = std::max(worst, MassInverseNorm(p.uT, w.w.data(), w.z.data()));
    }
    if (!(worst <= 2 * tolerance)) return -2;
    w.order.resize(static_cast<size_t>(wanted));
    std::iota(w.order.begin(), w.order.end(), 0);
    std::sort(w.order.begin(), w.order.end(), [&](int x, int y) { return w.theta(x) < w.theta(y); });
    const int found = static_cast<int>(std::count_if(w.order.begin(), w.order.end(), [&](int j) { return w.theta(j) < limit; }));
    if (found != below) return -1;
    // Just above the highest pair, beyond its error (a residual bounds it). Without spares, and
    // the pairs clear of the limit, the count there has said it already.
    double x = w.theta(w.order.back()) + 4 * tolerance;
    for (int attempt = 0; wanted > below || x >= limit; ++attempt) {
        FormShifted(p.a1, p.a2, p.a3, p.mass, kappa, x, w.ldl);
        bool unsure = false;
        const int count = NegativePivots(w.ldl, &unsure);
        if (!unsure && count == wanted) break;
        if (!unsure || attempt == 1) return -1;
        x += 4 * tolerance;
    }
    out.omegaSquared.resize(wanted);
    if (vectors) vectors->resize(n, wanted);
    for (int i = 0; i < wanted; ++i) {
        const int j = w.order[static_cast<size_t>(i)];
        out.omegaSquared(i) = w.theta(j);
        w.ky.col(i) = w.y.col(j);  // the sorted vectors, in room no longer needed
    }
    out.top.noalias() = p.top * w.ky.leftCols(wanted);
    if (vectors) *vectors = w.ky.leftCols(wanted);
    return below;
}

}  // namespace

int NegativePivots(CSymBand& x, bool* nearlySingular) {
    const int n = x.Size(), width = x.Width();
    double scale = 0;
    for (int j = 0; j < n; ++j)
        for (int i = j; i <= std::min(n - 1, j + width); ++i) scale = std::max(scale, std::abs(x(i, j)));
    const double tiny = kEps * std::max(scale, 1e-300);
    int count = 0;
    bool vanishing = false;
    for (int j = 0; j < n; ++j) {
        double d = x(j, j);
        if (std::abs(d) < tiny) {
            d = tiny;
            vanishing = true;
        }
        if (d < 0) ++count;
        const int last = std::min(n - 1, j + width);
        for (int p = j + 1; p <= last; ++p) {
            const double f = x(p, j) / d;
            for (int i = p; i <= last; ++i) x(i, p) -= f * x(i, j);
        }
    }
    if (nearlySingular) *nearlySingular = vanishing;
    return count;
}

double MassInverseNorm(const CSymBand& uT, const double* r, double* z) {
    // U z = r from the bottom up: column i of uT holds U(i, i .. i + kb).
    const int n = uT.Size(), kb = uT.Width();
    double sum = 0;
    for (int i = n - 1; i >= 0; --i) {
        const double* row = uT.Column(i);
        z[i] = (r[i] - Dot(row + 1, z + i + 1, std::min(kb, n - 1 - i))) / row[0];
        sum += z[i] * z[i];
    }
    return std::sqrt(sum);
}

int CModalSolver::SolveBlockLow(int block, double kappa, double omegaSquaredLimit, int spares, CModes& out,
                                CWorkspace& ws, Eigen::MatrixXd* vectors, const CLowModeSettings& settings) const {
    const CBlock& b = m_blocks[static_cast<size_t>(block)];
    ++ws.lowModes.nSolves;
    if (!b.bDense && settings.nMaxSteps != 0) {
        const int below = LanczosBlockLow(b, kappa, omegaSquaredLimit, spares, out, ws.lowModes, vectors, settings);
        if (below >= 0) return below;
    }
    ++ws.lowModes.nFallbacks;
    if (vectors) return DenseBlockLow(b, kappa, omegaSquaredLimit, spares, out, *vectors);
    return SolveBlockBelow(block, kappa, omegaSquaredLimit, spares, out, ws);
}

int CModalSolver::DenseBlockLow(const CBlock& b, double kappa, double omegaSquaredLimit, int spares, CModes& out,
                                Eigen::MatrixXd& vectors) const {
    const int n = b.nSize;
    Eigen::MatrixXd k(n, n), m(n, n);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const double k1 = b.a1.Get(i, j), k2 = b.a2.Get(i, j), k3 = b.a3.Get(i, j);
            k(i, j) = kappa * kappa * k1 + kappa * k2 + k3;
            m(i, j) = b.mass.Get(i, j);
        }
    const Eigen::GeneralizedSelfAdjointEigenSolver<Eigen::MatrixXd> es(k, m);  // ascending
    const Eigen::VectorXd& values = es.eigenvalues();
    int below = 0;
    while (below < n && values(below) < omegaSquaredLimit) ++below;
    const int kept = std::min(n, below + std::max(0, spares));
    out.omegaSquared = values.head(kept);
    vectors = es.eigenvectors().leftCols(kept);
    out.top.noalias() = b.top * vectors;
    return below;
}

int CModalSolver::LanczosBlockLow(const CBlock& b, double kappa, double limit, int spares, CModes& out,
                                  CLowModeWork& w, Eigen::MatrixXd* vectors, const CLowModeSettings& settings) const {
    const int n = b.nSize;
    const CPencil pencil{b.a1, b.a2, b.a3, b.mass, b.uT, b.top, n, b.ka};
    if (!(limit > 0) || !std::isfinite(limit)) return -1;
    FormShifted(b.a1, b.a2, b.a3, b.mass, kappa, limit, w.ldl);
    bool unsure = false;
    const int below = NegativePivots(w.ldl, &unsure);
    const int wanted = std::min(n, below + std::max(0, spares));
    const int first = kFirstLook + kLookPerMode * wanted;
    // A block without room for every look takes the reductions (where the Krylov space would be
    // most of the block, they cost no more).
    if (unsure || n <= first + kLastLook) return -1;
    if (wanted == 0) {
        out.omegaSquared.resize(0);
        out.top.resize(3, 0);
        if (vectors) vectors->resize(n, 0);
        return 0;
    }
    const double sigma = -kShiftShare * limit;
    FormShifted(b.a1, b.a2, b.a3, b.mass, kappa, 0.0, w.k);
    if (!FactorShifted(b.a1, b.a2, b.a3, b.mass, kappa, sigma, w.factor)) return -1;
    double scale = 0;
    for (int i = 0; i < n; ++i) scale = std::max(scale, w.k(i, i) / b.mass(i, i));
    const double tolerance = kResidual * kEps * scale;
    const int steps = settings.nMaxSteps < 0 ? first + kLastLook : std::min(n - 1, settings.nMaxSteps);

    w.q.resize(n, steps + 1);
    w.mq.resize(n, steps + 1);
    w.alpha.resize(steps + 1);
    w.beta.resize(steps + 1);
    w.w.resize(n);
    w.mw.resize(n);
    w.z.resize(n);
    for (int i = 0; i < n; ++i) w.w(i) = Uniform(static_cast<uint64_t>(i));
    BandTimes(b.mass, w.w.data(), w.mw.data());
    const double start = std::sqrt(w.w.dot(w.mw));
    w.q.col(0) = w.w / start;
    w.mq.col(0) = w.mw / start;
    for (int j = 0; j < steps; ++j) {
        // w = (K - sigma M)^-1 M q_j, M-orthogonal to every earlier vector.
        w.w = w.mq.col(j);
        CholeskySolve(w.factor, w.w.data());
        const auto q = w.q.leftCols(j + 1);
        const auto mq = w.mq.leftCols(j + 1);
        // The three-term recurrence, then one pass against every vector (what rounding left of
        // them: the Ritz values stay free of copies).
        double alpha = w.mq.col(j).dot(w.w);
        w.w -= alpha * w.q.col(j);
        if (j > 0) w.w -= w.beta(j - 1) * w.q.col(j - 1);
        w.c.noalias() = mq.transpose() * w.w;
        w.w.noalias() -= q * w.c;
        alpha += w.c(j);
        BandTimes(b.mass, w.w.data(), w.mw.data());
        const double beta = std::sqrt(std::max(0.0, w.w.dot(w.mw)));
        ++w.nSteps;
        w.alpha(j) = alpha;
        w.beta(j) = beta;
        if (!(beta > kEps * std::abs(alpha))) return -1;  // an invariant subspace: never seen with this start
        w.q.col(j + 1) = w.w / beta;
        w.mq.col(j + 1) = w.mw / beta;
        const int size = j + 1;
        if (size != steps && (size < first || (size - first) % kLookEvery != 0)) continue;
        const int converged = Converged(pencil, size, wanted, sigma, tolerance, w);
        if (converged < 0) return -1;
        if (converged == 0) continue;
        const int found = Finish(pencil, kappa, limit, below, wanted, size, tolerance, out, w, vectors);
        if (found != -2) return found;
    }
    return -1;
}

}  // namespace numerics
