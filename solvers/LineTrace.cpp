#include "LineTrace.h"

#include <algorithm>
#include <cmath>

namespace numerics {

namespace {

// The overlap a certain continuation keeps: the eigenvector turns by less than 26 degrees.
constexpr double kCertainOverlap = 0.9;
// Below this overlap two modes are not taken as one line at all.
constexpr double kLeastOverlap = 0.1;

// The first mode of the run of (nearly) equal frequencies that j belongs to, and its end.
void Degenerate(const Eigen::VectorXd& omega, int j, int& first, int& end) {
    const double tolerance = 1e-9 * std::max(omega.maxCoeff(), 1e-300);
    first = j;
    while (first > 0 && omega(first) - omega(first - 1) <= tolerance) --first;
    end = j + 1;
    while (end < omega.size() && omega(end) - omega(end - 1) <= tolerance) ++end;
}

}  // namespace

bool SolveSample(const CPart& part, double kappa, int count, CTraceSample& out) {
    CEigenPairs pairs;
    if (!LowestPairs(part, kappa, count, pairs)) return false;
    out.dKappa = kappa;
    out.vectors = std::move(pairs.vectors);
    const int n = static_cast<int>(pairs.lambda.size());
    out.omega.resize(n);
    out.slope.resize(n);
    for (int j = 0; j < n; ++j) out.omega(j) = OmegaOf(pairs.lambda(j));
    if (kappa == 0) {
        const CZeroLimit limit = ZeroFrequencyLimit(part);
        const int rigid = std::min<int>(static_cast<int>(limit.speed.size()), n);
        for (int j = 0; j < rigid; ++j) {
            out.omega(j) = 0;
            out.vectors.col(j) = limit.vectors.col(j);
        }
        for (int j = 0; j < n; ++j) out.slope(j) = j < rigid ? limit.speed(j) : Slope(part, out.vectors.col(j), 0, out.omega(j));
        return true;
    }
    for (int j = 0; j < n; ++j) out.slope(j) = Slope(part, out.vectors.col(j), kappa, out.omega(j));
    return out.slope.allFinite();
}

std::vector<int> Partners(const CTraceSample& a, const CTraceSample& b, int relevant, bool* certain) {
    const Eigen::MatrixXd overlap = (a.vectors.transpose() * b.vectors).cwiseAbs();
    struct CPair { double overlap; int from, to; };
    std::vector<CPair> candidates;
    for (int j = 0; j < overlap.rows(); ++j)
        for (int i = 0; i < overlap.cols(); ++i)
            if (overlap(j, i) > kLeastOverlap) candidates.push_back({overlap(j, i), j, i});
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const CPair& x, const CPair& y) { return x.overlap > y.overlap; });
    std::vector<int> partner(static_cast<size_t>(a.Count()), -1);
    std::vector<bool> taken(static_cast<size_t>(b.Count()), false);
    for (const CPair& c : candidates)
        if (partner[c.from] < 0 && !taken[c.to]) {
            partner[c.from] = c.to;
            taken[c.to] = true;
        }
    if (certain) {
        *certain = true;
        const int r = std::min({relevant, a.Count(), b.Count()});
        for (int j = 0; j < r && *certain; ++j) {
            // Modes of equal frequency at a are any basis of their space: the space must go on.
            int first = 0, end = 0;
            Degenerate(a.omega, j, first, end);
            if (end - first == 1) {
                *certain = partner[j] == j && overlap(j, j) >= kCertainOverlap;
                continue;
            }
            end = std::min(end, b.Count());
            const double kept = overlap.block(first, first, end - first, end - first).squaredNorm();
            *certain = partner[j] >= first && partner[j] < end &&
                       kept >= kCertainOverlap * kCertainOverlap * (end - first);
        }
    }
    return partner;
}

std::string TracePart(const CPart& part, const std::vector<double>& kappas, const CTraceOptions& options,
                      const std::function<void(const CTraceSample&)>& start, const CStepVisitor& visit,
                      const std::function<void(int)>& after) {
    const auto solve = [&](double kappa, CTraceSample& s) {
        return SolveSample(part, kappa, options.nCount, s);
    };
    const auto failed = [](double kappa) { return "the eigen-solve failed at wavenumber " + std::to_string(kappa); };
    CTraceSample previous;
    if (!solve(kappas.front(), previous)) return failed(kappas.front());
    start(previous);
    if (after) after(0);
    int refinements = 0;
    for (size_t i = 1; i < kappas.size(); ++i) {
        // Samples still to be reached, the nearest last.
        std::vector<CTraceSample> pending(1);
        if (!solve(kappas[i], pending[0])) return failed(kappas[i]);
        while (!pending.empty()) {
            CTraceSample& next = pending.back();
            bool certain = false;
            const std::vector<int> partner = Partners(previous, next, options.nRelevant, &certain);
            const double step = next.dKappa - previous.dKappa;
            if (!certain && step > options.dMinStep && refinements < options.nMaxRefinements) {
                ++refinements;
                CTraceSample middle;
                const double kappa = previous.dKappa + 0.5 * step;
                if (!solve(kappa, middle)) return failed(kappa);
                pending.push_back(std::move(middle));
                continue;
            }
            visit(previous, next, partner, pending.size() == 1);
            previous = std::move(next);
            pending.pop_back();
        }
        if (after) after(static_cast<int>(i));
    }
    return {};
}

}  // namespace numerics
