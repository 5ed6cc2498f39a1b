#include "TridiagonalModes.h"

#include <algorithm>
#include <cmath>
#include <limits>

extern "C" {
// LAPACK: eigenvectors of a symmetric tridiagonal matrix by inverse iteration.
void dstein_(const int* n, const double* d, const double* e, const int* m, const double* w, const int* iblock,
             const int* isplit, double* z, const int* ldz, double* work, int* iwork, int* ifail, int* info);
}

namespace numerics {

namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Rounds of the searches: bisection alone needs about 60 in double precision, with Newton's steps
// about a dozen; searches not done by then (never seen) are a failure.
constexpr int kMaxRounds = 200;

// At the points w.at[0 .. lanes - 1]: the Sturm counts (negative pivots q_i of T - x I, a
// vanishing one taken as a tiny negative one) and the logarithmic derivative of det(T - x I),
// sum_i q_i' / q_i, whose reciprocal is Newton's step.
void Counts(const Eigen::VectorXd& d, int lanes, double floor, CTridiagonalWork& w) {
    const int n = static_cast<int>(d.size());
    double* inverse = w.q.data();  // 1 / q_i
    double* slope = w.slope.data();
    double* sum = w.sum.data();
    int* below = w.below.data();
    const double* at = w.at.data();
    const double* squares = w.squares.data();
    for (int l = 0; l < lanes; ++l) {
        double p = d(0) - at[l];
        p = std::abs(p) <= floor ? -floor : p;
        inverse[l] = 1 / p;
        slope[l] = -1;
        sum[l] = -inverse[l];
        below[l] = p < 0 ? 1 : 0;
    }
    for (int i = 1; i < n; ++i) {
        const double di = d(i), e2 = squares[i - 1];
        // The lanes side by side: their recurrences are independent, so the divisions overlap.
        for (int l = 0; l < lanes; ++l) {
            const double r = e2 * inverse[l];
            const double ds = -1 + r * slope[l] * inverse[l];
            double p = di - at[l] - r;
            p = std::abs(p) <= floor ? -floor : p;
            inverse[l] = 1 / p;
            slope[l] = ds;
            sum[l] += ds * inverse[l];
            below[l] += p < 0 ? 1 : 0;
        }
    }
}

// Narrows the brackets of the first `count` eigenvalues by the counts just taken.
void Narrow(int lanes, int count, CTridiagonalWork& w) {
    for (int l = 0; l < lanes; ++l) {
        const double x = w.at[static_cast<size_t>(l)];
        const int c = w.below[static_cast<size_t>(l)];
        for (int o = 0; o < std::min(c, count); ++o)
            if (x < w.high[static_cast<size_t>(o)]) {
                w.high[static_cast<size_t>(o)] = x;
                w.highCount[static_cast<size_t>(o)] = c;
            }
        for (int o = c; o < count; ++o)
            if (x > w.low[static_cast<size_t>(o)]) {
                w.low[static_cast<size_t>(o)] = x;
                w.lowCount[static_cast<size_t>(o)] = c;
            }
    }
}

// The eigenvalues 0 .. count - 1 into w.values, from the brackets set. Per eigenvalue j: low[j]
// and high[j] bracket it (lowCount <= j eigenvalues below low, highCount >= j + 1 below high).
// Bisection until the bracket holds it alone, then Newton's method on det(T - x I) from inside
// for as long as its steps at least halve and stay in the bracket (else a bisection, so that the
// bracket halves at least every second round). Done when the bracket or a step is within the
// tolerance.
bool Search(const Eigen::VectorXd& d, int count, double tolerance, double floor, CTridiagonalWork& w) {
    const size_t m = static_cast<size_t>(count);
    w.step.assign(m, kInfinity);
    w.lanes.resize(m);
    for (int j = 0; j < count; ++j) w.lanes[static_cast<size_t>(j)] = j;
    int open = count;
    for (int round = 0; open > 0; ++round) {
        if (round == kMaxRounds) return false;
        for (int l = 0; l < open; ++l) w.at[static_cast<size_t>(l)] = w.point[static_cast<size_t>(w.lanes[static_cast<size_t>(l)])];
        Counts(d, open, floor, w);
        Narrow(open, count, w);
        int still = 0;
        for (int l = 0; l < open; ++l) {
            const size_t j = static_cast<size_t>(w.lanes[static_cast<size_t>(l)]);
            const double a = w.low[j], b = w.high[j];
            const double step = -1 / w.sum[static_cast<size_t>(l)], newton = w.at[static_cast<size_t>(l)] + step;
            const bool alone = w.lowCount[j] == static_cast<int>(j) && w.highCount[j] == static_cast<int>(j) + 1;
            const bool useful = alone && std::isfinite(newton) && newton > a && newton < b;
            if (b - a <= tolerance || (useful && std::abs(step) <= tolerance)) {
                w.values(static_cast<Eigen::Index>(j)) = b - a <= tolerance ? 0.5 * (a + b) : newton;
                continue;
            }
            const bool converging = useful && std::abs(step) <= 0.5 * w.step[j];
            w.step[j] = converging ? std::abs(step) : kInfinity;
            w.point[j] = converging ? newton : 0.5 * (a + b);
            w.lanes[static_cast<size_t>(still++)] = static_cast<int>(j);
        }
        open = still;
    }
    // Each search kept its own bracket: ascending up to the tolerance.
    std::sort(w.values.data(), w.values.data() + count);
    return true;
}

}  // namespace

