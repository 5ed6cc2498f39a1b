// The modes of every wave vector of a point source's run and their synthesis at the receivers
// and over the field (PointSource.h).

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <mutex>
#include <numbers>

#include "DirectionalSolvers.h"
#include "ModalSolver.h"
#include "ModeAtlas.h"
#include "Parallel.h"
#include "PointSource.h"
#include "SourceBinning.h"
#include "SourceField.h"
#include "SourceFieldFrames.h"
#include "SourceNearField.h"
#include "SourceReach.h"
#include "SourceTerms.h"
#include "Synthesis.h"

namespace numerics {

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

constexpr double kPi = std::numbers::pi;
constexpr size_t kBatchVectors = 4096;

// The modes of one wave vector below the cutoff (every mode without one), and the quasi-static
// sums of the rest as 3 x 3 matrices over the top's (u, v, w~).
struct CVectorModes {
    std::vector<double> omegaSquared, weight;  // weight: the mode's share in the dynamic synthesis
    std::vector<std::array<double, 6>> products;  // of the top's (u, v, w~) (TopProducts)
    Eigen::Matrix3d flexibility = Eigen::Matrix3d::Zero(), second = Eigen::Matrix3d::Zero();
    bool bStatic = false;
    // Empty again, keeping the lists' memory for the next wave vector.
    void Clear() {
        omegaSquared.clear();
        weight.clear();
        products.clear();
        flexibility.setZero();
        second.setZero();
        bStatic = false;
    }
};

void FindModes(const CModalSolver& solver, double k, double cutoff, CVectorModes& out, CModalSolver::CWorkspace& ws) {
    out.Clear();
    const double limit = cutoff * cutoff;
    out.bStatic = cutoff > 0 && solver.StaticMatrices(k, limit, out.flexibility, out.second, ws);
    if (out.bStatic) return;
    out.flexibility.setZero();
    out.second.setZero();
    CModes modes;
    solver.Solve(k, modes, ws);
    for (Eigen::Index j = 0; j < modes.omegaSquared.size(); ++j) {
        const double w2 = modes.omegaSquared(j);
        const Eigen::Vector3d t = modes.top.col(j);
        if (cutoff > 0 && w2 > limit) {
            out.flexibility += t * t.transpose() / w2;
            out.second += t * t.transpose() / (w2 * w2);
            continue;
        }
        out.omegaSquared.push_back(w2);
        out.weight.push_back(1.0);
        out.products.push_back(TopProducts(t(0), t(1), t(2)));
    }
}

void AddDynamicMode(double omegaSquared, const std::array<double, 6>& products, const CModeSplit& split,
                    CVectorModes& out) {
    const double chi = split.Dynamic(std::sqrt(std::max(0.0, omegaSquared)));
    if (chi == 0.0) return;
    out.omegaSquared.push_back(omegaSquared);
    out.weight.push_back(chi);
    out.products.push_back(products);
}

// The split's dynamic part of one wave vector: its modes below the ramp's top, each weighed by
// chi; none (and no solve) where every mode lies above.
void FindDynamicModes(const CModalSolver& solver, double k, const CModeSplit& split, CVectorModes& out,
                      CModalSolver::CWorkspace& ws) {
    out.Clear();
    if (solver.AllModesAbove(k, split.dHigh * split.dHigh, ws)) return;
    CModes modes;
    solver.SolveBelow(k, split.dHigh * split.dHigh, modes, ws);
    for (Eigen::Index j = 0; j < modes.omegaSquared.size(); ++j)
        AddDynamicMode(modes.omegaSquared(j), TopProducts(modes.top(0, j), modes.top(1, j), modes.top(2, j)), split, out);
}

// The same from the atlas; false (nothing found) where it needs an exact solve.
bool AtlasDynamicModes(const CModeAtlas& atlas, double k, double theta, const CModeSplit& split, unsigned products,
                       CVectorModes& out, std::vector<CAtlasMode>& found) {
    out.Clear();
    if (!atlas.Find(k, theta, found, products)) return false;
    for (const CAtlasMode& m : found) AddDynamicMode(m.omegaSquared, m.products, split, out);
    return true;
}

// The axisymmetric terms of output a and load b (0 x, 1 y, 2 z): Bessel order, weights on the top's
// products, and the factor of the receiver's direction phi.
struct CBesselPart {
    int order;
    Eigen::Matrix3d weight;
};
std::vector<CBesselPart> BesselParts(int a, int b) {
    Eigen::Matrix3d w = Eigen::Matrix3d::Zero();
    if (a == 2 && b == 2) {
        w(2, 2) = 1.0 / (2 * kPi);
        return {{0, w}};
    }
    if (a == 2 || b == 2) {
        w(0, 2) = 1.0 / (2 * kPi);
        return {{1, w}};
    }
    Eigen::Matrix3d diff = Eigen::Matrix3d::Zero();
    diff(0, 0) = 1.0 / (4 * kPi);
    diff(1, 1) = -1.0 / (4 * kPi);
    if (a != b) return {{2, diff}};
    w(0, 0) = w(1, 1) = 1.0 / (4 * kPi);
    return {{0, w}, {2, diff}};
}
double BesselAngular(int a, int b, int order, double phi) {
    if (order == 0) return 1.0;
    if (order == 1) {
        const double along = (a == 2 ? b : a) == 0 ? std::cos(phi) : std::sin(phi);
        return a == 2 ? -along : along;
    }
    if (a != b) return -std::sin(2 * phi);
    return a == 0 ? -std::cos(2 * phi) : std::cos(2 * phi);
}

// The highest frequency a run's modes may reach: the top of the spectrum at the cut-off along
// x and y (above the fastest direction's by a margin: no direction lies far from both).
double TopFrequency(const CModalSolver* along, CDirectionalSolvers* directions, double kMax) {
    CModalSolver::CWorkspace ws;
    double top = 0;
    for (double theta : {0.0, kPi / 4, kPi / 2}) {
        std::unique_ptr<CModalSolver> own;
        const CModalSolver& solver = along ? *along : directions->At(theta, 0, own);
        top = std::max(top, solver.Frequencies(kMax, ws).maxCoeff());
        if (along) break;
    }
    return 1.25 * top;
}

}  // namespace

