#include "Transient.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <mutex>
#include <numbers>
#include <sstream>
#include <thread>

#include "ModalSolver.h"
#include "Parallel.h"
#include "Synthesis.h"

namespace numerics {

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// The transform's factor at kappa for the receiver at `angle` (x, or x / R on a shell).
double Phase(double kappa, double angle, double phaseSign) {
    return phaseSign == 0.0 ? std::cos(kappa * angle) : phaseSign * std::sin(kappa * angle);
}

}  // namespace

double Taper(double k, double kMax) {
    if (k >= kMax) return 0.0;
    // Gaussian: the load it leaves behind in space is a Gaussian as well, so nothing of it
    // reaches far ahead of the wave front, unlike the slowly decaying side lobes of a flat
    // window with rounded edges.
    const double s = k / kMax;
    return std::exp(-kTaperExponent * s * s);
}

std::string CheckModelSize(const CThicknessModel& model) {
    std::ostringstream msg;
    if (model.elements.size() > kMaxElements) {
        msg << "the layers hold " << model.elements.size() << " sublayers in all (at most " << kMaxElements
            << "): use fewer sublayers";
        return msg.str();
    }
    if (model.DofCount() > kMaxUnknowns) {
        msg << "the model would have " << model.DofCount() << " unknowns (at most " << kMaxUnknowns
            << "): use fewer sublayers or a lower --order";
        return msg.str();
    }
    return {};
}

std::string MakeWavenumbers(const CProblem& p, CWavenumbers& out) {
    out = CWavenumbers{};
    const double h = p.model.Thickness();
    out.dKMax = 2.0 * std::numbers::pi * p.dCutoffConst / h;
    // The count is decided in floating point: converting a double beyond every integer type
    // first would be undefined (and has been seen to give one wavenumber).
    double count = 0;
    if (p.bShell) {
        out.dSpacing = 1.0;
        out.dAngle = p.dReceiverX / p.dRadius;
        count = std::ceil(out.dKMax * p.dRadius) + 1;
    } else {
        const double speed = std::sqrt(p.model.FastestSpeedSquared());
        if (!std::isfinite(speed) || !(speed > 0))
            return "the fastest wave speed of the model is not a finite positive number: the moduli and "
                   "densities are too far apart";
        // The waves run from the start of the load, which a sampled one may place before 0.
        double start = 0;
        if (p.load.type == ELoadType::kSampled && !p.load.times.empty()) start = std::min(0.0, p.load.times.front());
        const double tMax = std::max(0.0, p.dTimeTo - start);
        // The tapered load is a Gaussian of half-width w: keep its tails (8 w) clear as well.
        const double spread = 8.0 * TaperWidth(out.dKMax);
        out.dPeriod = 1.05 * (std::abs(p.dReceiverX) + speed * tMax + spread) + h;
        out.dSpacing = 2.0 * std::numbers::pi / out.dPeriod;
        out.dAngle = p.dReceiverX;
        count = std::ceil(out.dKMax / out.dSpacing) + 1;
    }
    if (!(count <= static_cast<double>(kMaxWavenumbers))) {
        std::ostringstream msg;
        msg.precision(3);
        if (p.bShell)
            msg << "the shell would need " << count << " circumferential orders (at most " << kMaxWavenumbers
                << "): too many; lower the dimensionless constant or the radius";
        else
            msg << "the run would need " << count << " wavenumbers (at most " << kMaxWavenumbers << "): too many; ";
        if (const std::string note = InflatedSpeedNote(p.model); !p.bShell && !note.empty())
            msg << note << "; use a material further from incompressibility";
        else if (!p.bShell)
            msg << "shorten the time window, bring the receiver closer or lower the dimensionless constant";
        return msg.str();
    }
    const size_t n = static_cast<size_t>(count);
    const double kScale = p.bShell ? 1.0 / p.dRadius : 1.0;  // kappa -> k on the top surface
    for (size_t i = 0; i < n; ++i) {
        const double kappa = out.dSpacing * static_cast<double>(i);
        const double taper = Taper(kappa * kScale, out.dKMax);
        if (taper <= 0) break;
        out.kappa.push_back(kappa);
        out.weight.push_back((i == 0 ? 0.5 : 1.0) * out.dSpacing / std::numbers::pi * taper);
    }
    return {};
}

