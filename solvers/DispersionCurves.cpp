#include "DispersionCurves.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <numbers>

#include "BandedModes.h"
#include "LineTrace.h"
#include "ModeShape.h"
#include "Parallel.h"

namespace numerics {

namespace {

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
        if (LowestPairs(p, kappa, 1, pairs)) lowest = std::min(lowest, OmegaOf(pairs.lambda(0)));
    return lowest;
}

// The kappas the lines are traced over. A wavenumber range is its own samples; a frequency
// range runs from kappa = 0 (so that every mode is followed from its start) up to where even
// the slowest mode is above the highest frequency, so every mode leaves the range through its top.
std::vector<double> BaseKappas(const CThicknessModel& model, const std::vector<CPart>& parts,
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
    const int steps = std::max(n / 4, 16);
    for (int i = 0; i <= steps; ++i) kappas.push_back(top * i / steps);
    return kappas;
}

// The frequencies a frequency range samples every mode at: n evenly from the start to the end.
struct CFrequencyGrid {
    double dFrom = 0, dStep = 0;
    int nCount = 0;
    double At(int i) const { return dFrom + dStep * i; }
    // The grid frequencies strictly between lo and hi (in either order).
    std::vector<double> Between(double lo, double hi) const {
        if (lo > hi) std::swap(lo, hi);
        std::vector<double> out;
        if (nCount == 0) return out;
        const int first = dStep > 0 ? std::max(0, static_cast<int>(std::floor((lo - dFrom) / dStep))) : 0;
        for (int i = first; i < nCount; ++i) {
            const double f = At(i);
            if (f >= hi) break;
            if (f > lo) out.push_back(f);
            if (dStep == 0) break;
        }
        return out;
    }
};

// A point of a line; false where it has no finite phase velocity (kappa 0 above zero frequency).
bool MakePoint(double kappa, double omega, double slope, double radius, CModePoint& p) {
    p.dKappa = kappa;
    p.dOmega = omega;
    p.dWavenumber = kappa / radius;
    p.dGroup = slope * radius;
    if (kappa > 0 && omega > 0) {
        p.dPhase = omega / p.dWavenumber;
        return true;
    }
    // At zero frequency the phase velocity is the limit of omega / k: the slope.
    p.dPhase = p.dGroup;
    return kappa == 0 && omega == 0;
}

// One piece of a step on which the line's cubic Hermite interpolant is monotonic, and a
// frequency on the grid the line crosses there.
struct CCrossing {
    double dTarget, dGuess, dLow, dHigh;
    bool bRising;
};

double Hermite(double t, double h, double w0, double s0, double w1, double s1) {
    const double t2 = t * t, t3 = t2 * t;
    return (2 * t3 - 3 * t2 + 1) * w0 + (t3 - 2 * t2 + t) * h * s0 + (-2 * t3 + 3 * t2) * w1 + (t3 - t2) * h * s1;
}

// Where the line from (ka, wa, sa) to (kb, wb, sb) crosses grid frequencies, in (ka, kb]: the
// roots of the Hermite interpolant, its turning points splitting it into monotonic pieces. A
// line leaving kappa = 0 above zero frequency (a cut-off) does not take a grid frequency within
// rounding of its cut-off, where its phase velocity is unbounded.
std::vector<CCrossing> Crossings(double ka, double wa, double sa, double kb, double wb, double sb,
                                 const CFrequencyGrid& grid) {
    const double cutoff = ka == 0 && wa > 0 ? wa : -1;
    const double h = kb - ka;
    const auto value = [&](double t) { return Hermite(t, h, wa, sa, wb, sb); };
    // H'(t) / h = a t^2 + b t + c.
    const double a = 6 * (wa - wb) / h + 3 * (sa + sb), b = -6 * (wa - wb) / h - 4 * sa - 2 * sb, c = sa;
    std::vector<double> cuts{0.0};
    if (std::abs(a) > 1e-300) {
        const double disc = b * b - 4 * a * c;
        if (disc > 0) {
            const double q = -0.5 * (b + std::copysign(std::sqrt(disc), b));
            for (double t : {q / a, q != 0 ? c / q : -1.0})
                if (t > 0 && t < 1) cuts.push_back(t);
        }
    } else if (std::abs(b) > 1e-300 && -c / b > 0 && -c / b < 1) {
        cuts.push_back(-c / b);
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.push_back(1.0);
    std::vector<CCrossing> out;
    for (size_t p = 0; p + 1 < cuts.size(); ++p) {
        const double t0 = cuts[p], t1 = cuts[p + 1], v0 = value(t0), v1 = t1 == 1.0 ? wb : value(t1);
        // Strictly between: a sample lands on a grid frequency only by chance, and then its
        // neighbours' crossings are a rounding away.
        const std::vector<double> targets = grid.Between(v0, v1);
        const bool rising = v1 > v0;
        for (double target : targets) {
            // Zero frequency away from kappa = 0 is a rigid motion (a shell's at n = 1), not a wave.
            if (target <= 0 || std::abs(target - cutoff) <= 1e-9 * cutoff) continue;
            double lo = t0, hi = t1;
            for (int i = 0; i < 60; ++i) {
                const double mid = 0.5 * (lo + hi);
                ((value(mid) < target) == rising ? lo : hi) = mid;
            }
            out.push_back({target, ka + 0.5 * (lo + hi) * h, ka + t0 * h, ka + t1 * h, rising});
        }
    }
    std::sort(out.begin(), out.end(), [](const CCrossing& x, const CCrossing& y) { return x.dGuess < y.dGuess; });
    return out;
}

// A point of a line to be found at a grid frequency: the crossing and the line's modes at the
// ends of its step (their eigenvectors and ranks).
struct CPointJob {
    int nLine = 0;
    CCrossing crossing;
    double dKappaA = 0, dKappaB = 0;
    int nRankA = 0, nRankB = 0;
    Eigen::VectorXd ya, yb;
};

// The line's frequency at a kappa with its first two derivatives (curvature NaN where unknown).
struct CLineValue {
    double dOmega = 0, dSlope = 0, dCurvature = std::numeric_limits<double>::quiet_NaN();
};

// d^2 omega / d kappa^2 of the mode y (eigenvalue lambda) from second-order perturbation:
// lambda'' = y^T A'' y - 2 r^T (A - lambda)^+ r with r = (A' - lambda') y. The pseudo-inverse
// comes from a factorisation of A - shift with y projected out, as the series
// sum_m (lambda - shift)^m (A - shift)^-(m+1), which converges while the shift is nearer
// lambda than any other eigenvalue; NaN where it does not settle.
double Curvature(const CPart& part, const Eigen::PartialPivLU<Eigen::MatrixXd>& lu, const Eigen::VectorXd& y,
                 double kappa, double omega, double shift) {
    const Eigen::VectorXd dy = (2.0 * kappa) * (part.a1 * y) + part.a2 * y;
    const double dLambda = y.dot(dy);
    const Eigen::VectorXd r = dy - dLambda * y;
    const double offset = omega * omega - shift;
    Eigen::VectorXd term = r, sum = Eigen::VectorXd::Zero(r.size());
    double previous = std::numeric_limits<double>::infinity();
    bool settled = false;
    for (int m = 0; m < 30 && !settled; ++m) {
        term = lu.solve(term);
        term -= y.dot(term) * y;
        if (m > 0) term *= offset;
        sum += term;
        const double size = term.norm();
        if (!(size < 0.5 * previous)) break;
        settled = size <= 1e-15 * sum.norm();
        previous = size;
    }
    if (!settled) return std::numeric_limits<double>::quiet_NaN();
    const double ddLambda = 2.0 * y.dot(part.a1 * y) - 2.0 * r.dot(sum);
    const double slope = dLambda / (2.0 * omega);
    return (ddLambda - 2.0 * slope * slope) / (2.0 * omega);
}

// The line's mode at kappa, for a frequency near `shift` (omega^2): inverse iteration from the
// eigenvector at the nearer end of its step, one factorisation for every step of it (a third of
// the work of a tridiagonal reduction). Where that does not settle on the line's mode (another
// mode nearer the shift), the modes around the ranks it has at the ends of the step are solved
// for and the one overlapping the nearer end's eigenvector most is taken.
bool LineAt(const CPart& part, const CPointJob& job, double kappa, double shift, CLineValue& out) {
    const bool nearA = kappa - job.dKappaA < job.dKappaB - kappa;
    const Eigen::VectorXd& start = nearA ? job.ya : job.yb;
    const Eigen::MatrixXd matrix = part.At(kappa);
    const Eigen::PartialPivLU<Eigen::MatrixXd> lu(matrix - shift * Eigen::MatrixXd::Identity(part.Size(), part.Size()));
    Eigen::VectorXd y = start;
    // The velocities are first order in the eigenvector's error (residual over the gap to the
    // next mode), so the steps go on until the residual stops falling: it is down to rounding,
    // which is well below the bound on it (Scale is the Frobenius norm, an overestimate).
    const double floor = 64 * std::numeric_limits<double>::epsilon() * part.Scale(kappa);
    double residual = std::numeric_limits<double>::infinity(), lambda = 0;
    for (int step = 0; step < 12; ++step) {
        Eigen::VectorXd next = lu.solve(y);
        const double size = next.norm();
        if (!(size > 0) || !std::isfinite(size)) break;
        next /= size;
        const Eigen::VectorXd ay = matrix * next;
        const double value = next.dot(ay), r = (ay - value * next).norm();
        if (!(r < 0.5 * residual)) break;
        y = std::move(next);
        lambda = value;
        residual = r;
    }
    if (residual <= std::max(1e-10 * std::abs(lambda), floor) && std::abs(y.dot(start)) >= 0.7) {
        out.dOmega = OmegaOf(lambda);
        out.dSlope = Slope(part, y, kappa, out.dOmega);
        out.dCurvature = out.dOmega > 0 ? Curvature(part, lu, y, kappa, out.dOmega, shift) : out.dCurvature;
        return std::isfinite(out.dSlope);
    }
    const int low = std::max(0, std::min(job.nRankA, job.nRankB) - 1);
    const int high = std::min(part.Size() - 1, std::max(job.nRankA, job.nRankB) + 1);
    CEigenPairs pairs;
    if (!PartPairs(part, kappa, low, high, pairs)) return false;
    const Eigen::VectorXd overlap = (pairs.vectors.transpose() * start).cwiseAbs();
    Eigen::Index best = 0;
    overlap.maxCoeff(&best);
    out.dOmega = OmegaOf(pairs.lambda(best));
    out.dSlope = Slope(part, pairs.vectors.col(best), kappa, out.dOmega);
    out.dCurvature = std::numeric_limits<double>::quiet_NaN();
    return std::isfinite(out.dSlope);
}

// The point of the line at the crossing's frequency: safeguarded Newton steps on
// omega(kappa) - target with the exact slope, from the interpolant's root. Once a step is below
// 1e-6 of kappa and its quadratic term (from the curvature) below 1e-12 of the target, the
// point is the step's end, its frequency and slope carried there to second order without
// another solve (the terms left are of the order of the step squared: 1e-12).
// Otherwise the steps go on until the frequency is the target to 1e-12 or stops improving (the
// rounding of the eigenvalue, which for a bending mode at low frequency is larger), and the
// best point is kept.
bool PointAtFrequency(const CPart& part, const CPointJob& job, double radius, CModePoint& point) {
    const CCrossing& c = job.crossing;
    const double tolerance = 1e-12 * c.dTarget;
    double lo = c.dLow, hi = c.dHigh, kappa = c.dGuess;
    double best = std::numeric_limits<double>::infinity(), bestKappa = 0, bestOmega = 0, bestSlope = 0;
    for (int it = 0; it < 60; ++it) {
        CLineValue v;
        if (!LineAt(part, job, kappa, c.dTarget * c.dTarget, v)) return false;
        const double error = v.dOmega - c.dTarget;
        const bool improved = std::abs(error) < 0.5 * best;
        if (std::abs(error) < best) best = std::abs(error), bestKappa = kappa, bestOmega = v.dOmega, bestSlope = v.dSlope;
        if (best <= tolerance || (!improved && it > 0)) break;
        ((error > 0) == c.bRising ? hi : lo) = kappa;
        if (hi - lo <= 1e-15 * hi) break;
        const double step = v.dSlope != 0 ? -error / v.dSlope : 0;
        double next = kappa + step;
        if (!(next > lo && next < hi)) {
            next = 0.5 * (lo + hi);
        } else if (std::abs(0.5 * v.dCurvature * step * step) <= tolerance && std::abs(step) <= 1e-6 * next) {
            // (NaN curvature never passes.)
            return MakePoint(next, c.dTarget + 0.5 * v.dCurvature * step * step, v.dSlope + v.dCurvature * step,
                             radius, point);
        }
        kappa = next;
    }
    return MakePoint(bestKappa, bestOmega, bestSlope, radius, point);
}

// A line as it is traced: where it starts, and its points.
struct CLine {
    int nPart = 0;
    double dStartKappa = 0, dStartOmega = 0, dStartSlope = 0;
    std::vector<CModePoint> points;
    Eigen::VectorXd zeroMode;  // a line that starts at zero frequency: its limit mode there (part basis)
};

// The points of a batch of jobs, found in parallel and added to their lines in the jobs' order
// (so the result does not depend on the threads). False if an eigen-solve failed.
bool FlushJobs(const CPart& part, std::vector<CPointJob>& jobs, double radius, int threads, std::vector<CLine>& lines) {
    std::vector<CModePoint> points(jobs.size());
    std::vector<char> found(jobs.size(), 0);
    ParallelFor(jobs.size(), threads, [&](size_t i, int) { found[i] = PointAtFrequency(part, jobs[i], radius, points[i]); });
    bool ok = true;
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (found[i]) lines[jobs[i].nLine].points.push_back(points[i]);
        // A point of no finite phase velocity is never a crossing's: only a failed solve.
        else ok = false;
    }
    jobs.clear();
    return ok;
}

// Jobs held before they are done together: enough to keep every thread busy, few enough that
// their eigenvectors stay a small part of the memory.
constexpr size_t kJobBatch = 256;

// Traces one part over the kappas and collects each line's points: at the caller's kappas for
// a wavenumber range, at the grid's frequencies for a frequency range.
std::string TraceLinesOfPart(const CPart& part, int partIndex, const std::vector<double>& kappas,
                             const CTraceOptions& options, const CFrequencyGrid* grid, double radius, int threads,
                             std::vector<CLine>& lines, const std::function<void(int)>& after) {
    std::vector<int> lineAt;  // the line of each mode of the last sample
    std::vector<CPointJob> jobs;
    bool solved = true;
    const auto add = [&](int line, double kappa, double omega, double slope) {
        CModePoint p;
        if (MakePoint(kappa, omega, slope, radius, p)) lines[line].points.push_back(p);
    };
    const auto begin = [&](const CTraceSample& s, int j) {
        lines.push_back({partIndex, s.dKappa, s.omega(j), s.slope(j), {}, {}});
        return static_cast<int>(lines.size()) - 1;
    };
    const auto start = [&](const CTraceSample& s) {
        for (int j = 0; j < s.Count(); ++j) {
            lineAt.push_back(begin(s, j));
            // A frequency range from 0 starts with the modes of zero frequency.
            const bool onGrid = grid ? s.omega(j) == 0 && grid->nCount > 0 && grid->dFrom == 0 : true;
            if (onGrid) add(lineAt.back(), s.dKappa, s.omega(j), s.slope(j));
            if (s.dKappa == 0 && s.omega(j) == 0) lines[lineAt.back()].zeroMode = s.vectors.col(j);
        }
    };
    const auto visit = [&](const CTraceSample& a, const CTraceSample& b, const std::vector<int>& partner, bool base) {
        std::vector<int> next(static_cast<size_t>(b.Count()), -1);
        for (int j = 0; j < a.Count(); ++j) {
            const int i = partner[j];
            if (i < 0) continue;
            const int line = next[i] = lineAt[j];
            if (!grid) {
                if (base) add(line, b.dKappa, b.omega(i), b.slope(i));
                continue;
            }
            for (const CCrossing& c :
                 Crossings(a.dKappa, a.omega(j), a.slope(j), b.dKappa, b.omega(i), b.slope(i), *grid))
                jobs.push_back({line, c, a.dKappa, b.dKappa, j, i, a.vectors.col(j), b.vectors.col(i)});
        }
        for (int i = 0; i < b.Count(); ++i)
            if (next[i] < 0) {
                next[i] = begin(b, i);
                if (!grid && base) add(next[i], b.dKappa, b.omega(i), b.slope(i));
            }
        lineAt = std::move(next);
        if (jobs.size() >= kJobBatch) solved = FlushJobs(part, jobs, radius, threads, lines) && solved;
    };
    const std::string error = TracePart(part, kappas, options, start, visit, after);
    if (!error.empty()) return error;
    solved = FlushJobs(part, jobs, radius, threads, lines) && solved;
    return solved ? "" : "an eigen-solve failed while placing a point on a frequency";
}

// Names by family, numbered from the lowest frequency at the first sample (the speed breaking
// ties of zero frequency; SH numbered over both mirror parts together), and only the lowest
// `modes` lines present from the start.
std::vector<CModeLine> NameLines(std::vector<CLine>& lines, const std::vector<CPart>& parts, double firstKappa,
                                 int modes) {
    std::vector<int> order(lines.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const CLine &x = lines[a], &y = lines[b];
        if (x.dStartKappa != y.dStartKappa) return x.dStartKappa < y.dStartKappa;
        if (x.dStartOmega != y.dStartOmega) return x.dStartOmega < y.dStartOmega;
        return x.dStartSlope < y.dStartSlope;
    });
    std::map<std::string, int> next;
    std::vector<CModeLine> out;
    int kept = 0;
    for (int t : order) {
        const std::string& family = parts[lines[t].nPart].strFamily;
        const int number = next[family]++;
        if (lines[t].dStartKappa != firstKappa || kept >= modes) continue;
        ++kept;
        if (lines[t].points.empty()) continue;
        for (CModePoint& p : lines[t].points)
            if (p.dOmega == 0 && lines[t].zeroMode.size() > 0) {
                // The limit mode's top amplitudes, its energy velocity the limit speed along x.
                const Eigen::VectorXd phi = parts[lines[t].nPart].toFull * lines[t].zeroMode;
                p.dTop[0] = phi(phi.size() - 3);
                p.dTop[1] = phi(phi.size() - 2);
                p.dTop[2] = -phi(phi.size() - 1);
                p.dEnergyX = p.dGroup;
            }
        out.push_back({family + std::to_string(number), std::move(lines[t].points), lines[t].nPart});
    }
    return out;
}