double FieldModesEstimate(const CProblem& p, const CSourceGrid& g) {
    const double top = g.bSplit ? MakeModeSplit(p.band).dHigh : p.band.dModeCutoff;
    if (!(top > 0)) return p.model.DofCount();
    // Blocks of the Lamb motion move along u, those of the shear-horizontal along v (a block that
    // moves along both is counted twice: an estimate from above).
    const CModalSolver solver(AssembleBands(p.model));
    constexpr int kSamples = 8;
    double sum = 0;
    for (int i = 0; i < kSamples; ++i) {
        const double k = g.dDynamicRadius * std::sqrt((i + 0.5) / kSamples);  // even in area
        sum += solver.CountBelow(k, top * top, 0, 0) + solver.CountBelow(k, top * top, 1, 1);
    }
    return std::max(1.0, sum / kSamples);
}

std::vector<std::pair<long, long>> LatticeVectors(double dkx, double dky, double radius, bool mirror) {
    std::vector<std::pair<long, long>> out;
    const long mMax = static_cast<long>(std::floor(radius / dkx)), nMax = static_cast<long>(std::floor(radius / dky));
    for (long n = 0; n <= nMax; ++n) {
        // A row's vectors within the radius are |m| <= top: top from the square root, then settled
        // by the test itself (the set is that of testing every m, without testing every m).
        const double y = n * dky;
        const auto inside = [&](long m) { return std::hypot(m * dkx, y) < radius; };
        long top = std::min(mMax, static_cast<long>(std::sqrt(std::max(0.0, radius * radius - y * y)) / dkx));
        while (top >= 0 && !inside(top)) --top;
        while (top < mMax && inside(top + 1)) ++top;
        for (long m = mirror || n == 0 ? 0 : -top; m <= top; ++m) out.push_back({m, n});
    }
    return out;
}

