// Bad input: a message naming the file and line, no result file, a non-zero exit; and inputs
// exactly as the writers write them (title line whole, CR LF line ends) are accepted.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>

#include "SolverRunner.h"

using namespace solvertest;

namespace {

// Quadratic elements: these runs are about files and messages, and stay short.
const std::vector<std::string> kQuick = AtOrder(2, {});

CLaminate Valid() {
    CLaminate lam;
    lam.materials = {Isotropic(200, 0.25, 8.0), {140, 10, 5, 0.3, 0.45, 45, 1.6}};
    lam.layers = {{2, 0.5, 1}, {1, 0.5, 0}};
    lam.dTimeTo = 1;
    return lam;
}

struct CBadCase {
    const char* name;
    std::string text;
    const char* expected;  // part of the message
};

// Replaces line `number` (1-based) of text.
std::string WithLine(const std::string& text, int number, const std::string& line) {
    std::string out;
    size_t start = 0;
    for (int i = 1; start <= text.size(); ++i) {
        const size_t end = text.find('\n', start);
        const std::string current = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (end == std::string::npos && current.empty()) break;
        out += (i == number ? line : current) + "\n";
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return out;
}

void ExpectRefused(const std::string& program, const std::string& input, const std::string& text,
                   const std::string& expected, const std::string& result) {
    CTempDir dir;
    dir.Write(input, text);
    const CRun run = RunSolver(program, {}, dir.Path());
    EXPECT_NE(run.nExit, 0);
    EXPECT_NE(run.strErr.find(expected), std::string::npos) << run.strErr;
    EXPECT_FALSE(dir.Exists(result));
}

}  // namespace

TEST(SolverBadInput, LaminateRefusedWithTheLine) {
    const std::string good = Valid().Text();
    // Lines: 1 title, 2 counts, 3-4 layers, 5-6 angles, 7-8 densities, 9 sublayers,
    // 10-11 constants, 12 plate, 13 load, 14 direction, 15 window, 16 receiver.
    const std::vector<CBadCase> cases = {
        {"material out of range", WithLine(good, 3, "3    0.5000"), "input.d line 3: layer 1 names material 3"},
        {"zero thickness", WithLine(good, 4, "1    0.0000"), "input.d line 4: the thickness of layer 2"},
        {"zero density", WithLine(good, 7, "0.0000"), "input.d line 7: the density of material 1"},
        {"negative modulus", WithLine(good, 10, "-200.0000  200.0000  80.0000  0.2500  0.2500"), "input.d line 10: material 1: the moduli"},
        {"indefinite", WithLine(good, 11, "140.0000  10.0000  5.0000  2.5000  0.4500"), "input.d line 11: material 2: the Poisson ratios"},
        {"empty window", WithLine(good, 15, "5.00    5.00"), "input.d line 15: the time window"},
        {"load type", WithLine(good, 13, "7    3.1400"), "input.d line 13: the load type"},
        {"layer count larger than the lines", WithLine(good, 2, "3    2    3.113646"), "input.d line 5: expected a layer's material number"},
        {"sublayers do not match", WithLine(good, 9, "1 "), "input.d line 9: expected the sublayer count"},
        {"text for a number", WithLine(good, 16, "two"), "input.d line 16: expected the receiving point"},
        {"trailing text", good + "9\n", "input.d line 17: unexpected text"},
        {"short file", good.substr(0, good.find("1    3.1400")), "input.d line 13: the file ends"},
        {"shell radius inside", WithLine(good, 12, "0 \n0.50"), "input.d line 13: the shell radius"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectRefused(LUMDEX_PATH, "input.d", c.text, c.expected, "result.dat");
    }
}

TEST(SolverBadInput, MissingInputAndUnknownOptions) {
    CTempDir dir;
    CRun run = RunSolver(LUMDEX_PATH, kQuick, dir.Path());
    EXPECT_NE(run.nExit, 0);
    EXPECT_NE(run.strErr.find("cannot open input.d"), std::string::npos);
    run = RunSolver(KAVRIT_PATH, {}, dir.Path());
    EXPECT_NE(run.nExit, 0);
    EXPECT_NE(run.strErr.find("cannot open inputfgm.dat"), std::string::npos);
    dir.Write("input.d", Valid().Text());
    run = RunSolver(LUMDEX_PATH, {"--bogus"}, dir.Path());
    EXPECT_NE(run.nExit, 0);
    EXPECT_FALSE(dir.Exists("result.dat"));
    // A sampled load without its samples.
    CLaminate lam = Valid();
    lam.nLoadType = 4;
    dir.Write("input.d", lam.Text());
    run = RunSolver(LUMDEX_PATH, kQuick, dir.Path());
    EXPECT_NE(run.nExit, 0);
    EXPECT_NE(run.strErr.find("ft.dat"), std::string::npos);
    dir.Write("ft.dat", "0 1\n0 2\n");
    run = RunSolver(LUMDEX_PATH, kQuick, dir.Path());
    EXPECT_NE(run.strErr.find("ft.dat line 2: the times must increase"), std::string::npos) << run.strErr;
    EXPECT_FALSE(dir.Exists("result.dat"));
}

TEST(SolverBadInput, FailedRunLeavesAnOldResultAlone) {
    CTempDir dir;
    dir.Write("result.dat", "old");
    dir.Write("input.d", WithLine(Valid().Text(), 15, "1.00    0.00"));
    EXPECT_NE(RunSolver(LUMDEX_PATH, kQuick, dir.Path()).nExit, 0);
    EXPECT_EQ(dir.Read("result.dat"), "old");
}

TEST(SolverGoodInput, TitleWithBlanksAndCrLfLineEnds) {
    CLaminate lam = Valid();
    lam.strTitle = "two words   and 3 numbers 4 5";
    CTempDir lf, crlf;
    lf.Write("input.d", lam.Text(false));
    crlf.Write("input.d", lam.Text(true));
    ASSERT_EQ(RunSolver(LUMDEX_PATH, kQuick, lf.Path()).nExit, 0);
    ASSERT_EQ(RunSolver(LUMDEX_PATH, kQuick, crlf.Path()).nExit, 0);
    EXPECT_EQ(lf.Read("result.dat"), crlf.Read("result.dat"));
    // No temporary file is left beside the result.
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(lf.Path())) ++files;
    EXPECT_EQ(files, 2u);
}

TEST(SolverBadInput, GradedRefusedWithTheLine) {
    CGraded g;
    g.materials = {{200, 8, 0.3}, {70, 2.7, 0.33}};
    g.layers = {{1.0, 0.5}, {0.5, 0.5}};
    const std::string good = g.Text();
    // Lines: 1-2 materials, 3 count, 4-5 layers, 6 last fraction, 7 plate, 8 load, 9 direction,
    // 10 window, 11 receiver.
    const std::vector<CBadCase> cases = {
        {"fraction above one", WithLine(good, 5, "1.5000  0.5000"), "inputfgm.dat line 5: the volume fraction of layer 2"},
        {"negative modulus", WithLine(good, 2, "-70.0000  2.7000  0.3300"), "inputfgm.dat line 2: material 2: the modulus"},
        {"poisson ratio", WithLine(good, 1, "200.0000  8.0000  0.5000"), "inputfgm.dat line 1: material 1: the Poisson ratio"},
        {"zero density", WithLine(good, 1, "200.0000  0.0000  0.3000"), "inputfgm.dat line 1: the density of material 1"},
        {"three materials", "1.0000  1.0000  0.2000\n" + good, "inputfgm.dat line 4: a graded layer mixes two materials"},
        {"no material", good.substr(good.find("2\n")), "inputfgm.dat line 1: no material lines"},
        {"text for a modulus", WithLine(good, 1, "200.0000  dense  0.3000"), "inputfgm.dat line 1: expected E1, density and v12"},
        {"empty window", WithLine(good, 10, "3.00    1.00"), "inputfgm.dat line 10: the time window"},
        {"count above the lines", WithLine(good, 3, "3"), "inputfgm.dat line 6: expected a layer's volume fraction"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectRefused(KAVRIT_PATH, "inputfgm.dat", c.text, c.expected, "resultfgm.dat");
    }
}

TEST(SolverBadInput, ProblemsTooLargeAreRefused) {
    // Rather than alias waves from the load's images, a run that would need too fine a
    // wavenumber spacing says so.
    CLaminate lam = Valid();
    lam.dTimeTo = 90000;
    CTempDir dir;
    dir.Write("input.d", lam.Text());
    const CRun run = RunSolver(LUMDEX_PATH, kQuick, dir.Path());
    EXPECT_NE(run.nExit, 0);
    EXPECT_NE(run.strErr.find("wavenumbers"), std::string::npos) << run.strErr;
    EXPECT_FALSE(dir.Exists("result.dat"));
    lam.dTimeTo = 1;
    lam.bPlate = 0;
    lam.dRadius = 1e6;
    dir.Write("input.d", lam.Text());
    EXPECT_NE(RunSolver(LUMDEX_PATH, kQuick, dir.Path()).strErr.find("circumferential orders"), std::string::npos);

    // Nor are thousands of sublayers taken on (the through-thickness matrices are dense).
    lam = Valid();
    lam.layers[0].nSublayers = 400;
    lam.layers[1].nSublayers = 400;
    dir.Write("input.d", lam.Text());
    const CRun many = RunSolver(LUMDEX_PATH, {"--dispersion"}, dir.Path());
    EXPECT_NE(many.nExit, 0);
    EXPECT_NE(many.strErr.find("input.d line 9: the layers hold 800 sublayers"), std::string::npos) << many.strErr;
    // A count no machine could hold is refused before anything is built.
    lam.layers[0].nSublayers = 999999999;
    dir.Write("input.d", lam.Text());
    EXPECT_NE(RunSolver(LUMDEX_PATH, kQuick, dir.Path()).strErr.find("sublayers in all"), std::string::npos);
    CGraded g;
    g.materials = {{200, 8, 0.3}};
    g.layers = {{1.0, 1.0}};
    dir.Write("inputfgm.dat", g.Text());
    const CRun graded = RunSolver(KAVRIT_PATH, {"--cutoff", "1000"}, dir.Path());
    EXPECT_NE(graded.nExit, 0);
    EXPECT_NE(graded.strErr.find("sublayers in all"), std::string::npos) << graded.strErr;
    EXPECT_FALSE(dir.Exists("resultfgm.dat"));
}

TEST(SolverBadInput, EveryOptionIsBoundedWithExitTwo) {
    CTempDir dir;
    dir.Write("input.d", Valid().Text());
    const struct {
        const char* program;
        std::vector<std::string> args;
        const char* expected;
    } cases[] = {
        {LUMDEX_PATH, {"--points", "10000000"}, "--points needs a whole count from 2 to 100000: 10000000 is too large"},
        {LUMDEX_PATH, {"--threads", "10000000"}, "--threads needs a whole count from 1 to 256"},
        {LUMDEX_PATH, {"--threads", "0"}, "--threads needs"},
        {LUMDEX_PATH, {"--points", "2.5"}, "--points needs a whole count"},
        {LUMDEX_PATH, {"--points"}, "--points needs"},
        {LUMDEX_PATH, {"--dispersion", "--modes", "1e300"}, "--modes needs"},
        {LUMDEX_PATH, {"--dispersion", "1e300"}, "KAPPA 1e300 lies outside"},
        {LUMDEX_PATH, {"--points", "nan"}, "--points needs"},
        {LUMDEX_PATH, {"--sublayers", "4"}, "unknown argument \"--sublayers\""},
        {KAVRIT_PATH, {"--sublayers", "501"}, "--sublayers needs a whole count from 1 to 500"},
        {KAVRIT_PATH, {"--cutoff", "inf"}, "--cutoff needs a number"},
        {KAVRIT_PATH, {"--cutoff", "0"}, "--cutoff needs a number from 0.001 to 1000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front());
        const CRun run = RunSolver(c.program, c.args, dir.Path());
        EXPECT_EQ(run.nExit, 2);
        EXPECT_NE(run.strErr.find(c.expected), std::string::npos) << run.strErr;
    }
    EXPECT_FALSE(dir.Exists("result.dat"));
}

TEST(SolverBadInput, ADispersionTableWithAnInfiniteValueIsWrittenNowhere) {
    // A wavenumber next to zero makes omega / k overflow (the lowest root of this stack keeps a
    // rounding floor there): neither the file nor standard output may carry it, and the run
    // fails. 1e-300 still divides to a finite phase velocity.
    CTempDir dir;
    std::ifstream in(std::string(PEMBLAR_SOLVER_DATA) + "/standard.input.d", std::ios::binary);
    dir.Write("input.d", std::string(std::istreambuf_iterator<char>(in), {}));
    for (const char* k : {"1e-318"}) {
        SCOPED_TRACE(k);
        const CRun toFile = RunSolver(LUMDEX_PATH, {"--dispersion", "--wavenumbers", k, k, "1", "--modes", "2",
                                                     "--output", "curves.txt"}, dir.Path());
        EXPECT_NE(toFile.nExit, 0);
        EXPECT_NE(toFile.strErr.find("not finite"), std::string::npos) << toFile.strErr;
        EXPECT_FALSE(dir.Exists("curves.txt"));
        const CRun toScreen = RunSolver(LUMDEX_PATH, {"--dispersion", "--wavenumbers", k, k, "1", "--modes", "2"},
                                        dir.Path());
        EXPECT_NE(toScreen.nExit, 0);
        EXPECT_EQ(toScreen.strOut.find("inf"), std::string::npos) << toScreen.strOut;
    }
    const CRun fine = RunSolver(LUMDEX_PATH, {"--dispersion", "--wavenumbers", "1e-300", "1e-300", "1", "--modes", "2",
                                              "--output", "curves.txt"}, dir.Path());
    EXPECT_EQ(fine.nExit, 0) << fine.strErr;
    EXPECT_EQ(dir.Read("curves.txt").find("inf"), std::string::npos);
}

TEST(SolverBadInput, MessagesQuoteOnlyAShortPrefix) {
    // A number of a megabyte is refused without echoing it whole.
    CTempDir dir;
    const std::string huge(1 << 20, '7');
    dir.Write("input.d", WithLine(Valid().Text(), 16, huge + "x"));
    CRun run = RunSolver(LUMDEX_PATH, kQuick, dir.Path());
    EXPECT_EQ(run.nExit, 1);
    EXPECT_NE(run.strErr.find("input.d line 16: expected the receiving point"), std::string::npos) << run.strErr.substr(0, 200);
    EXPECT_LT(run.strErr.size(), 200u);
    run = RunSolver(LUMDEX_PATH, {"--points", huge.substr(0, 100000)}, dir.Path());  // below the argument limit
    EXPECT_EQ(run.nExit, 2);
    // The message line is short; the usage text follows it.
    EXPECT_LT(run.strErr.find('\n'), 200u);
    EXPECT_EQ(run.strErr.find(huge.substr(0, 200)), std::string::npos);
    CLaminate lam = Valid();
    lam.nLoadType = 4;
    dir.Write("input.d", lam.Text());
    dir.Write("ft.dat", "0 0\n" + huge + " 1\n");
    run = RunSolver(LUMDEX_PATH, kQuick, dir.Path());
    EXPECT_NE(run.strErr.find("ft.dat line 2: expected two numbers, a time and a load value, found \"7777"), std::string::npos) << run.strErr.substr(0, 200);
    EXPECT_LT(run.strErr.size(), 200u);
}

TEST(SolverBadInput, DirectoriesAndCrOnlyLineEndsAreNamedAsSuch) {
    CTempDir dir;
    std::filesystem::create_directory(dir.File("input.d"));
    CRun run = RunSolver(LUMDEX_PATH, kQuick, dir.Path());
    EXPECT_EQ(run.nExit, 1);
    EXPECT_NE(run.strErr.find("input.d is a directory"), std::string::npos) << run.strErr;
    std::filesystem::remove(dir.File("input.d"));

    CLaminate lam = Valid();
    lam.nLoadType = 4;
    dir.Write("input.d", lam.Text());
    std::filesystem::create_directory(dir.File("ft.dat"));
    run = RunSolver(LUMDEX_PATH, kQuick, dir.Path());
    EXPECT_NE(run.strErr.find("ft.dat is a directory"), std::string::npos) << run.strErr;
    std::filesystem::remove(dir.File("ft.dat"));
    dir.Write("ft.dat", "0 0\r0.1 1\r0.2 0\r");
    run = RunSolver(LUMDEX_PATH, kQuick, dir.Path());
    EXPECT_NE(run.strErr.find("ft.dat line 1: the line ends in a carriage return alone"), std::string::npos) << run.strErr;

    std::string cr = Valid().Text();
    for (char& c : cr)
        if (c == '\n') c = '\r';
    dir.Write("input.d", cr);
    run = RunSolver(LUMDEX_PATH, kQuick, dir.Path());
    EXPECT_NE(run.strErr.find("input.d line 1: the line ends in a carriage return alone"), std::string::npos)
        << run.strErr;
    CGraded g;
    g.materials = {{200, 8, 0.3}};
    g.layers = {{1.0, 1.0}};
    std::string graded = g.Text();
    graded[graded.find('\n')] = '\r';
    dir.Write("inputfgm.dat", graded);
    run = RunSolver(KAVRIT_PATH, {}, dir.Path());
    EXPECT_NE(run.strErr.find("inputfgm.dat line 1: the line ends in a carriage return alone"), std::string::npos)
        << run.strErr;
    EXPECT_FALSE(dir.Exists("result.dat"));
    EXPECT_FALSE(dir.Exists("resultfgm.dat"));
}

TEST(SolverBadInput, FileSizeLimitIsReportedAndLeavesNoTemporaryFile) {
    CTempDir dir;
    dir.Write("input.d", Valid().Text());
    dir.Write("result.dat", "old");
    // 4 blocks of 512 bytes: room for the messages, not for a result of 1001 points.
    const CRun run = RunSolver("/bin/sh", {"-c", std::string("ulimit -f 4; exec ") + LUMDEX_PATH + " --order 2"}, dir.Path());
    EXPECT_EQ(run.nExit, 1);
    EXPECT_NE(run.strErr.find("cannot write result.dat: File too large"), std::string::npos) << run.strErr;
    EXPECT_EQ(dir.Read("result.dat"), "old");
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_EQ(e.path().filename().string().find("result.dat."), std::string::npos) << e.path();
}

TEST(SolverBadInput, TemporaryFilesOfAKilledRunAreRemovedByTheNext) {
    CTempDir dir;
    dir.Write("input.d", Valid().Text());
    dir.Write("result.dat.Ab12Cd", "partial result of a killed run");
    dir.Write("result.dat.notmine", "a file of the user's");    // not a temporary name
    dir.Write("result.dat.Busy01", "a run still writing");
    // A writer at work holds a lock on its temporary file.
    const int busy = ::open(dir.File("result.dat.Busy01").c_str(), O_RDONLY);
    ASSERT_GE(busy, 0);
    ASSERT_EQ(::flock(busy, LOCK_EX), 0);
    EXPECT_EQ(RunSolver(LUMDEX_PATH, kQuick, dir.Path()).nExit, 0);
    ::close(busy);
    EXPECT_FALSE(dir.Exists("result.dat.Ab12Cd"));
    EXPECT_TRUE(dir.Exists("result.dat.notmine"));
    EXPECT_TRUE(dir.Exists("result.dat.Busy01"));
    EXPECT_TRUE(dir.Exists("result.dat"));
    // A failed run cleans up as well.
    dir.Write("input.d", "");
    dir.Write("result.dat.Zz99zz", "");
    EXPECT_NE(RunSolver(LUMDEX_PATH, kQuick, dir.Path()).nExit, 0);
    EXPECT_FALSE(dir.Exists("result.dat.Zz99zz"));
}

TEST(SolverBadInput, ExtremeValuesAreRefusedWithTheirBounds) {
    const std::string good = Valid().Text();
    const std::vector<CBadCase> cases = {
        {"huge thickness", WithLine(good, 4, "1    1e300"), "input.d line 4: the thickness of layer 2 (1e+300 mm) must lie between 1e-09 and 1e+06 mm"},
        {"huge angle", WithLine(good, 5, "1e308"), "input.d line 5: the angle of material 1"},
        {"tiny density", WithLine(good, 7, "1e-300"), "input.d line 7: the density of material 1 (1e-300 g/cm3) must lie between"},
        {"huge modulus", WithLine(good, 10, "1e308  1e308  1e308  0.2500  0.2500"), "input.d line 10: material 1: the modulus E1"},
        {"huge window", WithLine(good, 15, "0    1e308"), "input.d line 15: the time window's ends"},
        {"huge frequency", WithLine(good, 13, "3    1e308"), "input.d line 13: the load frequency"},
        {"huge receiver", WithLine(good, 16, "-1e308"), "input.d line 16: the receiving point"},
        {"huge radius", WithLine(good, 12, "0 \n1e308"), "input.d line 13: the shell radius"},
        {"huge count", WithLine(good, 2, "2147483648    2    3.113646"), "input.d line 2: the layer count 2.14748e+09 is too large"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectRefused(LUMDEX_PATH, "input.d", c.text, c.expected, "result.dat");
    }
    CLaminate lam = Valid();
    lam.nLoadType = 4;
    CTempDir dir;
    dir.Write("input.d", lam.Text());
    const std::pair<const char*, const char*> loads[] = {
        {"0 0\n1e-320 1\n", "ft.dat line 2: the time step from the line before is below 1e-09 us"},
        {"0 0\n0.5 1.7e308\n", "ft.dat line 2: the load value 1.7e308 lies outside"},
        {"-1e308 0\n0.5 1\n", "ft.dat line 1: the time -1e308 us lies outside"},
    };
    for (const auto& [text, expected] : loads) {
        dir.Write("ft.dat", text);
        const CRun run = RunSolver(LUMDEX_PATH, kQuick, dir.Path());
        EXPECT_EQ(run.nExit, 1);
        EXPECT_NE(run.strErr.find(expected), std::string::npos) << run.strErr;
        EXPECT_FALSE(dir.Exists("result.dat"));
    }
}
