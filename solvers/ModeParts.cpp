#include "ModeParts.h"

#include <algorithm>
#include <cmath>

#include "BlasThreads.h"

extern "C" {
// LAPACK: selected eigenvalues and eigenvectors of a symmetric matrix (relatively robust
// representations). The trailing lengths are the hidden lengths of the character arguments.
void dsyevr_(const char* jobz, const char* range, const char* uplo, const int* n, double* a, const int* lda,
             const double* vl, const double* vu, const int* il, const int* iu, const double* abstol, int* m,
             double* w, double* z, const int* ldz, int* isuppz, double* work, const int* lwork, int* iwork,
             const int* liwork, int* info, size_t, size_t, size_t);
}

namespace numerics {

namespace {

// Relative size below which a coupling between two parts of the problem counts as none.
constexpr double kCouplingTolerance = 1e-12;

double Largest(const CSafeMatrices& m) {
    double size = 0;
    for (const Eigen::MatrixXd* x : {&m.K1, &m.K2, &m.K3, &m.M}) size = std::max(size, x->cwiseAbs().maxCoeff());
    return size;
}

// The mirror z -> -z maps unknown (node i, component c) to (node N-1-i, c), w~ changing sign.
int MirrorOf(int dof, int nodes) { return 3 * (nodes - 1 - dof / 3) + dof % 3; }
double MirrorSign(int dof) { return dof % 3 == 2 ? -1.0 : 1.0; }

bool IsMirrorSymmetric(const CSafeMatrices& m) {
    const int n = static_cast<int>(m.M.rows()), nodes = n / 3;
    if (nodes < 2) return false;
    const double limit = kCouplingTolerance * Largest(m);
    for (const Eigen::MatrixXd* x : {&m.K1, &m.K2, &m.K3, &m.M})
        for (int a = 0; a < n; ++a)
            for (int b = 0; b < n; ++b) {
                const double mirrored = MirrorSign(a) * MirrorSign(b) * (*x)(MirrorOf(a, nodes), MirrorOf(b, nodes));
                if (std::abs((*x)(a, b) - mirrored) > limit) return false;
            }
    return true;
}

// v (along the line load) decoupled from u and w: every ply has a symmetry axis along x.
bool IsShearDecoupled(const CSafeMatrices& m) {
    const int n = static_cast<int>(m.M.rows());
    const double limit = kCouplingTolerance * Largest(m);
    for (const Eigen::MatrixXd* x : {&m.K1, &m.K2, &m.K3, &m.M})
        for (int a = 0; a < n; ++a)
            for (int b = 0; b < n; ++b)
                if ((a % 3 == 1) != (b % 3 == 1) && std::abs((*x)(a, b)) > limit) return false;
    return true;
}

// One basis vector of the split problem: its column and which part it belongs to.
struct CBasisColumn {
    Eigen::VectorXd vector;
    bool bOdd = false;    // antisymmetric under the mirror
    bool bShear = false;  // a v unknown
};

std::vector<CBasisColumn> SplitBasis(int n, bool mirror) {
    std::vector<CBasisColumn> basis;
    const auto unit = [n](int dof) {
        Eigen::VectorXd v = Eigen::VectorXd::Zero(n);
        v(dof) = 1.0;
        return v;
    };
    if (!mirror) {
        for (int d = 0; d < n; ++d) basis.push_back({unit(d), false, d % 3 == 1});
        return basis;
    }
    // An odd node count has a middle node, its own image; the other nodes pair with theirs.
    const int nodes = n / 3, pairs = nodes / 2;
    const double r = std::sqrt(0.5);
    if (nodes % 2 == 1)
        for (int c = 0; c < 3; ++c) basis.push_back({unit(3 * pairs + c), c == 2, c == 1});
    for (int i = 0; i < pairs; ++i)
        for (int c = 0; c < 3; ++c) {
            const int a = 3 * i + c, b = MirrorOf(a, nodes);
            const double s = MirrorSign(a);
            basis.push_back({r * (unit(a) + s * unit(b)), false, c == 1});
            basis.push_back({r * (unit(a) - s * unit(b)), true, c == 1});
        }
    return basis;
}

Eigen::MatrixXd StandardForm(const Eigen::LLT<Eigen::MatrixXd>& llt, const Eigen::MatrixXd& k) {
    const auto l = llt.matrixL();
    const Eigen::MatrixXd x = l.solve(k);
    const Eigen::MatrixXd a = l.solve(x.transpose());
    return 0.5 * (a + a.transpose());
}

CPart MakePart(const CSafeMatrices& m, const std::vector<const Eigen::VectorXd*>& cols, std::string family) {
    const int n = static_cast<int>(m.M.rows());
    Eigen::MatrixXd t(n, static_cast<Eigen::Index>(cols.size()));
    for (size_t j = 0; j < cols.size(); ++j) t.col(static_cast<Eigen::Index>(j)) = *cols[j];
    const Eigen::LLT<Eigen::MatrixXd> llt(t.transpose() * m.M * t);
    CPart part;
    part.strFamily = std::move(family);
    part.a1 = StandardForm(llt, t.transpose() * m.K1 * t);
    part.a2 = StandardForm(llt, t.transpose() * m.K2 * t);
    part.a3 = StandardForm(llt, t.transpose() * m.K3 * t);
    // phi = t x with x = L^-T y.
    part.toFull = llt.matrixL().solve(t.transpose()).transpose();
    part.dNorm1 = part.a1.norm();
    part.dNorm2 = part.a2.norm();
    part.dNorm3 = part.a3.norm();
    return part;
}

}  // namespace

Eigen::VectorXd Mirrored(const Eigen::VectorXd& x) {
    const int n = static_cast<int>(x.size()), nodes = n / 3;
    Eigen::VectorXd y(n);
    for (int d = 0; d < n; ++d) y(MirrorOf(d, nodes)) = MirrorSign(d) * x(d);
    return y;
}

int MirrorParity(const Eigen::VectorXd& x) {
    const Eigen::VectorXd y = Mirrored(x);
    const double size = 1e-8 * x.norm();
    if ((x - y).norm() <= size) return 1;
    if ((x + y).norm() <= size) return -1;
    return 0;
}

void ProjectParity(Eigen::VectorXd& x, int parity) {
    if (parity != 0) x = 0.5 * (x + parity * Mirrored(x));
}

void ProjectFamily(Eigen::VectorXd& x, const std::string& family, bool mirror, bool shearApart) {
    const bool shear = family == "SH";
    if (mirror && !shear && (family == "S" || family == "A")) ProjectParity(x, family == "S" ? 1 : -1);
    if (shearApart && (shear || family == "S" || family == "A"))
        for (Eigen::Index d = 0; d < x.size(); ++d)
            if ((d % 3 == 1) != shear) x(d) = 0;
}

CModelParts MakeParts(const CSafeMatrices& m, bool split) {
    const int n = static_cast<int>(m.M.rows());
    CModelParts out;
    out.bMirrorSymmetric = split && IsMirrorSymmetric(m);
    out.bShearApart = split && IsShearDecoupled(m);
    const std::vector<CBasisColumn> basis = SplitBasis(n, out.bMirrorSymmetric);
    for (int odd = 0; odd < (out.bMirrorSymmetric ? 2 : 1); ++odd)
        for (int v = 0; v < (out.bShearApart ? 2 : 1); ++v) {
            std::vector<const Eigen::VectorXd*> cols;
            for (const CBasisColumn& c : basis)
                if ((!out.bMirrorSymmetric || c.bOdd == (odd == 1)) && (!out.bShearApart || c.bShear == (v == 1)))
                    cols.push_back(&c.vector);
            if (cols.empty()) continue;
            out.parts.push_back(MakePart(m, cols, v == 1 ? "SH" : out.bMirrorSymmetric ? (odd == 1 ? "A" : "S") : "M"));
        }
    return out;
}

bool PartPairs(const CPart& p, double kappa, int first, int last, CEigenPairs& out) {
    KeepBlasOnOneThread();
    Eigen::MatrixXd a = p.At(kappa);
    const int n = static_cast<int>(a.rows());
    if (first < 0 || last >= n || last < first) return false;
    const int il = first + 1, iu = last + 1, count = last - first + 1;
    const double vl = 0, vu = 0, abstol = 0;
    int found = 0, info = 0;
    out.lambda.resize(n);
    out.vectors.resize(n, count);
    std::vector<int> isuppz(2 * std::max(1, count));
    double workSize = 0;
    int iworkSize = 0, query = -1;
    dsyevr_("V", "I", "L", &n, a.data(), &n, &vl, &vu, &il, &iu, &abstol, &found, out.lambda.data(),
            out.vectors.data(), &n, isuppz.data(), &workSize, &query, &iworkSize, &query, &info, 1, 1, 1);
    if (info != 0) return false;
    const int lwork = static_cast<int>(workSize), liwork = iworkSize;
    std::vector<double> work(std::max(1, lwork));
    std::vector<int> iwork(std::max(1, liwork));
    dsyevr_("V", "I", "L", &n, a.data(), &n, &vl, &vu, &il, &iu, &abstol, &found, out.lambda.data(),
            out.vectors.data(), &n, isuppz.data(), work.data(), &lwork, iwork.data(), &liwork, &info, 1, 1, 1);
    if (info != 0 || found != count) return false;
    out.lambda.conservativeResize(count);
    return out.lambda.allFinite() && out.vectors.allFinite();
}

double Slope(const CPart& part, const Eigen::VectorXd& y, double kappa, double omega) {
    if (!(omega > 0)) return 0;
    return y.dot((2.0 * kappa) * (part.a1 * y) + part.a2 * y) / (2.0 * omega);
}

CZeroLimit ZeroFrequencyLimit(const CPart& part) {
    CZeroLimit out;
    const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> es(part.a3);
    const Eigen::VectorXd& d = es.eigenvalues();
    const double top = std::max(d.cwiseAbs().maxCoeff(), 1e-300);
    // A rigid motion's eigenvalue is rounding of the size eps |a3|; the lowest elastic one of
    // any model the input allows is many orders above it.
    std::vector<int> rigid, elastic;
    for (Eigen::Index i = 0; i < d.size(); ++i) (d(i) <= 1e-11 * top ? rigid : elastic).push_back(static_cast<int>(i));
    if (rigid.empty()) return out;
    const Eigen::Index m = static_cast<Eigen::Index>(rigid.size());
    Eigen::MatrixXd p(part.Size(), m), q(part.Size(), static_cast<Eigen::Index>(elastic.size()));
    for (Eigen::Index j = 0; j < m; ++j) p.col(j) = es.eigenvectors().col(rigid[j]);
    Eigen::VectorXd inverse(q.cols());
    for (Eigen::Index j = 0; j < q.cols(); ++j) {
        q.col(j) = es.eigenvectors().col(elastic[j]);
        inverse(j) = 1.0 / d(elastic[j]);
    }
    // omega^2 = kappa^2 mu + O(kappa^3): the first-order term p^T a2 p vanishes (a3 p = 0 means
    // p has no strain of the kappa-free kind), the second is a1 less what a3 relaxes of a2 p.
    const Eigen::MatrixXd coupling = q.transpose() * (part.a2 * p);
    Eigen::MatrixXd s = p.transpose() * part.a1 * p - coupling.transpose() * inverse.asDiagonal() * coupling;
    s = 0.5 * (s + s.transpose());
    const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> small(s);
    out.speed.resize(m);
    for (Eigen::Index j = 0; j < m; ++j) {
        const double mu = small.eigenvalues()(j);
        // A bending motion's mu is zero but for rounding of the size of a1's.
        out.speed(j) = mu > 1e-9 * part.dNorm1 ? std::sqrt(mu) : 0.0;
    }
    out.vectors = p * small.eigenvectors();
    return out;
}

}  // namespace numerics