CSourceResult SolvePointSource(const CProblem& p, const CSourceRequest& asked, const CRunOptions& options) {
    CSourceResult result;
    CSourceGrid& g = result.grid;
    CSourceRequest request = asked;
    result.error = MakeSourceGrid(p, request, g);
    if (!result.error.empty()) return result;
    const bool hankel = g.symmetry == ESourceSymmetry::kAxisymmetric;
    const int a = p.nOutput - 1, b = p.nLoadDir - 1;
    const double phaseSign = ((a == 2) == (b == 2)) ? 0.0 : (a == 2 ? -1.0 : 1.0);
    const int threads = std::max(1, options.nThreads);

    const auto assemblyStart = Clock::now();
    std::unique_ptr<CDirectionalSolvers> directions;
    std::unique_ptr<CModalSolver> along;  // axisymmetric: the one direction
    if (hankel) along = std::make_unique<CModalSolver>(AssembleBands(p.model));
    else directions = std::make_unique<CDirectionalSolvers>(p.model, threads);
    result.dAssemblySeconds = Seconds(assemblyStart);
    result.nUnknowns = p.model.DofCount();

    // A band-limited load: the dynamic part within its disc, the quasi-static part as a near field.
    const CModeSplit split = g.bSplit ? MakeModeSplit(p.band) : CModeSplit{};
    CNearField near;
    if (split.On()) {
        const auto nearStart = Clock::now();
        FindDynamicExtent(p, g, *directions, request, threads);
        result.error = MakeSourceGrid(p, request, g);
        if (!result.error.empty()) return result;
        if (const std::string why = SolveNearField(p, g, split, *directions, threads, near); !why.empty()) {
            // No decay within the near field's largest period: the whole synthesis on one lattice,
            // where its bounds allow it.
            CSourceRequest single = asked;
            single.bSingleLattice = true;
            if (const std::string size = CheckSourceRunSize(p, single, options.nPoints); !size.empty()) {
                result.error = why + ", and on one lattice " + size;
                return result;
            }
            return SolvePointSource(p, single, options);
        }
        g.dNearPeriod = near.dPeriod;
        result.dEigenSeconds += Seconds(nearStart);
        if (options.progress) options.progress(10);
    }

    // The receivers' curves, and the field (Bessel sums at its points, or the FFT).
    const CTimeGrid times = OutputTimes(p, options.nPoints);
    const double cutoff = p.band.dModeCutoff;
    CWavenumbers line;
    line.dKMax = g.dKMax;
    std::unique_ptr<CSampledPlan> plan;
    if (p.load.type == ELoadType::kSampled)
        plan = std::make_unique<CSampledPlan>(p.load, times, options.bExactSampledLoad ? 0.0 : ResolvedFrequency(p, line));
    const size_t length = plan ? plan->BufferLength() : static_cast<size_t>(times.nPoints);
    // Binned where that is cheaper (or asked for); the plain sum as the reference.
    const auto binned = [&](int count, size_t values, double lag) {
        if (request.eSynthesis != ESourceSynthesis::kCheapest) return request.eSynthesis == ESourceSynthesis::kBinned;
        const double omegaMost = split.On()         ? split.dHigh
                                 : p.band.Limited() ? cutoff
                                                    : TopFrequency(along.get(), directions.get(), g.dKMax);
        return BinningPays(g.dEntries, count, values, omegaMost, lag);
    };
    std::unique_ptr<CBinnedReceiverSum> receivers;
    if (!request.receivers.empty()) {
        const int count = static_cast<int>(request.receivers.size());
        const double lag = LagWidth(p.load, times);
        receivers = std::make_unique<CBinnedReceiverSum>(p.load, times, plan.get(), length, count,
                                                         binned(count, length, lag), lag);
    }
    const CFieldRequest& f = request.field;
    const CTimeGrid fieldTimes = f.Times();
    std::unique_ptr<CSampledPlan> fieldPlan;
    std::unique_ptr<CBinnedReceiverSum> fieldPoints;
    std::unique_ptr<CFieldSum> fieldSum;
    std::vector<CPlanePoint> points;
    if (f.Wanted() && hankel) {
        for (int j = 0; j < f.nY; ++j)
            for (int i = 0; i < f.nX; ++i) points.push_back({f.X(i), f.Y(j)});
        if (p.load.type == ELoadType::kSampled) fieldPlan = std::make_unique<CSampledPlan>(p.load, fieldTimes, 0.0);
        const int count = static_cast<int>(points.size());
        const double lag = LagWidth(p.load, fieldTimes);
        fieldPoints = std::make_unique<CBinnedReceiverSum>(p.load, fieldTimes, fieldPlan.get(), f.nT, count,
                                                           binned(count, static_cast<size_t>(f.nT), lag), lag);
    } else if (f.Wanted()) {
        const CPointSourceFieldGrid fg{g.nFftX, g.nFftY, g.dkx, g.dky, f.dX0, f.dY0, f.nX, f.nY};
        if (request.eSynthesis == ESourceSynthesis::kExact)
            fieldSum = std::make_unique<CFieldRowsSum>(p.load, fieldTimes, fg, phaseSign);
        else
            fieldSum = std::make_unique<CFieldFramesSum>(p.load, fieldTimes, fg, phaseSign, p.band.Limited() && !split.On());
    }

    std::vector<std::pair<long, long>> solved;
    if (hankel)
        for (long m = 0; m <= g.nMaxX && m * g.dkx < g.dKMax; ++m) solved.push_back({m, 0});
    else
        solved = LatticeVectors(g.dkx, g.dky, g.dDynamicRadius, g.symmetry == ESourceSymmetry::kMirror);
    const int progressFrom = split.On() ? 10 : 0;
    const double cell = hankel ? g.dkx : 1.0 / (g.dPeriodX * g.dPeriodY);
    // The quasi-static sums of the single lattice, transformed at every receiver and point.
    CQuasiSums quasiAtReceivers(request.receivers.size()), quasiAtPoints(points.size());
    std::vector<CModalSolver::CWorkspace> spaces(threads);
    std::vector<CVectorModes> modes(std::min(kBatchVectors, solved.size()));
    std::vector<double> wavenumbers(modes.size()), angles(modes.size());  // |k| and theta of the batch's vectors
    std::unique_ptr<CModeAtlas> atlas;
    if (split.On() && !hankel) {
        const auto atlasStart = Clock::now();
        const CAtlasMarks marks = AtlasMarks(p.load, p.dTimeTo, split.dHigh, request.atlas);
        atlas = DynamicDiscAtlas(*directions, g.dDynamicRadius, g.symmetry == ESourceSymmetry::kMirror, split.dHigh,
                                 marks, solved.size(), request.modes, request.atlas, threads, request.dMarkedReach);
        if (atlas) {
            result.nAtlasNodes = atlas->Grid().NodeCount();
            result.nAtlasMarked = atlas->MarkedNodes();
            result.dAtlasSeconds = Seconds(atlasStart);
            result.dEigenSeconds += result.dAtlasSeconds;
        }
    }
    std::vector<std::vector<CAtlasMode>> found(static_cast<size_t>(threads));
    std::atomic<size_t> done{0}, exact{0};
    std::mutex progressLock;
    int reported = -1;
    const auto phaseOf = [&](const CTerm& t, const CPlanePoint& r) {
        if (t.order >= 0) return std::cyl_bessel_j(t.order, t.kx * std::hypot(r.x, r.y)) *
                                 BesselAngular(a, b, t.order, std::atan2(r.y, r.x));
        const double arg = t.kx * r.x + t.ky * r.y;
        const double pair = (t.m == 0 && t.n == 0) ? 1.0 : 2.0;  // the conjugate wave vector
        return pair * (phaseSign == 0.0 ? std::cos(arg) : phaseSign * std::sin(arg));
    };

    // A batch's terms: each solved wave vector, its mirror image, or its Bessel parts (the buffers
    // kept from batch to batch).
    std::vector<CTerm> terms;
    CPackedModes packed;
    std::vector<long> ms, ns;
    std::vector<CQuasiStatic> batchQuasi;
    std::vector<CTerm> vectorTerms;  // one wave vector's
    std::vector<double> vectorOmega;  // and its modes' frequencies
    for (size_t start = 0; start < solved.size(); start += kBatchVectors) {
        const size_t count = std::min(kBatchVectors, solved.size() - start);
        const auto eigenStart = Clock::now();
        ParallelFor(count, threads, [&](size_t local, int t) {
            // Plain copies: lambdas below capture them, which structured bindings cannot be in
            // every compiler we build with.
            const long m = solved[start + local].first, n = solved[start + local].second;
            const double kx = m * g.dkx, ky = n * g.dky, k = std::hypot(kx, ky);
            wavenumbers[local] = k;
            if (hankel) {
                FindModes(*along, k, cutoff, modes[local], spaces[t]);
            } else {
                const double theta = angles[local] = LatticeDirection(m, n, g.dkx, g.dky);
                if (!atlas || !AtlasDynamicModes(*atlas, k, theta, split, ProductsWeighed(a, b), modes[local], found[static_cast<size_t>(t)])) {
                    if (atlas) exact.fetch_add(1);
                    std::unique_ptr<CModalSolver> own;
                    const CModalSolver& solver = directions->At(theta, t, own);
                    if (split.On()) FindDynamicModes(solver, k, split, modes[local], spaces[t]);
                    else FindModes(solver, k, cutoff, modes[local], spaces[t]);
                }
            }
            const size_t finished = done.fetch_add(1) + 1;
            if (options.progress) {
                const int percent = progressFrom + static_cast<int>((90 - progressFrom) * finished / solved.size());
                std::lock_guard<std::mutex> lock(progressLock);
                if (percent > reported) options.progress(reported = percent);
            }
        });
        result.dEigenSeconds += Seconds(eigenStart);

        const auto synthesisStart = Clock::now();
        terms.clear();
        packed.omega.clear();
        packed.coeff.clear();
        packed.modeCount.clear();
        packed.offset.assign(1, 0);
        ms.clear();
        ns.clear();
        batchQuasi.clear();
        for (size_t local = 0; local < count; ++local) {
            // Plain copies: lambdas below capture them, which structured bindings cannot be in
            // every compiler we build with.
            const long m = solved[start + local].first, n = solved[start + local].second;
            const double k = wavenumbers[local], taper = Taper(k, g.dKMax);
            if (split.On() && modes[local].omegaSquared.empty()) continue;  // wholly in the near field
            std::vector<CTerm>& made = vectorTerms;
            made.clear();
            if (hankel) {
                // The integrand k h(k) J_n(kr) is odd in k (h even): the trapezoid rule from 0 gets
                // end corrections (Euler-Maclaurin), +dk^2/12 h(0) - dk^4/240 h''(0), with h''(0)
                // from h(0) and h(dk); the error is then O(dk^6).
                const double scale = m == 0 ? cell * cell * 11.0 / 120.0 : cell * k * taper * (m == 1 ? 119.0 / 120.0 : 1.0);
                for (const CBesselPart& part : BesselParts(a, b))
                    if (m > 0 || part.order == 0) made.push_back({k, 0, m, 0, part.order, scale, part.weight});
            } else {
                AddLatticeTerms(m, n, g.dkx, g.dky, angles[local], g.symmetry == ESourceSymmetry::kMirror, a, b,
                                cell * taper, made);
            }
            const CVectorModes& vm = modes[local];
            vectorOmega.resize(vm.omegaSquared.size());
            for (size_t j = 0; j < vm.omegaSquared.size(); ++j) vectorOmega[j] = std::sqrt(std::max(0.0, vm.omegaSquared[j]));
            for (const CTerm& t : made) {
                packed.omega.insert(packed.omega.end(), vectorOmega.begin(), vectorOmega.end());
                for (size_t j = 0; j < vm.omegaSquared.size(); ++j) {
                    packed.coeff.push_back(vm.weight[j] * t.scale * ProductWeight(t.weight, vm.products[j]));
                }
                packed.modeCount.push_back(vm.omegaSquared.size());
                packed.offset.push_back(packed.omega.size());
                ms.push_back(t.m);
                ns.push_back(t.n);
                if (p.band.Limited() && !split.On()) {
                    CQuasiStatic q;
                    q.dFlexibility = t.scale * (t.weight.cwiseProduct(vm.flexibility)).sum();
                    q.dSecond = t.scale * (t.weight.cwiseProduct(vm.second)).sum();
                    q.bStatic = vm.bStatic;
                    batchQuasi.push_back(q);
                }
                terms.push_back(t);
            }
        }
        const size_t made = terms.size();
        const auto phase = [&](const std::vector<CPlanePoint>& at) {
            return [&](size_t e, int r) { return phaseOf(terms[e], at[static_cast<size_t>(r)]); };
        };
        if (receivers) receivers->Add(made, packed, phase(request.receivers), threads);
        if (fieldPoints) fieldPoints->Add(made, packed, phase(points), threads);
        if (!batchQuasi.empty()) {
            quasiAtReceivers.Add(batchQuasi, phase(request.receivers), threads);
            quasiAtPoints.Add(batchQuasi, phase(points), threads);
        }
        if (fieldSum) fieldSum->Add(made, packed, ms, ns, batchQuasi, threads);
        if (fieldSum && !(fieldSum->Bytes() <= kMaxFieldBytes)) {
            result.error = FieldMemoryMessage(fieldSum->Bytes());
            return result;
        }
        result.dSynthesisSeconds += Seconds(synthesisStart);
    }

    result.nExactVectors = exact.load();
    const auto finishStart = Clock::now();
    result.time.resize(times.nPoints);
    for (int j = 0; j < times.nPoints; ++j) result.time[j] = times.At(j);
    if (receivers) {
        result.bBinned = receivers->Binned();
        result.curves = receivers->Curves(threads);
        const CQuasiStaticLoad load = p.band.Limited() ? QuasiStaticLoad(p.load, times) : CQuasiStaticLoad{};
        for (size_t r = 0; r < result.curves.size(); ++r) quasiAtReceivers.AddTo(r, load, result.curves[r]);
        if (split.On())
            for (size_t r = 0; r < result.curves.size(); ++r) {
                double s1 = 0, s2 = 0;
                near.At(request.receivers[r].x, request.receivers[r].y, s1, s2);
                for (int j = 0; j < times.nPoints; ++j) result.curves[r][j] += s1 * load.value[j] - s2 * load.curvature[j];
            }
    }
    if (fieldPoints) {
        const std::vector<std::vector<double>> curves = fieldPoints->Curves(threads);
        const CQuasiStaticLoad load = p.band.Limited() ? QuasiStaticLoad(p.load, fieldTimes) : CQuasiStaticLoad{};
        result.field.assign(static_cast<size_t>(f.nT) * points.size(), 0.0);
        for (size_t q = 0; q < points.size(); ++q) {
            std::vector<double> curve = curves[q];
            quasiAtPoints.AddTo(q, load, curve);
            for (int t = 0; t < f.nT; ++t) result.field[static_cast<size_t>(t) * points.size() + q] = curve[t];
        }
    }
    if (fieldSum)
        result.field = fieldSum->Transform(threads, [&](double share) {
            if (options.progress && 90 + static_cast<int>(9 * share) > reported)
                options.progress(reported = 90 + static_cast<int>(9 * share));
        });
    if (fieldSum && split.On()) {
        std::vector<double> s1, s2;
        near.OnGrid(f, s1, s2);
        const CQuasiStaticLoad load = QuasiStaticLoad(p.load, fieldTimes);
        for (int t = 0; t < f.nT; ++t)
            for (size_t q = 0; q < s1.size(); ++q)
                result.field[static_cast<size_t>(t) * s1.size() + q] += s1[q] * load.value[t] - s2[q] * load.curvature[t];
    }
    result.dSynthesisSeconds += Seconds(finishStart);
    if (options.progress) options.progress(99);
    return result;
}

}  // namespace numerics
