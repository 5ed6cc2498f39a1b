// Property: whatever number stands in any field of an input, the solver either refuses it with a
// message naming the file and the line, or computes a curve that is finite everywhere. Every
// numeric field of "input.d", "inputfgm.dat" and "ft.dat" is set in turn to values at and
// beyond the limits of double and of the documented bounds; accepted runs go through the whole
// core (wavenumber grid, assembly, eigen-solves, synthesis) at a few output points.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "Limits.h"
#include "ResultFile.h"
#include "SolverInput.h"
#include "Transient.h"

using namespace numerics;

namespace {

const char* const kExtremes[] = {"1e308", "-1e308", "1.7976931348623157e308", "1e-308", "4.9e-324", "-4.9e-324",
                                 "0",     "-0",     "1e-9",                   "1e6",    "1e7",      "1e-6",
                                 "1e3",   "360",    "-360",                   "2147483648", "1e9", "3e-7"};

// The text with token `column` of line `line` (both 0-based) replaced.
std::string WithToken(const std::string& text, size_t line, size_t column, const std::string& value) {
    std::istringstream in(text);
    std::string out, current;
    for (size_t i = 0; std::getline(in, current); ++i) {
        if (i == line) {
            std::istringstream fields(current);
            std::string token, rebuilt;
            for (size_t c = 0; fields >> token; ++c) rebuilt += (c ? " " : "") + (c == column ? value : token);
            current = rebuilt;
        }
        out += current + "\n";
    }
    return out;
}

std::vector<std::vector<std::string>> Tokens(const std::string& text) {
    std::vector<std::vector<std::string>> lines;
    std::istringstream in(text);
    std::string line, token;
    while (std::getline(in, line)) {
        lines.emplace_back();
        std::istringstream fields(line);
        while (fields >> token) lines.back().push_back(token);
    }
    return lines;
}

// Refused with "<name> line N: ...", or run (when small enough) to a finite curve.
void ExpectRefusedOrFinite(const std::string& error, const std::string& name, CProblem& problem,
                           const std::string& where) {
    if (!error.empty()) {
        EXPECT_EQ(error.rfind(name + " line ", 0), 0u) << where << ": " << error;
        return;
    }
    // Hundreds of sublayers or many thousands of wavenumbers (a window of 1e3 us, say) are
    // large, not extreme: they only make the test slow.
    CWavenumbers grid;
    if (problem.model.elements.size() > 8 || !CheckRunSize(problem, 12).empty() ||
        !MakeWavenumbers(problem, grid).empty() || grid.kappa.size() > 800)
        return;
    CRunOptions options;
    options.nPoints = 12;
    const CTransientResult result = SolveTransient(problem, options);
    ASSERT_TRUE(result.error.empty()) << where << ": " << result.error;
    EXPECT_EQ(CheckCurveFinite(result.time, result.value, "u"), "") << where;
}

const std::string kLaminate =
    "extremes\n"
    "2 2 3.113646\n"
    "1 0.5\n"
    "2 0.5\n"
    "0\n45\n"
    "8\n1.6\n"
    "1 1\n"
    "200 200 80 0.25 0.25\n"
    "140 10 5 0.3 0.45\n"
    "1\n"
    "%LOAD%\n"
    "3 3\n"
    "0 0.1\n"
    "0.2\n";

std::string Laminate(const std::string& load, bool shell) {
    std::string text = kLaminate;
    text.replace(text.find("%LOAD%"), 6, load);
    if (shell) text.replace(text.find("\n1\n"), 3, "\n0\n20\n");
    return text;
}

}  // namespace

TEST(ExtremeValues, EveryLaminateFieldIsRefusedOrGivesAFiniteCurve) {
    // A plate under a step and a sine load, and a shell under a cosine load.
    const std::string bases[] = {Laminate("1 3.14", false), Laminate("5 3.14", false), Laminate("3 2", true)};
    for (const std::string& base : bases) {
        const auto lines = Tokens(base);
        for (size_t line = 1; line < lines.size(); ++line) {
            for (size_t column = 0; column < lines[line].size(); ++column) {
                for (const char* value : kExtremes) {
                    const std::string text = WithToken(base, line, column, value);
                    std::ostringstream where;
                    where << "line " << line + 1 << " column " << column + 1 << " = " << value;
                    CProblem problem;
                    // Quadratic elements keep the sweep short: moduli decades apart make the
                    // automatic order climb to its cap on nearly every case (the fuzz targets
                    // run it).
                    ExpectRefusedOrFinite(ParseCompositeInput(text, "input.d", problem, kQuadraticOrder), "input.d",
                                          problem, where.str());
                }
            }
        }
    }
}

