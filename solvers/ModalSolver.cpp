#include "ModalSolver.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "BlasThreads.h"
#include "ShiftedBand.h"
#include "LowModes.h"

extern "C" {
// LAPACK: eigenvalues of a symmetric tridiagonal matrix.
void dsterf_(const int* n, double* d, double* e, int* info);
}

namespace numerics {

namespace {

// The widest coupling a block's basis can have between two of its unknowns, for a whole of
// half-width `width` (a block only ever thins the element's couplings out).
int ScanWidth(int width) { return 3 * width + 3; }
// Blocks of at least kDenseLeast unknowns whose stiffness half-width is at least 1 /
// kDenseWidthShare of their size are reduced densely (measured on the element-order runs); from a
// half-width of kWideBand on, where the plane rotations' working set outgrows the cache, already at
// 1 / kWideShare (measured: equal at half-width 9, 1.6 times faster at 33, 6 times at 129).
constexpr int kDenseLeast = 32;
constexpr int kDenseWidthShare = 4;
constexpr int kWideBand = 15;
constexpr int kWideShare = 12;
// Relative size below which a coupling counts as absent (rounding of a 90 degree turn).
constexpr double kCouplingTolerance = 1e-12;

double MaxAbs(const CSymBand& x) {
    double m = 0;
    for (int j = 0; j < x.Size(); ++j)
        for (int i = j; i <= std::min(x.Size() - 1, j + x.Width()); ++i) m = std::max(m, std::abs(x(i, j)));
    return m;
}

// Whether the mirror z -> -z (node i <-> node N-1-i, w~ changing sign) maps every matrix onto
// itself, so that symmetric and antisymmetric modes separate.
bool IsMirrorSymmetric(const CBandMatrices& m) {
    const int n = m.M.Size(), nodes = n / 3;
    const auto mirror = [&](int dof) { return 3 * (nodes - 1 - dof / 3) + dof % 3; };
    const auto sign = [](int dof) { return dof % 3 == 2 ? -1.0 : 1.0; };
    for (const CSymBand* x : {&m.K1, &m.K2, &m.K3, &m.M}) {
        const double limit = kCouplingTolerance * MaxAbs(*x);
        for (int j = 0; j < n; ++j)
            for (int i = j; i <= std::min(n - 1, j + x->Width()); ++i) {
                const double image = sign(i) * sign(j) * x->Get(mirror(i), mirror(j));
                if (std::abs((*x)(i, j) - image) > limit) return false;
            }
    }
    return true;
}

// Whether no matrix couples v with u or w~.
bool ShearIsApart(const CBandMatrices& m) {
    const int n = m.M.Size();
    for (const CSymBand* x : {&m.K1, &m.K2, &m.K3, &m.M}) {
        const double limit = kCouplingTolerance * MaxAbs(*x);
        for (int j = 0; j < n; ++j)
            for (int i = j; i <= std::min(n - 1, j + x->Width()); ++i)
                if (((i % 3 == 1) != (j % 3 == 1)) && std::abs((*x)(i, j)) > limit) return false;
    }
    return true;
}

// The half-width of the nonzero part of the dense matrices.
int WidthOf(const CSafeMatrices& m) {
    int width = 0;
    for (const Eigen::MatrixXd* x : {&m.K1, &m.K2, &m.K3, &m.M})
        for (int j = 0; j < x->cols(); ++j)
            for (int i = j + width + 1; i < x->rows(); ++i)
                if ((*x)(i, j) != 0) width = i - j;
    return width;
}

CSymBand BandOf(const Eigen::MatrixXd& x, int width) {
    const int n = static_cast<int>(x.rows());
    CSymBand b(n, width);
    for (int j = 0; j < n; ++j)
        for (int i = j; i <= std::min(n - 1, j + width); ++i) b(i, j) = x(i, j);
    return b;
}

// Implicit QL with Wilkinson shifts on the tridiagonal (d, e), e(i) coupling i and i+1. Each
// rotation acts on the rows of the eigenvector matrix one by one, so only the rows wanted
// are carried along: O(n^2) instead of O(n^3).
bool TridiagonalQl(Eigen::VectorXd& d, Eigen::VectorXd& e, CCarriedRows& carried) {
    const int n = static_cast<int>(d.size());
    const int count = carried.count;
    Eigen::Matrix3Xd& rows = carried.rows;
    const double eps = std::numeric_limits<double>::epsilon();
    for (int l = 0; l < n; ++l) {
        int iter = 0, m = l;
        do {
            for (m = l; m < n - 1; ++m) {
                const double dd = std::abs(d(m)) + std::abs(d(m + 1));
                if (std::abs(e(m)) <= eps * dd) break;
            }
            if (m == l) break;
            if (++iter > 60) return false;
            double g = (d(l + 1) - d(l)) / (2.0 * e(l));
            double r = std::hypot(g, 1.0);
            g = d(m) - d(l) + e(l) / (g + std::copysign(r, g));
            double s = 1, c = 1, p = 0;
            int i = m - 1;
            for (; i >= l; --i) {
                const double f = s * e(i), b = c * e(i);
                // |f|, |g| are of the size of the spectrum: no overflow, and the square root
                // is several times cheaper than hypot.
                e(i + 1) = r = std::sqrt(f * f + g * g);
                if (r == 0) {
                    d(i + 1) -= p;
                    e(m) = 0;
                    break;
                }
                s = f / r;
                c = g / r;
                g = d(i + 1) - p;
                r = (d(i) - g) * s + 2.0 * c * b;
                p = s * r;
                d(i + 1) = g + p;
                g = c * r - b;
                for (int k = 0; k < count; ++k) {
                    const double zf = rows(k, i + 1);
                    rows(k, i + 1) = s * rows(k, i) + c * zf;
                    rows(k, i) = c * rows(k, i) - s * zf;
                }
            }
            if (r == 0 && i >= l) continue;
            d(l) -= p;
            e(l) = g;
            e(m) = 0;
        } while (m != l);
    }
    return true;
}

}  // namespace

CModalSolver::CModalSolver(const CBandMatrices& m, bool splitSymmetric) { Build(m, splitSymmetric); }

CModalSolver::CModalSolver(const CBandMatrices& m, bool splitSymmetric, bool splitShear) {
    Build(m, splitSymmetric, splitShear);
}

bool CModalSolver::SameBlocks(const CModalSolver& o) const {
    if (m_nSize != o.m_nSize || m_bMirror != o.m_bMirror || m_bShearApart != o.m_bShearApart ||
        m_blocks.size() != o.m_blocks.size())
        return false;
    for (size_t i = 0; i < m_blocks.size(); ++i) {
        const CBlock &a = m_blocks[i], &b = o.m_blocks[i];
        if (a.nSize != b.nSize || a.ka != b.ka || a.kb != b.kb || a.bDense != b.bDense || a.moves != b.moves ||
            a.top != b.top)
            return false;
        for (int col = 0; col < a.nSize; ++col)
            for (int r = 0; r <= std::min(a.kb, a.nSize - 1 - col); ++r)
                if (a.mass.Column(col)[r] != b.mass.Column(col)[r]) return false;
    }
    return true;
}

void CModalSolver::MixStiffness(const std::vector<CModalSolver>& samples, const double* weights) {
    for (size_t i = 0; i < m_blocks.size(); ++i) {
        CBlock& out = m_blocks[i];
        if (out.nSize == 0) continue;
        // Whole band arrays at once: the unused corner of the band is zero in every sample.
        const size_t length = static_cast<size_t>(out.nSize) * static_cast<size_t>(out.ka + 1);
        for (CSymBand CBlock::*member : {&CBlock::a1, &CBlock::a2, &CBlock::a3}) {
            double* o = (out.*member).Column(0);
            std::fill(o, o + length, 0.0);
            for (size_t j = 0; j < samples.size(); ++j) {
                const double* x = (samples[j].m_blocks[i].*member).Column(0);
                const double w = weights[j];
                for (size_t e = 0; e < length; ++e) o[e] += w * x[e];
            }
        }
    }
}

std::vector<CModalSolver::CBlockShape> CModalSolver::BlockShapes() const {
    std::vector<CBlockShape> shapes;
    for (const CBlock& b : m_blocks) shapes.push_back({b.nSize, b.ka, b.kb, b.bDense, b.moves});
    return shapes;
}

CModalSolver::CModalSolver(const CSafeMatrices& m, bool splitSymmetric) {
    const int width = WidthOf(m);
    CBandMatrices bands{BandOf(m.K1, width), BandOf(m.K2, width), BandOf(m.K3, width), BandOf(m.M, width)};
    Build(bands, splitSymmetric);
}

void CModalSolver::Build(const CBandMatrices& m, bool splitSymmetric, bool splitShear) {
    KeepBlasOnOneThread();
    m_nSize = m.M.Size();
    const int nodes = m_nSize / 3;
    std::vector<std::vector<CBasisVector>> groups;
    m_bMirror = splitSymmetric && nodes >= 2 && IsMirrorSymmetric(m);
    if (m_bMirror) {
        // Symmetric and antisymmetric combinations of each node and its image, from the middle
        // outward, so that each half keeps the band; the pair (bottom, top) comes last. With an
        // odd node count the middle node is its own image.
        const double r = std::sqrt(0.5);
        const int middle = nodes / 2;  // the middle node, or the first node above the middle
        std::vector<CBasisVector> even, odd;
        if (nodes % 2 == 1) {
            even.push_back({{3 * middle, 0}, {1.0, 0}, 1, 0});
            even.push_back({{3 * middle + 1, 0}, {1.0, 0}, 1, 1});
            odd.push_back({{3 * middle + 2, 0}, {1.0, 0}, 1, 2});
        }
        for (int i = (nodes - 1) / 2 - (nodes % 2 == 1 ? 1 : 0); i >= 0; --i) {
            const int j = nodes - 1 - i;
            for (int c = 0; c < 3; ++c) {
                const double sign = c == 2 ? -1.0 : 1.0;  // w~ flips under the mirror
                even.push_back({{3 * i + c, 3 * j + c}, {r, sign * r}, 2, c});
                odd.push_back({{3 * i + c, 3 * j + c}, {r, -sign * r}, 2, c});
            }
        }
        groups = {even, odd};
    } else {
        std::vector<CBasisVector> whole;
        for (int dof = 0; dof < m_nSize; ++dof) whole.push_back({{dof, 0}, {1.0, 0}, 1, dof % 3});
        groups = {whole};
    }
    m_bShearApart = splitShear && ShearIsApart(m);
    for (const auto& group : groups) {
        if (!m_bShearApart) {
            AddBlock(m, group);
            continue;
        }
        std::vector<CBasisVector> lamb, shear;
        for (const CBasisVector& v : group) (v.component == 1 ? shear : lamb).push_back(v);
        if (!lamb.empty()) AddBlock(m, lamb);
        if (!shear.empty()) AddBlock(m, shear);
    }
}

void CModalSolver::AddBlock(const CBandMatrices& m, const std::vector<CBasisVector>& basis) {
    CBlock b;
    const int n = static_cast<int>(basis.size());
    b.nSize = n;
    const auto project = [&](const CSymBand& x, int i, int j) {
        double v = 0;
        for (int s = 0; s < basis[i].terms; ++s)
            for (int t = 0; t < basis[j].terms; ++t)
                v += basis[i].coeff[s] * basis[j].coeff[t] * x.Get(basis[i].dof[s], basis[j].dof[t]);
        return v;
    };
    // The half-widths the basis really has.
    int ka = 0, kb = 0;
    for (int j = 0; j < n; ++j)
        for (int i = j; i <= std::min(n - 1, j + ScanWidth(m.M.Width())); ++i) {
            if (project(m.K1, i, j) != 0 || project(m.K2, i, j) != 0 || project(m.K3, i, j) != 0)
                ka = std::max(ka, i - j);
            if (project(m.M, i, j) != 0) kb = std::max(kb, i - j);
        }
    // The reduction to standard form wants the stiffness at least one wider than the mass.
    ka = std::max(ka, kb + 1);
    b.ka = ka;
    b.kb = kb;
    CSymBand mass(n, kb);
    for (CSymBand* x : {&b.a1, &b.a2, &b.a3}) x->Resize(n, ka);
    for (int j = 0; j < n; ++j) {
        for (int i = j; i <= std::min(n - 1, j + ka); ++i) {
            b.a1(i, j) = project(m.K1, i, j);
            b.a2(i, j) = project(m.K2, i, j);
            b.a3(i, j) = project(m.K3, i, j);
        }
        for (int i = j; i <= std::min(n - 1, j + kb); ++i) mass(i, j) = project(m.M, i, j);
    }
    FactorFromBottom(mass, kb, b.uT);  // a mass matrix is positive definite
    b.mass = std::move(mass);
    b.bDense = n >= kDenseLeast && (kDenseWidthShare * ka >= n || (ka >= kWideBand && kWideShare * ka >= n));
    if (b.bDense) {
        b.u = Eigen::MatrixXd::Zero(n, n);
        for (int j = 0; j < n; ++j)
            for (int i = std::max(0, j - kb); i <= j; ++i) b.u(i, j) = b.uT(j, i);
    }
    const int top = m.M.Size() - 3;
    b.top = Eigen::Matrix3Xd::Zero(3, n);
    for (int i = 0; i < n; ++i)
        for (int s = 0; s < basis[i].terms; ++s)
            if (basis[i].dof[s] >= top) b.top(basis[i].dof[s] - top, i) = basis[i].coeff[s];
    for (int d = 0; d < 3; ++d) b.moves[d] = b.top.row(d).cwiseAbs().maxCoeff() > 0;
    m_blocks.push_back(std::move(b));
}

void CModalSolver::ReduceDense(const CBlock& b, double kappa, CWorkspace& ws, bool withRows) {
    const int n = b.nSize, ka = b.ka;
    Eigen::MatrixXd& a = ws.dense;
    a.setZero(n, n);
    const double k2 = kappa * kappa;
    for (int j = 0; j < n; ++j)
        for (int i = j; i <= std::min(n - 1, j + ka); ++i)
            a(i, j) = a(j, i) = k2 * b.a1(i, j) + kappa * b.a2(i, j) + b.a3(i, j);
    // C = U^-1 K U^-T, and the rows carried become rows U^-T, as X = U^-T has X^T M X = I.
    const auto u = b.u.triangularView<Eigen::Upper>();
    u.solveInPlace(a);
    a.transposeInPlace();
    u.solveInPlace(a);
    Eigen::MatrixXd rows;
    if (withRows) {
        rows = ws.rows.rows.topRows(ws.rows.count).transpose();
        u.solveInPlace(rows);
    }
    const Eigen::Tridiagonalization<Eigen::MatrixXd> tri(a);
    ws.d = tri.diagonal();
    ws.e.setZero(n);
    ws.e.head(n - 1) = tri.subDiagonal();
    if (withRows) {
        rows.applyOnTheLeft(tri.matrixQ().transpose());  // rows Q, with C = Q T Q^T
        ws.rows.rows.topRows(ws.rows.count) = rows.transpose();
    }
}

void CModalSolver::Reduce(const CBlock& b, double kappa, CWorkspace& ws, bool withRows) {
    if (b.bDense) {
        ReduceDense(b, kappa, ws, withRows);
        return;
    }
    const int n = b.nSize, ka = b.ka;
    const int width = std::max(ka + b.kb, ka + 1);
    if (ws.a.Size() != n || ws.a.Width() != width)
        ws.a.Resize(n, width);
    else
        ws.a.SetZero();
    const double k2 = kappa * kappa;
    for (int j = 0; j < n; ++j) {
        const int last = std::min(n - 1, j + ka) - j;
        double* out = ws.a.Column(j);
        const double* x1 = b.a1.Column(j);
        const double* x2 = b.a2.Column(j);
        const double* x3 = b.a3.Column(j);
        for (int k = 0; k <= last; ++k) out[k] = k2 * x1[k] + kappa * x2[k] + x3[k];
    }
    CCarriedRows* rows = withRows ? &ws.rows : nullptr;
    ReduceToStandard(ws.a, ka, b.uT, b.kb, rows);
    ReduceToTridiagonal(ws.a, ka, ws.d, ws.e, rows);
}

void CModalSolver::Diagonalise(CWorkspace& ws) {
    const Eigen::VectorXd d = ws.d, e = ws.e;
    const Eigen::Matrix3Xd rows = ws.rows.rows;
    if (TridiagonalQl(ws.d, ws.e, ws.rows)) return;
    // Never seen; a dense solve of the same tridiagonal matrix is the safe way out.
    const int n = static_cast<int>(d.size());
    Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> es;
    es.computeFromTridiagonal(d, e.head(std::max(0, n - 1)), Eigen::ComputeEigenvectors);
    ws.d = es.eigenvalues();
    ws.rows.rows = rows * es.eigenvectors();
}

void CModalSolver::Solve(double kappa, CModes& out, CWorkspace& ws) const {
    out.omegaSquared.resize(m_nSize);
    out.top.resize(3, m_nSize);
    int at = 0;
    for (int i = 0; i < BlockCount(); ++i) {
        const int n = SolveBlockInPlace(i, kappa, ws);
        out.omegaSquared.segment(at, n) = ws.d;
        out.top.middleCols(at, n) = ws.rows.rows;
        at += n;
    }
}

void CModalSolver::SolveBlock(int block, double kappa, CModes& out, CWorkspace& ws) const {
    SolveBlockInPlace(block, kappa, ws);
    out.omegaSquared = ws.d;
    out.top = ws.rows.rows;
}

int CModalSolver::SolveBlockInPlace(int block, double kappa, CWorkspace& ws) const {
    const CBlock& b = m_blocks[static_cast<size_t>(block)];
    ws.rows.rows = b.top;
    ws.rows.count = 3;
    Reduce(b, kappa, ws, true);
    Diagonalise(ws);
    return b.nSize;
}

int CModalSolver::SolveProducts(double kappa, int a, int b, double* omegaSquared, double* product,
                                CWorkspace& ws) const {
    int at = 0;
    for (const CBlock& block : m_blocks) {
        if (!block.moves[a] || !block.moves[b]) continue;
        const int n = block.nSize;
        ws.rows.rows.resize(3, n);
        ws.rows.rows.row(0) = block.top.row(a);
        ws.rows.rows.row(1) = block.top.row(b);
        ws.rows.count = a == b ? 1 : 2;
        Reduce(block, kappa, ws, true);
        Diagonalise(ws);
        const int second = a == b ? 0 : 1;
        for (int j = 0; j < n; ++j) {
            omegaSquared[at + j] = ws.d(j);
            product[at + j] = ws.rows.rows(0, j) * ws.rows.rows(second, j);
        }
        at += n;
    }
    return at;
}

bool CModalSolver::StaticProducts(double kappa, double omegaSquaredAbove, int a, int b, double& flexibility,
                                  double& second, CWorkspace& ws) const {
    const int comps[2] = {a, b};
    Eigen::Matrix3d f, s;
    const bool ok = StaticSums(kappa, omegaSquaredAbove, comps, 2, false, f, s, ws);
    flexibility = ok ? f(0, 1) : 0.0;
    second = ok ? s(0, 1) : 0.0;
    return ok;
}

bool CModalSolver::StaticMatrices(double kappa, double omegaSquaredAbove, Eigen::Matrix3d& flexibility,
                                  Eigen::Matrix3d& second, CWorkspace& ws) const {
    const int comps[3] = {0, 1, 2};
    return StaticSums(kappa, omegaSquaredAbove, comps, 3, true, flexibility, second, ws);
}

bool CModalSolver::AllModesAbove(double kappa, double omegaSquared, CWorkspace& ws) const {
    for (const CBlock& block : m_blocks)
        if (!PositiveDefiniteShifted(block.a1, block.a2, block.a3, block.mass, kappa, omegaSquared, ws.a)) return false;
    return true;
}

bool CModalSolver::StaticSums(double kappa, double omegaSquaredAbove, const int* comps, int count, bool every,
                              Eigen::Matrix3d& flexibility, Eigen::Matrix3d& second, CWorkspace& ws) const {
    flexibility.setZero();
    second.setZero();
    const auto used = [&](const CBlock& block) {
        bool all = true, any = false;
        for (int c = 0; c < count; ++c) {
            all = all && block.moves[comps[c]];
            any = any || block.moves[comps[c]];
        }
        return every ? any : all;
    };
    for (const CBlock& block : m_blocks) {
        if (!used(block)) continue;
        if (!FactorShifted(block.a1, block.a2, block.a3, block.mass, kappa, omegaSquaredAbove, ws.a)) return false;
    }
    for (const CBlock& block : m_blocks) {
        if (!used(block)) continue;
        const int n = block.nSize;
        FactorShifted(block.a1, block.a2, block.a3, block.mass, kappa, 0.0, ws.a);
        Eigen::MatrixXd& x = ws.dense;
        x.resize(n, count);
        for (int c = 0; c < count; ++c) x.col(c) = block.top.row(comps[c]).transpose();
        SolveFactored(ws.a, x);
        // x_a^T M x_b through the lower band of M.
        const CSymBand& m = block.mass;
        for (int p = 0; p < count; ++p)
            for (int q = p; q < count; ++q) {
                flexibility(p, q) += block.top.row(comps[p]).dot(x.col(q));
                double& sum = second(p, q);  // summed on, block after block
                for (int j = 0; j < n; ++j) {
                    sum += m(j, j) * x(j, p) * x(j, q);
                    for (int i = j + 1; i <= std::min(n - 1, j + m.Width()); ++i)
                        sum += m(i, j) * (x(i, p) * x(j, q) + x(j, p) * x(i, q));
                }
            }
    }
    for (int p = 0; p < count; ++p)
        for (int q = 0; q < p; ++q) {
            flexibility(p, q) = flexibility(q, p);
            second(p, q) = second(q, p);
        }
    return true;
}

int CModalSolver::CountBelow(double kappa, double omegaSquared, int a, int b) const {
    int count = 0;
    CSymBand x;
    for (const CBlock& block : m_blocks) {
        if (!block.moves[a] || !block.moves[b]) continue;
        FormShifted(block.a1, block.a2, block.a3, block.mass, kappa, omegaSquared, x);
        // A vanishing pivot is taken as a small positive one: the mode sits on the frequency.
        count += NegativePivots(x);
    }
    return count;
}

Eigen::VectorXd CModalSolver::Frequencies(double kappa, CWorkspace& ws) const {
    Eigen::VectorXd omega(m_nSize);
    int at = 0;
    for (const CBlock& b : m_blocks) {
        Reduce(b, kappa, ws, false);
        int info = 0;
        dsterf_(&b.nSize, ws.d.data(), ws.e.data(), &info);
        for (int i = 0; i < b.nSize; ++i) omega(at++) = std::sqrt(std::max(0.0, ws.d(i)));
    }
    std::sort(omega.data(), omega.data() + m_nSize);
    return omega;
}

}  // namespace numerics