// Every point's energy velocity and top amplitudes, from its mode found on the banded matrices.
std::string AddEnergy(const CThicknessModel& model, const std::vector<CPart>& parts, int threads,
                      std::vector<CModeLine>& lines) {
    const CBandedModes banded(model);
    std::vector<std::pair<size_t, size_t>> jobs;
    for (size_t l = 0; l < lines.size(); ++l)
        for (size_t i = 0; i < lines[l].points.size(); ++i)
            if (lines[l].points[i].dOmega > 0) jobs.emplace_back(l, i);
    std::vector<char> found(jobs.size(), 0);
    ParallelFor(jobs.size(), threads, [&](size_t j, int) {
        CModeLine& line = lines[jobs[j].first];
        CModePoint& p = line.points[jobs[j].second];
        CBandedMode mode;
        if (!ModeVector(banded, parts[static_cast<size_t>(line.nPart)], p.dKappa, p.dOmega, mode)) return;
        const CEnergyFlow flow = EnergyFlow(model, p.dKappa, p.dOmega, mode.phi);
        const Eigen::Index n = mode.phi.size();
        p.dEnergyX = flow.dVelocityX;
        p.dEnergyY = flow.dVelocityY;
        p.dTop[0] = mode.phi(n - 3);
        p.dTop[1] = mode.phi(n - 2);
        p.dTop[2] = -mode.phi(n - 1);
        found[j] = std::isfinite(p.dEnergyX) && std::isfinite(p.dEnergyY);
    });
    for (size_t j = 0; j < jobs.size(); ++j)
        if (!found[j]) return "the mode of " + lines[jobs[j].first].strName + " could not be found again at wavenumber " +
                              std::to_string(lines[jobs[j].first].points[jobs[j].second].dKappa);
    return {};
}

}  // namespace