double ResolvedFrequency(const CProblem& p, const CWavenumbers& grid) {
    const double full = std::sqrt(p.model.FastestSpeedSquared()) * grid.dKMax;
    return p.band.Limited() ? std::min(full, p.band.dModeCutoff) : full;
}

void PlanBand(CProblem& p, int order) {
    p.band = {};
    CWavenumbers grid;
    if (!MakeWavenumbers(p, grid).empty()) return;  // refused later, with the reason
    p.band = PlanLoadBand(p.load, p.dTimeTo, ResolvedFrequency(p, grid));
    FitModelToBand(p, order);
}

void PlanBroadbandCutoff(CProblem& p, int order, int points) {
    if (order != kAutomaticOrder || p.band.Limited()) return;
    const ELoadType type = p.load.type;
    if (type != ELoadType::kStep && type != ELoadType::kCosine && type != ELoadType::kSine) return;
    CWavenumbers grid;
    if (!MakeWavenumbers(p, grid).empty()) return;
    // The frequency the automatic order resolved: the fastest front at the cut-off wavenumber
    // or what the output times can show.
    const double resolved = std::max(ResolvedFrequency(p, grid), ShownFrequency(p.dTimeFrom, p.dTimeTo, points));
    // Mode acceleration needs the modes it carries well above the load's own frequency.
    if (!(kModeCutoffFactor * resolved >= kBroadbandLoadMargin * p.load.dOmega) || !std::isfinite(resolved)) return;
    p.band.dEdge = 0;
    p.band.dModeCutoff = kModeCutoffFactor * resolved;
}

CTimeGrid OutputTimes(const CProblem& p, int points) {
    CTimeGrid times;
    times.nPoints = std::max(2, points);
    times.dFrom = p.dTimeFrom;
    times.dStep = (p.dTimeTo - p.dTimeFrom) / (times.nPoints - 1);
    return times;
}

namespace {

// The modes at kappa that go into the synthesis (omega^2 and products from the start of the
// arrays; their count returned), and the quasi-static part of the others. Without a cutoff every
// mode is synthesised. Where no mode lies at or below the cutoff no mode is solved for at all.
int SelectModes(const CModalSolver& solver, double kappa, int a, int b, double cutoff, double* omegaSquared,
                double* product, CQuasiStatic& quasi, CModalSolver::CWorkspace& ws) {
    quasi = {};
    const double limit = cutoff * cutoff;
    quasi.bStatic = cutoff > 0 && solver.StaticProducts(kappa, limit, a, b, quasi.dFlexibility, quasi.dSecond, ws);
    if (quasi.bStatic) return 0;
    const int found = solver.SolveProducts(kappa, a, b, omegaSquared, product, ws);
    if (!(cutoff > 0)) return found;
    int kept = 0;
    for (int j = 0; j < found; ++j) {
        const double w2 = omegaSquared[j], c = product[j];
        if (w2 > limit) {
            quasi.dFlexibility += c / w2;
            quasi.dSecond += c / (w2 * w2);
            continue;
        }
        omegaSquared[kept] = w2;
        product[kept++] = c;
    }
    return kept;
}

}  // namespace

CTransientResult SolveTransient(const CProblem& p, const CRunOptions& options) {
    return SolveAtReceivers(p, options, nullptr);
}