int TridiagonalCountBelow(const Eigen::VectorXd& d, const Eigen::VectorXd& e, double x) {
    const int n = static_cast<int>(d.size());
    double largest = 1;
    for (int i = 0; i + 1 < n; ++i) largest = std::max(largest, e(i) * e(i));
    const double floor = std::numeric_limits<double>::min() * largest;
    int count = 0;
    double q = 1;
    for (int i = 0; i < n; ++i) {
        q = d(i) - x - (i > 0 ? e(i - 1) * e(i - 1) / q : 0.0);
        q = std::abs(q) <= floor ? -floor : q;
        count += q < 0 ? 1 : 0;
    }
    return count;
}

int LowestTridiagonal(const Eigen::VectorXd& d, const Eigen::VectorXd& e, double limit, int spares,
                      CTridiagonalWork& w) {
    const int n = static_cast<int>(d.size());
    w.values.resize(0);
    w.vectors.resize(n, 0);
    if (n == 0) return 0;
    w.squares.assign(static_cast<size_t>(n), 0.0);
    double largest = 1;
    for (int i = 0; i + 1 < n; ++i) largest = std::max(largest, w.squares[static_cast<size_t>(i)] = e(i) * e(i));
    // Gershgorin's bounds of the spectrum, slightly widened so that their counts are 0 and n.
    double lo = d(0), hi = d(0);
    for (int i = 0; i < n; ++i) {
        const double r = (i > 0 ? std::abs(e(i - 1)) : 0.0) + (i + 1 < n ? std::abs(e(i)) : 0.0);
        lo = std::min(lo, d(i) - r);
        hi = std::max(hi, d(i) + r);
    }
    const double tolerance = 4 * kEps * std::max(std::abs(lo), std::abs(hi));
    const double floor = std::numeric_limits<double>::min() * largest;
    lo -= tolerance + 2 * floor;
    hi += tolerance + 2 * floor;
    // The count at the limit, and one just below zero: a stiffness matrix's eigenvalues lie above
    // it, which spares the bisection most of the negative Gershgorin range.
    const size_t room = static_cast<size_t>(n);
    for (std::vector<double>* v : {&w.at, &w.q, &w.slope, &w.sum}) v->resize(std::max<size_t>(room, 2));
    w.below.resize(std::max<size_t>(room, 2));
    w.at[0] = limit;
    w.at[1] = std::min(limit, -8 * tolerance);
    Counts(d, 2, floor, w);
    const int below = w.below[0];
    const int count = std::min(n, below + std::max(0, spares));
    const size_t m = static_cast<size_t>(count);
    w.low.assign(m, lo);
    w.high.assign(m, hi);
    w.lowCount.assign(m, 0);
    w.highCount.assign(m, n);
    Narrow(2, count, w);
    // First points: the middles, but above the limit no further out than its distance from the
    // lowest bracket's foot again (the next modes lie near, the matrix's norm far).
    w.point.resize(m);
    const double reach = std::max(limit - (count > 0 ? w.low[0] : lo), tolerance);
    for (size_t j = 0; j < m; ++j) w.point[j] = std::min(0.5 * (w.low[j] + w.high[j]), w.low[j] + reach);
    w.values.resize(count);
    if (count == 0) return below;
    if (!Search(d, count, tolerance, floor, w)) return -1;
    // One block for inverse iteration: it keeps clustered eigenvalues' vectors orthogonal.
    w.vectors.resize(n, count);
    w.work.resize(5 * room);
    w.iwork.resize(room);
    w.block.assign(m, 1);
    w.split.assign(room, n);
    w.failed.resize(m);
    int info = 0;
    dstein_(&n, d.data(), e.data(), &count, w.values.data(), w.block.data(), w.split.data(), w.vectors.data(), &n,
            w.work.data(), w.iwork.data(), w.failed.data(), &info);
    return info == 0 ? below : -1;
}

}  // namespace numerics
