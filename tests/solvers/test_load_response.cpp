// Each load type's closed-form modal response against a direct quadrature of the Duhamel
// integral, and the many-mode summation (with its fast recurrences) against the point forms.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "LoadResponse.h"

using namespace numerics;

namespace {

// integral_a^b f(tau) sin(w (t - tau)) / w dtau by composite Gauss-Legendre (5 points).
double Duhamel(const std::function<double(double)>& f, double w, double t, double a, double b, int panels = 400) {
    static const double x[5] = {-0.9061798459386640, -0.5384693101056831, 0.0, 0.5384693101056831, 0.9061798459386640};
    static const double g[5] = {0.2369268850561891, 0.4786286704993665, 0.5688888888888889, 0.4786286704993665, 0.2369268850561891};
    double sum = 0;
    const double h = (b - a) / panels;
    for (int p = 0; p < panels; ++p)
        for (int i = 0; i < 5; ++i) {
            const double tau = a + (p + 0.5) * h + 0.5 * h * x[i];
            const double kernel = w == 0 ? (t - tau) : std::sin(w * (t - tau)) / w;
            sum += 0.5 * h * g[i] * f(tau) * kernel;
        }
    return sum;
}
double Duhamel(const std::function<double(double)>& f, double w, double t) { return Duhamel(f, w, t, 0, t); }

const double kOmegas[] = {0.0, 1e-9, 1e-3, 0.3, 2.5, 2.5 + 1e-8, 2.5 - 3e-4, 7.1};

}  // namespace

TEST(LoadResponse, ClosedFormsAreTheDuhamelIntegral) {
    const double big = 2.5, t = 3.7;
    for (double w : kOmegas) {
        SCOPED_TRACE(testing::Message() << "omega " << w);
        CLoadFunction load;
        load.dOmega = big;
        load.type = ELoadType::kStep;
        EXPECT_NEAR(ModalResponse(load, w, t), Duhamel([](double) { return 1.0; }, w, t), 1e-10);
        load.type = ELoadType::kImpulse;
        EXPECT_NEAR(ModalResponse(load, w, t), w == 0 ? t : std::sin(w * t) / w, 1e-12);
        load.type = ELoadType::kCosine;
        EXPECT_NEAR(ModalResponse(load, w, t), Duhamel([&](double s) { return std::cos(big * s); }, w, t), 1e-10);
        load.type = ELoadType::kSine;
        EXPECT_NEAR(ModalResponse(load, w, t), Duhamel([&](double s) { return std::sin(big * s); }, w, t), 1e-10);
        load.dOmega = -big;  // sin is odd in the frequency
        EXPECT_NEAR(ModalResponse(load, w, t), -Duhamel([&](double s) { return std::sin(big * s); }, w, t), 1e-10);
        // A sampled triangle from 0.5 to 2.5 us, zero outside.
        load.type = ELoadType::kSampled;
        load.times = {0.5, 1.0, 2.5};
        load.values = {0.4, 1.0, -0.2};
        const auto triangle = [&](double s) {
            if (s < 0.5 || s >= 2.5) return 0.0;
            if (s < 1.0) return 0.4 + (s - 0.5) * 1.2;
            return 1.0 - (s - 1.0) * 0.8;
        };
        EXPECT_NEAR(ModalResponse(load, w, t),
                    Duhamel(triangle, w, t, 0.5, 1.0) + Duhamel(triangle, w, t, 1.0, 2.5), 1e-11);
    }
    CLoadFunction load;
    EXPECT_EQ(ModalResponse(load, 1.0, -1.0), 0.0);  // at rest before the load
}

TEST(LoadResponse, SummedModesEqualTheirPointForms) {
    CTimeGrid grid{-0.5, 0.01, 601};  // starts before the load
    std::vector<double> omega(std::begin(kOmegas), std::end(kOmegas));
    for (double w = 0.05; w < 60; w *= 1.37) omega.push_back(w);
    std::vector<double> coeff;
    for (size_t i = 0; i < omega.size(); ++i) coeff.push_back(1.0 + 0.1 * i);
    for (int type = 1; type <= 5; ++type) {
        SCOPED_TRACE(testing::Message() << "type " << type);
        CLoadFunction load;
        load.type = static_cast<ELoadType>(type);
        load.dOmega = 2.5;
        load.times = {0.0, 0.333, 1.0, 4.0};
        load.values = {1.0, 0.5, -1.0, 0.25};
        CSampledPlan plan(load, grid);
        std::vector<double> out(grid.nPoints, 0.0);
        AccumulateModes(load, grid, &plan, omega.data(), coeff.data(), omega.size(), out.data());
        for (int j = 0; j < grid.nPoints; ++j) {
            double expected = 0;
            for (size_t p = 0; p < omega.size(); ++p) expected += coeff[p] * ModalResponse(load, omega[p], grid.At(j));
            ASSERT_NEAR(out[j], expected, 1e-9 * (1 + std::abs(expected))) << "t " << grid.At(j);
            if (grid.At(j) <= 0) {
                ASSERT_EQ(out[j], 0.0);
            }
        }
    }
}