CTransientResult SolveAtReceivers(const CProblem& p, const CRunOptions& options, const std::vector<double>* receivers) {
    CTransientResult result;
    CWavenumbers grid;
    CProblem farthest = p;
    if (receivers && !receivers->empty()) {
        // The spacing of the wavenumbers must keep the images of the load away from every
        // receiver: the farthest decides.
        farthest.dReceiverX = receivers->front();
        for (double x : *receivers)
            if (std::abs(x) > std::abs(farthest.dReceiverX)) farthest.dReceiverX = x;
    }
    result.error = MakeWavenumbers(farthest, grid);
    if (!result.error.empty()) return result;

    const auto assemblyStart = Clock::now();
    const CModalSolver solver(AssembleBands(p.model));
    result.dAssemblySeconds = Seconds(assemblyStart);
    result.nUnknowns = solver.Size();
    result.nWavenumbers = grid.kappa.size();

    const int a = p.nOutput - 1, b = p.nLoadDir - 1;  // 0 u, 1 v, 2 w
    const bool aNormal = a == 2, bNormal = b == 2;
    // w is carried as i w~: mixed normal/in-plane pairs are odd in kappa and go with sine.
    const double phaseSign = (aNormal == bNormal) ? 0.0 : (aNormal ? -1.0 : 1.0);

    const size_t nk = grid.kappa.size();
    const int n = solver.Size();
    const int threads = std::max(1, options.nThreads);
    std::vector<CModalSolver::CWorkspace> spaces(threads);
    std::mutex progressLock;
    std::atomic<size_t> done{0}, modal{0};
    int reported = -1;

    const CTimeGrid times = OutputTimes(p, options.nPoints);
    std::unique_ptr<CSampledPlan> plan;
    if (p.load.type == ELoadType::kSampled)
        plan = std::make_unique<CSampledPlan>(p.load, times,
                                              options.bExactSampledLoad ? 0.0 : ResolvedFrequency(p, grid));
    // A sampled load's blocks sum its responses on the plan's own grid (see CSampledPlan).
    const size_t length = plan ? plan->BufferLength() : static_cast<size_t>(times.nPoints);
    std::unique_ptr<CReceiverSum> many;
    std::vector<double> angles;  // kappa * angle is the phase of each receiver
    if (receivers && static_cast<double>(receivers->size()) * static_cast<double>(length) > 4 * kMaxReceiverValues) {
        // A sampled load sums on a finer grid than the output: bound what the curves hold.
        result.error = "the receiving points would hold " + std::to_string(receivers->size() * length) +
                       " values at once: use fewer receiving points or fewer --points";
        return result;
    }
    if (receivers) {
        many = std::make_unique<CReceiverSum>(p.load, times, plan.get(), length, static_cast<int>(receivers->size()));
        for (double x : *receivers) angles.push_back(p.bShell ? x / p.dRadius : x);
    }

    // Wavenumbers go in batches (modes of a batch are kept, then summed), so memory stays
    // bounded however long the window. Within a batch a fixed set of blocks is summed on its
    // own and the blocks are added up in order: the result does not depend on the number of
    // threads or on which thread took which block.
    const size_t batch = kBatchWavenumbers;
    const size_t blocks = std::min<size_t>(nk, 64);
    std::vector<std::vector<double>> partial(receivers ? 0 : blocks, std::vector<double>(length, 0.0));
    CPackedModes packed;
    packed.omega.resize(std::min(batch, nk) * n);
    packed.coeff.resize(std::min(batch, nk) * n);
    packed.modeCount.resize(std::min(batch, nk));
    packed.offset.resize(std::min(batch, nk) + 1);
    std::vector<double>& omega = packed.omega;
    std::vector<double>& coeff = packed.coeff;
    std::vector<size_t>& modeCount = packed.modeCount;
    std::vector<size_t>& offset = packed.offset;
    // The quasi-static part of the modes above the band, per wavenumber (summed in order below).
    std::vector<CQuasiStatic> quasi(nk);
    const double cutoff = p.band.dModeCutoff;
    for (size_t start = 0; start < nk; start += batch) {
        const size_t count = std::min(batch, nk - start);
        const auto eigenStart = Clock::now();
        ParallelFor(count, threads, [&](size_t local, int t) {
            const size_t i = start + local;
            const double kappa = grid.kappa[i];
            double* w = &omega[local * n];
            double* c = &coeff[local * n];
            const int found = SelectModes(solver, kappa, a, b, cutoff, w, c, quasi[i], spaces[t]);
            modeCount[local] = static_cast<size_t>(found);
            if (!quasi[i].bStatic) modal.fetch_add(1);
            const double phase = many ? 1.0 : Phase(kappa, grid.dAngle, phaseSign);  // many: per receiver later
            const double scale = grid.weight[i] * phase;
            for (int j = 0; j < found; ++j) {
                w[j] = std::sqrt(std::max(0.0, w[j]));
                c[j] *= scale;
            }
            quasi[i].dFlexibility *= grid.weight[i];
            quasi[i].dSecond *= grid.weight[i];
            const size_t finished = done.fetch_add(1) + 1;
            if (options.progress) {
                const int percent = static_cast<int>(95 * finished / nk);
                std::lock_guard<std::mutex> lock(progressLock);
                if (percent > reported) {
                    reported = percent;
                    options.progress(percent);
                }
            }
        });
        result.dEigenSeconds += Seconds(eigenStart);

        const auto synthesisStart = Clock::now();
        // Modes that cannot reach the output were never solved for: pack the rest together.
        offset[0] = 0;
        for (size_t local = 0; local < count; ++local) {
            const size_t from = local * n, to = offset[local], m = modeCount[local];
            if (from != to) {
                std::copy(omega.begin() + from, omega.begin() + from + m, omega.begin() + to);
                std::copy(coeff.begin() + from, coeff.begin() + from + m, coeff.begin() + to);
            }
            offset[local + 1] = to + m;
        }
        if (many) {
            many->Add(count, packed,
                      [&](size_t local, int r) { return Phase(grid.kappa[start + local], angles[r], phaseSign); },
                      threads);
            result.dSynthesisSeconds += Seconds(synthesisStart);
            continue;
        }
        const size_t parts = std::min(blocks, count);
        ParallelFor(parts, threads, [&](size_t c, int) {
            const size_t first = offset[count * c / parts], last = offset[count * (c + 1) / parts];
            AccumulateModes(p.load, times, plan.get(), &omega[first], &coeff[first], last - first,
                            partial[c].data());
        });
        result.dSynthesisSeconds += Seconds(synthesisStart);
    }
    result.time.resize(times.nPoints);
    std::vector<double> sum(length, 0.0);
    for (size_t j = 0; j < length; ++j)
        for (size_t c = 0; c < partial.size(); ++c) sum[j] += partial[c][j];
    for (int j = 0; j < times.nPoints; ++j) result.time[j] = times.At(j);
    if (plan) plan->Finish(sum, result.value);
    else result.value = std::move(sum);
    const CQuasiStaticLoad load = p.band.Limited() ? QuasiStaticLoad(p.load, times) : CQuasiStaticLoad{};
    const auto phaseAt = [&](double angle) {
        return [&grid, angle, phaseSign](size_t i) { return Phase(grid.kappa[i], angle, phaseSign); };
    };
    if (!many) AddQuasiStatic(quasi, phaseAt(grid.dAngle), load, result.value);
    if (many) {
        result.receiverValues = many->Curves();
        for (size_t r = 0; r < angles.size(); ++r) AddQuasiStatic(quasi, phaseAt(angles[r]), load, result.receiverValues[r]);
    }
    result.nModalWavenumbers = modal.load();
    if (options.progress) options.progress(99);
    return result;
}

std::vector<std::vector<double>> Dispersion(const CThicknessModel& model, const std::vector<double>& kappas,
                                            int modes) {
    const CModalSolver solver(AssembleBands(model));
    CModalSolver::CWorkspace ws;
    std::vector<std::vector<double>> out;
    for (double kappa : kappas) {
        const Eigen::VectorXd w = solver.Frequencies(kappa, ws);
        const int count = std::min<int>(modes, static_cast<int>(w.size()));
        out.emplace_back(w.data(), w.data() + count);
    }
    return out;
}

}  // namespace numerics
