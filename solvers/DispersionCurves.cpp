#include "DispersionCurves.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>

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

// One independent part of the problem in standard form: eigenvectors y with y^T y = 1 are
// the mass-normalised modes, and y_a^T y_b their M-weighted overlap.
struct CPart {
    std::string strFamily;
    Eigen::MatrixXd a1, a2, a3;
};

struct CEigenPairs {
    Eigen::VectorXd lambda;  // ascending
    Eigen::MatrixXd vectors;
};

// The lowest `count` eigenpairs of A = kappa^2 A1 + kappa A2 + A3.
bool LowestPairs(const CPart& p, double kappa, int count, CEigenPairs& out) {
    Eigen::MatrixXd a = (kappa * kappa) * p.a1 + kappa * p.a2 + p.a3;
    const int n = static_cast<int>(a.rows());
    count = std::min(count, n);
    const int il = 1, iu = count;
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

std::vector<CPart> MakeParts(const CSafeMatrices& m, bool split, bool& mirrorSymmetric) {
    const int n = static_cast<int>(m.M.rows());
    mirrorSymmetric = split && IsMirrorSymmetric(m);
    const bool shear = split && IsShearDecoupled(m);
    const std::vector<CBasisColumn> basis = SplitBasis(n, mirrorSymmetric);
    std::vector<CPart> parts;
    for (int odd = 0; odd < (mirrorSymmetric ? 2 : 1); ++odd)
        for (int v = 0; v < (shear ? 2 : 1); ++v) {
            std::vector<const Eigen::VectorXd*> cols;
            for (const CBasisColumn& c : basis)
                if ((!mirrorSymmetric || c.bOdd == (odd == 1)) && (!shear || c.bShear == (v == 1)))
                    cols.push_back(&c.vector);
            if (cols.empty()) continue;
            Eigen::MatrixXd t(n, static_cast<Eigen::Index>(cols.size()));
            for (size_t j = 0; j < cols.size(); ++j) t.col(static_cast<Eigen::Index>(j)) = *cols[j];
            const Eigen::LLT<Eigen::MatrixXd> llt(t.transpose() * m.M * t);
            CPart part;
            part.a1 = StandardForm(llt, t.transpose() * m.K1 * t);
            part.a2 = StandardForm(llt, t.transpose() * m.K2 * t);
            part.a3 = StandardForm(llt, t.transpose() * m.K3 * t);
            part.strFamily = v == 1 ? "SH" : mirrorSymmetric ? (odd == 1 ? "A" : "S") : "M";
            parts.push_back(std::move(part));
        }
    return parts;
}

// The smallest squared bulk speed along x over the model (the slowest Christoffel wave).
double SlowestSpeedSquared(const CThicknessModel& model) {
    double slowest = std::numeric_limits<double>::infinity();
    for (const CElement& e : model.elements)
        for (size_t g = 0; g < e.density.size(); ++g) {
            const Eigen::Matrix3d gamma = ChristoffelMatrix(e.stiffness[g], 1.0, 0.0);
            const double low = Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d>(gamma).eigenvalues()(0);
            slowest = std::min(slowest, low / e.density[g]);
        }
    return slowest;
}

double LowestOmega(const std::vector<CPart>& parts, double kappa) {
    double lowest = std::numeric_limits<double>::infinity();
    CEigenPairs pairs;
    for (const CPart& p : parts)
        if (LowestPairs(p, kappa, 1, pairs)) lowest = std::min(lowest, std::sqrt(std::max(0.0, pairs.lambda(0))));
    return lowest;
}

// The kappa samples. For a frequency range they run up to where even the slowest mode is above
// the highest frequency, so every mode leaves the range through its top.
std::vector<double> SampleKappas(const CThicknessModel& model, const std::vector<CPart>& parts,
                                 const CDispersionRequest& r) {
    std::vector<double> kappas;
    const int n = r.nPoints;
    if (r.range == EDispersionRange::kWavenumber) {
        for (int i = 0; i < n; ++i) kappas.push_back(n == 1 ? r.dFrom : r.dFrom + (r.dTo - r.dFrom) * i / (n - 1));
        return kappas;
    }
    const double scale = model.bShell ? model.dOuterRadius : 1.0;  // k on the top surface -> order n
    double top = r.dTo / (0.8 * std::sqrt(SlowestSpeedSquared(model))) * scale;
    for (int i = 0; i < 40 && LowestOmega(parts, top) < r.dTo; ++i) top *= 1.5;
    for (int i = 1; i <= n; ++i) kappas.push_back(top * i / n);
    return kappas;
}

struct CTrace {
    int nPart = 0;
    int nFirstStep = 0;
    double dFirstOmega = 0;
    bool bActive = true;
    Eigen::VectorXd last;
    std::vector<CModePoint> points;
};

// Joins this step's modes of one part to the lines that reached the previous step: the pairs
// of largest overlap first. A mode nothing continues into starts a line of its own.
void ContinueLines(std::vector<CTrace>& traces, int part, int step, const CEigenPairs& pairs,
                   const std::vector<CModePoint>& points) {
    std::vector<int> open;
    for (int t = 0; t < static_cast<int>(traces.size()); ++t)
        if (traces[t].nPart == part && traces[t].bActive) open.push_back(t);
    const int count = static_cast<int>(pairs.lambda.size());
    struct CPair { double overlap; int trace, mode; };
    std::vector<CPair> candidates;
    for (int t : open)
        for (int j = 0; j < count; ++j) {
            const double o = std::abs(traces[t].last.dot(pairs.vectors.col(j)));
            if (o > 0.1) candidates.push_back({o, t, j});
        }
    std::sort(candidates.begin(), candidates.end(), [](const CPair& a, const CPair& b) { return a.overlap > b.overlap; });
    std::vector<int> traceOf(count, -1);
    std::vector<bool> taken(traces.size(), false);
    for (const CPair& c : candidates)
        if (traceOf[c.mode] < 0 && !taken[c.trace]) {
            traceOf[c.mode] = c.trace;
            taken[c.trace] = true;
        }
    for (int t : open)
        if (!taken[t]) traces[t].bActive = false;
    for (int j = 0; j < count; ++j) {
        if (traceOf[j] < 0) {
            CTrace fresh;
            fresh.nPart = part;
            fresh.nFirstStep = step;
            fresh.dFirstOmega = std::sqrt(std::max(0.0, pairs.lambda(j)));
            traces.push_back(std::move(fresh));
            traceOf[j] = static_cast<int>(traces.size()) - 1;
        }
        CTrace& line = traces[traceOf[j]];
        line.last = pairs.vectors.col(j);
        if (points[j].dOmega > 0) line.points.push_back(points[j]);
    }
}

// Frequency, wavenumber and velocities of every pair at one kappa; a point of no frequency
// (a rigid motion) has no velocities and is marked by dOmega 0.
std::vector<CModePoint> MakePoints(const CPart& p, const CEigenPairs& pairs, double kappa, double radius) {
    const Eigen::MatrixXd slope = (2.0 * kappa) * p.a1 + p.a2;  // dA / dkappa
    const double top = std::sqrt(std::max(0.0, pairs.lambda.maxCoeff()));
    std::vector<CModePoint> points;
    for (Eigen::Index j = 0; j < pairs.lambda.size(); ++j) {
        CModePoint pt;
        pt.dKappa = kappa;
        const double omega = std::sqrt(std::max(0.0, pairs.lambda(j)));
        if (omega > 1e-7 * top && kappa > 0) {
            const auto y = pairs.vectors.col(j);
            pt.dOmega = omega;
            pt.dWavenumber = kappa / radius;
            pt.dPhase = omega / pt.dWavenumber;
            pt.dGroup = y.dot(slope * y) / (2.0 * omega) * radius;
        }
        points.push_back(pt);
    }
    return points;
}

// Names by family, numbered from the lowest frequency at the first sample (SH numbered over
// both mirror parts together), and only the lowest `modes` lines present from the start.
std::vector<CModeLine> NameLines(std::vector<CTrace>& traces, const std::vector<CPart>& parts, int modes) {
    std::vector<int> order(traces.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        if (traces[a].nFirstStep != traces[b].nFirstStep) return traces[a].nFirstStep < traces[b].nFirstStep;
        return traces[a].dFirstOmega < traces[b].dFirstOmega;
    });
    std::map<std::string, int> next;
    std::vector<CModeLine> lines;
    int kept = 0;
    for (int t : order) {
        const std::string& family = parts[traces[t].nPart].strFamily;
        const int number = next[family]++;
        if (traces[t].nFirstStep != 0 || kept >= modes) continue;
        ++kept;
        if (traces[t].points.empty()) continue;
        lines.push_back({family + std::to_string(number), std::move(traces[t].points)});
    }
    return lines;
}

}  // namespace

