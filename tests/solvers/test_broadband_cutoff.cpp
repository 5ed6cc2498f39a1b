// Step, cosine and sine loads at the automatic order: the modes above the frequency the order
// resolves are carried quasi-statically. Against a converged curve (four sublayers of order 24,
// every mode), the default must be at least as close as synthesising every mode of the same
// model, near the load and farther off: dropping the modes' static part, or the dynamics of
// the modes that are still close, would make it worse.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "SolverInput.h"
#include "SolverRunner.h"
#include "Transient.h"

using namespace numerics;
using solvertest::RelativeL2;

namespace {

constexpr int kPoints = 401;

// A 1 mm aluminium plate of `sublayers` elements, load `type` along `dir` read along `dir`.
CProblem Plate(int sublayers, int order, int type, int dir, double receiver) {
    const std::string text = "t\n1 1 3.113646\n1 1.0\n0\n2.7\n" + std::to_string(sublayers) +
                             "\n70 70 26.3158 0.33 0.33\n1\n" + std::to_string(type) + " 3.14\n" +
                             std::to_string(dir) + " " + std::to_string(dir) + "\n0 10\n" + std::to_string(receiver) +
                             "\n";
    CProblem p;
    EXPECT_EQ(ParseCompositeInput(text, "input.d", p, order, kPoints), "");
    return p;
}

std::vector<double> Curve(const CProblem& p) {
    CRunOptions options;
    options.nPoints = kPoints;
    options.nThreads = 2;
    return SolveTransient(p, options).value;
}

}  // namespace

TEST(BroadbandCutoff, ModesAboveTheResolvedFrequencyAreQuasiStaticAndLoseNothing) {
    struct CCase {
        int type, dir;
        double receiver;
    };
    // X step at 2 mm (a new project's), Z step at 0.5 mm, Z cosine and X sine at 2 mm.
    for (const CCase c : {CCase{1, 1, 2.0}, CCase{1, 3, 0.5}, CCase{3, 3, 2.0}, CCase{5, 1, 2.0}}) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " direction " << c.dir << " at " << c.receiver);
        const CProblem every = Plate(1, kAutomaticOrder, c.type, c.dir, c.receiver);
        CProblem automatic = every;
        PlanBroadbandCutoff(automatic, kAutomaticOrder, kPoints);
        // What 401 points over 10 us show, pi / dt, lies above the fastest front at the cut-off.
        ASSERT_NEAR(automatic.band.dModeCutoff, kModeCutoffFactor * std::numbers::pi * 40, 1e-9);
        const std::vector<double> reference = Curve(Plate(4, 24, c.type, c.dir, c.receiver));
        const double everyError = RelativeL2(Curve(every), reference);
        const double error = RelativeL2(Curve(automatic), reference);
        // Measured: 5.8e-5 against 8.9e-5, 1.08e-5 against 1.09e-5, 8.2e-4 against 9.3e-4 (the
        // cosine's start at 401 points), 1.6e-5 against 2.2e-5.
        EXPECT_LE(error, everyError);
    }
    // An impulse keeps every mode, and so does a fixed order.
    CProblem impulse = Plate(1, kAutomaticOrder, 2, 3, 2.0);
    PlanBroadbandCutoff(impulse, kAutomaticOrder, kPoints);
    EXPECT_FALSE(impulse.band.Limited());
    CProblem fixed = Plate(1, 2, 1, 1, 2.0);
    PlanBroadbandCutoff(fixed, 2, kPoints);
    EXPECT_FALSE(fixed.band.Limited());
    // A cosine too fast for the modes above the cutoff to follow it quasi-statically.
    CProblem fast = Plate(1, kAutomaticOrder, 3, 3, 2.0);
    fast.load.dOmega = 70;
    PlanBroadbandCutoff(fast, kAutomaticOrder, kPoints);
    EXPECT_FALSE(fast.band.Limited());
}