double Excitability(const CModePoint& p, int load, int output) {
    const double flow = 2.0 * p.dOmega * std::abs(p.dGroup);
    if (!(flow > 0) || load < 0 || load > 2 || output < 0 || output > 2) return 0;
    return std::abs(p.dTop[load] * p.dTop[output]) / flow;
}

std::string CheckDispersionRequest(const CDispersionRequest& r) {
    if (!std::isfinite(r.dFrom) || !std::isfinite(r.dTo)) return "the dispersion range must be finite";
    if (r.nPoints < 1 || r.nPoints > kMaxDispersionPoints)
        return "the number of dispersion points must be from 1 to " + std::to_string(kMaxDispersionPoints);
    if (r.nModes < 1) return "the number of modes must be 1 or more";
    if (r.range == EDispersionRange::kWavenumber) {
        if (r.dFrom < 0) return "the wavenumber range must not start below 0";
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
    const CModelParts split = MakeParts(Assemble(model), request.bSplit);
    out.bMirrorSymmetric = split.bMirrorSymmetric;
    const std::vector<double> kappas = BaseKappas(model, split.parts, request);
    const double radius = model.bShell ? model.dOuterRadius : 1.0;

    CTraceOptions options;
    // Some lines beyond those asked for, so that a crossing at the top of the set is followed.
    options.nCount = request.nModes + std::max(4, request.nModes / 2);
    options.nRelevant = request.nModes + 1;
    options.dMinStep = 1e-7 * std::max(std::abs(kappas.back()), 1e-300);
    options.nMaxRefinements = request.bRefine ? 64 * static_cast<int>(kappas.size()) + 1000 : 0;
    CFrequencyGrid grid;
    if (request.range == EDispersionRange::kFrequency) {
        grid.dFrom = request.dFrom;
        grid.nCount = request.nPoints;
        grid.dStep = request.nPoints > 1 ? (request.dTo - request.dFrom) / (request.nPoints - 1) : 0;
    }
    std::vector<CLine> lines;
    int reported = -1;
    const double total = static_cast<double>(split.parts.size() * kappas.size());
    for (size_t p = 0; p < split.parts.size(); ++p) {
        const auto after = [&](int i) {
            const int percent = static_cast<int>(100.0 * (p * kappas.size() + i + 1) / total);
            if (progress && percent != reported) progress(reported = percent);
        };
        out.error = TraceLinesOfPart(split.parts[p], static_cast<int>(p), kappas, options,
                                     request.range == EDispersionRange::kFrequency ? &grid : nullptr, radius,
                                     std::max(1, request.nThreads), lines, after);
        if (!out.error.empty()) return out;
    }
    out.lines = NameLines(lines, split.parts, kappas.front(), request.nModes);
    if (request.bEnergy) out.error = AddEnergy(model, split.parts, std::max(1, request.nThreads), out.lines);
    return out;
}

std::string LocateMode(const CThicknessModel& model, const std::string& name, EDispersionRange axis, double value,
                       CNamedPoint& out) {
    size_t digits = name.find_first_of("0123456789");
    int number = 0;
    const auto bad = [&] { return "\"" + name + "\" is not a mode name such as A0, S1, SH2 or M3"; };
    if (digits == 0 || digits == std::string::npos || digits > 2 || name.size() - digits > 4) return bad();
    for (size_t i = digits; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return bad();
        number = 10 * number + (name[i] - '0');
    }
    CDispersionRequest r;
    r.range = axis;
    r.dFrom = 0;
    r.dTo = value;
    r.nPoints = 2;
    // Every family may be the one: enough lines for the number in each of the (at most four) parts.
    r.nModes = std::min(4 * (number + 1) + 2, model.DofCount());
    r.bEnergy = false;
    if (!(value > 0)) return "the point must lie above zero";
    CDispersionCurves curves = TraceDispersion(model, r);
    if (!curves.error.empty()) return curves.error;
    for (const CModeLine& line : curves.lines) {
        if (line.strName != name) continue;
        for (const CModePoint& p : line.points) {
            const double at = axis == EDispersionRange::kWavenumber ? p.dKappa : p.dOmega;
            if (std::abs(at - value) <= 1e-7 * value) {
                out.point = p;
                out.nPart = line.nPart;
                return {};
            }
        }
        return "mode " + name + " does not propagate there";
    }
    return "the stack has no mode " + name + " there";
}

std::string FormatDispersionCurves(const CDispersionCurves& curves, bool shell) {
    std::string text = "# dispersion curves of the ";
    text += shell ? "shell (wavenumber n / R on the outer surface)" : "plate";
    text += curves.bMirrorSymmetric ? ", mirror-symmetric\n" : "\n";
    text += "# mode frequency(MHz) wavenumber(1/mm) phase_velocity(mm/us) group_velocity(mm/us) "
            "energy_velocity_x(mm/us) energy_velocity_y(mm/us) skew(deg) top_U top_V top_W\n";
    char buffer[320];
    for (const CModeLine& line : curves.lines)
        for (const CModePoint& p : line.points) {
            const double skew = p.dEnergyX == 0 && p.dEnergyY == 0 ? 0.0
                                                                    : std::atan2(p.dEnergyY, p.dEnergyX) * 180 / std::numbers::pi;
            std::snprintf(buffer, sizeof buffer, "%s %.10g %.10g %.10g %.10g %.10g %.10g %.10g %.10g %.10g %.10g\n",
                          line.strName.c_str(), p.dOmega / (2 * std::numbers::pi), p.dWavenumber, p.dPhase, p.dGroup,
                          p.dEnergyX, p.dEnergyY + 0.0, skew + 0.0, p.dTop[0] + 0.0, p.dTop[1] + 0.0, p.dTop[2] + 0.0);
            text += buffer;
        }
    return text;
}

}  // namespace numerics
