// Measures the phase per element that an element of each order resolves to 1e-6 in frequency,
// on the exact modes of a free uniform layer (-u'' = omega^2 u on [0, 1], omega_n = n pi): the
// source of the table in ElementOrder.cpp. Prints one number per order.
#include <Eigen/Dense>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "ElementOrder.h"
#include "Limits.h"
#include "ThicknessModel.h"

using namespace numerics;

namespace {

// The largest phase per element of a run of modes from the lowest that all lie within tol.
double MeasuredPhase(int p, double tol) {
    const int elements = std::max(4, 256 / p);
    const int n = elements * p + 1;
    const CReferenceElement& ref = ReferenceElement(p);
    const double h = 1.0 / elements, half = 0.5 * h;
    Eigen::MatrixXd k = Eigen::MatrixXd::Zero(n, n), m = Eigen::MatrixXd::Zero(n, n);
    for (int e = 0; e < elements; ++e)
        for (size_t g = 0; g < ref.abscissa.size(); ++g)
            for (int a = 0; a <= p; ++a)
                for (int b = 0; b <= p; ++b) {
                    const double w = ref.weight[g] * half;
                    k(e * p + a, e * p + b) += w * ref.dn(g, a) * ref.dn(g, b) / (half * half);
                    m(e * p + a, e * p + b) += w * ref.n(g, a) * ref.n(g, b);
                }
    const Eigen::GeneralizedSelfAdjointEigenSolver<Eigen::MatrixXd> es(k, m, Eigen::EigenvaluesOnly);
    double phase = 0;
    for (int mode = 1; mode < n; ++mode) {
        const double exact = mode * std::numbers::pi;
        const double omega = std::sqrt(std::max(0.0, es.eigenvalues()(mode)));
        if (std::abs(omega / exact - 1) > tol) break;
        phase = exact * h;
    }
    return phase;
}

}  // namespace

int main() {
    for (int p = 1; p <= kMaxOrder; ++p)
        std::printf("%d %.4f %.4f\n", p, MeasuredPhase(p, kOrderTolerance), ResolvedPhase(p));
    return 0;
}