TEST(ExtremeValues, EveryGradedFieldIsRefusedOrGivesAFiniteCurve) {
    const std::string base =
        "200 8 0.3\n70 2.7 0.33\n2\n1 0.5\n0.5 0.5\n0\n1\n1 3.14\n3 3\n0 0.1\n0.2\n";
    const auto lines = Tokens(base);
    for (size_t line = 0; line < lines.size(); ++line) {
        for (size_t column = 0; column < lines[line].size(); ++column) {
            for (const char* value : kExtremes) {
                for (bool moriTanaka : {false, true}) {
                    CFgmOptions options;
                    options.bMoriTanaka = moriTanaka;
                    options.nSublayers = 1;
                    options.nOrder = kQuadraticOrder;  // as the laminate sweep
                    std::ostringstream where;
                    where << "line " << line + 1 << " column " << column + 1 << " = " << value;
                    CProblem problem;
                    const std::string text = WithToken(base, line, column, value);
                    ExpectRefusedOrFinite(ParseFgmInput(text, "inputfgm.dat", options, problem), "inputfgm.dat",
                                          problem, where.str());
                }
            }
        }
    }
}

TEST(ExtremeValues, EverySampledLoadFieldIsRefusedOrGivesAFiniteCurve) {
    CProblem plate;
    ASSERT_EQ(ParseCompositeInput(Laminate("4 0", false), "input.d", plate, kQuadraticOrder), "");
    const std::string base = "0 0\n0.02 1\n0.05 -0.5\n0.09 0\n";
    const auto lines = Tokens(base);
    for (size_t line = 0; line < lines.size(); ++line) {
        for (size_t column = 0; column < 2; ++column) {
            for (const char* value : kExtremes) {
                std::ostringstream where;
                where << "ft.dat line " << line + 1 << " column " << column + 1 << " = " << value;
                CProblem problem = plate;
                const std::string error = ParseSampledLoad(WithToken(base, line, column, value), "ft.dat", problem.load);
                ExpectRefusedOrFinite(error, "ft.dat", problem, where.str());
            }
        }
    }
}

TEST(ExtremeValues, HugeCountsAreTooLargeNotFractional) {
    CProblem p;
    for (const char* count : {"2147483648", "1e9", "1e300", "4294967297"}) {
        const std::string text = WithToken(Laminate("1 3.14", false), 1, 0, count);
        const std::string error = ParseCompositeInput(text, "input.d", p);
        EXPECT_NE(error.find("input.d line 2: the layer count"), std::string::npos) << error;
        EXPECT_NE(error.find("too large"), std::string::npos) << error;
        const std::string sub = ParseCompositeInput(WithToken(Laminate("1 3.14", false), 8, 1, count), "input.d", p);
        EXPECT_TRUE(sub.find("too large") != std::string::npos || sub.find("sublayers in all (at most") != std::string::npos)
            << sub;
        EXPECT_EQ(sub.find("whole number"), std::string::npos) << sub;
    }
    EXPECT_NE(ParseCompositeInput(WithToken(Laminate("1 3.14", false), 1, 0, "2.5"), "input.d", p).find("whole number"),
              std::string::npos);
}

TEST(ExtremeValues, WavenumberCountBeyondEveryIntegerIsRefused) {
    // A receiver 1e6 mm away and the largest cut-off constant: the count is far past 2^64 in
    // floating point and must be refused as such, not wrapped into a small integer.
    CProblem p;
    std::string text = WithToken(Laminate("1 3.14", false), 15, 0, "1e6");
    text = WithToken(text, 1, 2, "1000");
    text = WithToken(text, 2, 1, "1e-9");
    text = WithToken(text, 3, 1, "1e-9");
    ASSERT_EQ(ParseCompositeInput(text, "input.d", p), "");
    CWavenumbers grid;
    const std::string error = MakeWavenumbers(p, grid);
    EXPECT_NE(error.find("wavenumbers (at most"), std::string::npos) << error;
    EXPECT_NE(error.find("e+"), std::string::npos) << error;  // the count, shown in floating point
    EXPECT_TRUE(grid.kappa.empty());
}

TEST(ExtremeValues, TheCurveCheckNamesWhatOverflowed) {
    EXPECT_EQ(CheckCurveFinite({0, 1}, {0, 1e308}, "displacement W"), "");
    const std::string error = CheckCurveFinite({0, 0.5, 1}, {0, INFINITY, NAN}, "displacement W");
    EXPECT_NE(error.find("displacement W at t = 0.5 us overflowed (infinite)"), std::string::npos) << error;
    EXPECT_NE(CheckCurveFinite({0}, {NAN}, "displacement U").find("not a number"), std::string::npos);
}