std::string CheckDispersionRequest(const CDispersionRequest& r) {
    if (!std::isfinite(r.dFrom) || !std::isfinite(r.dTo)) return "the dispersion range must be finite";
    if (r.nPoints < 1 || r.nPoints > kMaxDispersionPoints)
        return "the number of dispersion points must be from 1 to " + std::to_string(kMaxDispersionPoints);
    if (r.nModes < 1) return "the number of modes must be 1 or more";
    if (r.range == EDispersionRange::kWavenumber) {
        if (!(r.dFrom > 0)) return "the wavenumber range must start above 0";
        if (r.dTo < r.dFrom) return "the wavenumber range must not end below its start";
    } else {
        if (r.dFrom < 0) return "the frequency range must not start below 0";
        if (!(r.dTo > r.dFrom)) return "the frequency range must end above its start";
    }
    return {};
}

CDispersionCurves TraceDispersion(const CThicknessModel& model, const CDispersionRequest& request,
                                  const std::function<void(int)>& progress) {
    CDispersionCurves out;
    out.error = CheckDispersionRequest(request);
    if (!out.error.empty()) return out;
    const double n = model.DofCount();
    // Each sample is a dense eigen-solve: keep a run within minutes.
    if (request.nPoints * n * n * n > 2e12) {
        out.error = "too many dispersion points for the model's " + std::to_string(model.DofCount()) +
                    " unknowns: ask for fewer points or sublayers";
        return out;
    }
    const CSafeMatrices m = Assemble(model);
    const std::vector<CPart> parts = MakeParts(m, request.bSplit, out.bMirrorSymmetric);
    const std::vector<double> kappas = SampleKappas(model, parts, request);
    const double radius = model.bShell ? model.dOuterRadius : 1.0;
    // Some lines beyond those asked for, so that a crossing at the top of the set is followed.
    const int wanted = request.nModes + std::max(4, request.nModes / 2);

    std::vector<CTrace> traces;
    CEigenPairs pairs;
    int reported = -1;
    for (int step = 0; step < static_cast<int>(kappas.size()); ++step) {
        for (int p = 0; p < static_cast<int>(parts.size()); ++p) {
            if (!LowestPairs(parts[p], kappas[step], wanted, pairs)) {
                out.error = "the eigen-solve failed at wavenumber " + std::to_string(kappas[step]);
                return out;
            }
            ContinueLines(traces, p, step, pairs, MakePoints(parts[p], pairs, kappas[step], radius));
        }
        const int percent = static_cast<int>(100.0 * (step + 1) / kappas.size());
        if (progress && percent != reported) progress(reported = percent);
    }
    if (request.range == EDispersionRange::kFrequency)
        for (CTrace& t : traces)
            std::erase_if(t.points, [&](const CModePoint& pt) {
                return pt.dOmega < request.dFrom || pt.dOmega > request.dTo;
            });
    out.lines = NameLines(traces, parts, request.nModes);
    return out;
}

std::string FormatDispersionCurves(const CDispersionCurves& curves, bool shell) {
    std::string text = "# dispersion curves of the ";
    text += shell ? "shell (wavenumber n / R on the outer surface)" : "plate";
    text += curves.bMirrorSymmetric ? ", mirror-symmetric\n" : "\n";
    text += "# mode frequency(MHz) wavenumber(1/mm) phase_velocity(mm/us) group_velocity(mm/us)\n";
    char buffer[160];
    for (const CModeLine& line : curves.lines)
        for (const CModePoint& p : line.points) {
            std::snprintf(buffer, sizeof buffer, "%s %.10g %.10g %.10g %.10g\n", line.strName.c_str(),
                          p.dOmega / (2 * std::numbers::pi), p.dWavenumber, p.dPhase, p.dGroup);
            text += buffer;
        }
    return text;
}

}  // namespace numerics
