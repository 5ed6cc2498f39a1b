// The banded eigen-solver against curves computed by the dense solver it replaced (kept in
// data/ at full precision, 401 points): a cross-ply plate (split by the mirror and into SH and
// Lamb parts), an off-axis and an unsymmetric laminate (neither split applies), a cross-ply
// shell and a graded plate. The results must not depend on the number of threads, to the bit.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "SolverInput.h"
#include "Transient.h"

using namespace numerics;

namespace {

std::string Read(const std::string& name) {
    std::ifstream in(std::string(PEMBLAR_SOLVER_DATA) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

std::vector<double> Reference(const std::string& name) {
    std::istringstream in(Read(name));
    std::string line;
    std::getline(in, line);  // comment
    std::vector<double> v;
    for (double x; in >> x;) v.push_back(x);
    return v;
}

double RelativeL2(const std::vector<double>& a, const std::vector<double>& reference) {
    double diff = 0, norm = 0;
    for (size_t i = 0; i < reference.size(); ++i) {
        diff += (a[i] - reference[i]) * (a[i] - reference[i]);
        norm += reference[i] * reference[i];
    }
    return std::sqrt(diff / norm);
}

}  // namespace

TEST(CurvesUnchanged, BandedSolverReproducesTheDenseCurves) {
    struct CCase {
        const char* input;
        const char* reference;
        bool graded;
    };
    for (const CCase& c : {CCase{"standard.input.d", "standard.reference.txt", false},
                           CCase{"offaxis.input.d", "offaxis.reference.txt", false},
                           CCase{"unsymmetric.input.d", "unsymmetric.reference.txt", false},
                           CCase{"shell.input.d", "shell.reference.txt", false},
                           CCase{"graded.inputfgm.dat", "graded.reference.txt", true}}) {
        SCOPED_TRACE(c.input);
        CProblem problem;
        const std::string text = Read(c.input);
        CFgmOptions quadratic;
        quadratic.nOrder = kQuadraticOrder;
        ASSERT_EQ(c.graded ? ParseFgmInput(text, c.input, quadratic, problem)
                           : ParseCompositeInput(text, c.input, problem, kQuadraticOrder),
                  "");
        const std::vector<double> reference = Reference(c.reference);
        CRunOptions options;
        options.nPoints = static_cast<int>(reference.size());
        options.nThreads = 1;
        const CTransientResult one = SolveTransient(problem, options);
        ASSERT_EQ(one.error, "");
        ASSERT_EQ(one.value.size(), reference.size());
        EXPECT_LE(RelativeL2(one.value, reference), 1e-9);
        options.nThreads = 3;
        const CTransientResult three = SolveTransient(problem, options);
        EXPECT_EQ(three.value, one.value);
    }
}

TEST(CurvesUnchanged, ManyReceiversFromOneSolve) {
    // A mixed pair (X load read as W: odd in x, the sine transform) on an off-axis laminate.
    CProblem problem;
    ASSERT_EQ(ParseCompositeInput(Read("offaxis.input.d"), "offaxis.input.d", problem, kQuadraticOrder), "");
    const std::vector<double> receivers = {4.0, -2.5, 1.0};
    CRunOptions options;
    options.nPoints = 201;
    options.nThreads = 1;
    const CTransientResult one = SolveAtReceivers(problem, options, &receivers);
    ASSERT_EQ(one.error, "");
    ASSERT_EQ(one.receiverValues.size(), receivers.size());
    options.nThreads = 3;
    EXPECT_EQ(SolveAtReceivers(problem, options, &receivers).receiverValues, one.receiverValues);
    // The farthest point (4 mm, the input's own) sets the wavenumbers: its curve is the single
    // run's; the point at -2.5 mm of an odd response mirrors the one at +2.5.
    options.nThreads = 1;
    const CTransientResult single = SolveTransient(problem, options);
    EXPECT_LE(RelativeL2(one.receiverValues[0], single.value), 1e-12);
    const std::vector<double> mirror = {4.0, 2.5};
    const CTransientResult plus = SolveAtReceivers(problem, options, &mirror);
    std::vector<double> negated = plus.receiverValues[1];
    for (double& v : negated) v = -v;
    EXPECT_LE(RelativeL2(one.receiverValues[1], negated), 1e-12);
}
