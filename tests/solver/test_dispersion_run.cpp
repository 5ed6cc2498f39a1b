// The "Dispersion curves..." run: the document's stack in its own directory, the real solver
// started through the runner, the table read back; and everything that can go wrong told.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "DispersionRun.h"
#include "ProjectFormat.h"
#include "RecordList.h"
#include "SolverRun.h"
#include "WorkingDirectory.h"
#include "test_real_solver_home.h"
#include "test_run_support.h"

namespace fs = std::filesystem;
using namespace projtest;

namespace {

using testsupport::FakeSolver;
using testsupport::ReadText;

class DispersionRun : public RealSolverHome {};

}  // namespace

TEST_F(DispersionRun, CrossPlyCurvesFromTheRealSolver) {
    CrossPly(doc, 2);
    CDispersionSettings s;
    s.dFrom = 0;
    s.dTo = 1;
    s.nPoints = 40;
    s.nModes = 3;
    CDispersionTable table;
    ASSERT_EQ(RunDispersion(doc, s, table), DispersionOutcome::Done) << Said();
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_EQ(CurrentDirectory(), m_root.string());
    ASSERT_EQ(runner.requests.size(), 1u);
    const ProcessRequest& r = runner.requests[0];
    EXPECT_EQ(r.program, (m_root / "bin" / "lumdex").string());  // the solver in "bin", by its full name
    EXPECT_EQ(r.workingDirectory, (m_root / "bin" / "dispersion").string());
    EXPECT_EQ(r.arguments, (std::vector<std::string>{"--dispersion", "--fd", "0", "1", "40", "--modes", "3",
                                                     "--output", "dispersion.dat"}));
    // The stack went to its own directory; the project's input in "bin" is not touched.
    EXPECT_EQ(ReadText(m_root / "bin" / "dispersion" / "input.d"), FormatSolverInput(CompositeKind(), doc));
    EXPECT_FALSE(fs::exists(m_root / "bin" / "input.d"));

    EXPECT_DOUBLE_EQ(table.dThickness, 1.0);
    std::vector<std::string> names;
    for (const CDispersionMode& m : table.modes) {
        names.push_back(m.strName);
        ASSERT_EQ(m.frequency.size(), 40u) << m.strName;  // each from 0 to 1 MHz mm in 40 points
        EXPECT_EQ(m.frequency[0], 0.0);
        for (size_t i = 1; i < m.frequency.size(); ++i) {
            EXPECT_NEAR(m.frequency[i], i / 39.0, 1e-9);
            EXPECT_NEAR(m.phase[i], 2 * M_PI * m.frequency[i] / m.wavenumber[i], 1e-6 * m.phase[i]);
        }
    }
    EXPECT_EQ(names, (std::vector<std::string>{"A0", "SH0", "S0"}));
    // SH0 of plies with one in-plane shear modulus: sqrt(G12 / rho) at every frequency.
    for (double c : table.modes[1].group) EXPECT_NEAR(c, std::sqrt(5 / 1.6), 1e-6);
    // The energy velocity is the group velocity without skew in a cross-ply; the stack is kept
    // for mode shapes, with the project's load direction and output.
    EXPECT_TRUE(table.bMirrorSymmetric);
    for (const CDispersionMode& m : table.modes)
        for (size_t i = 0; i < m.group.size(); ++i) {
            EXPECT_NEAR(m.energyX[i], m.group[i], 1e-7 * (1 + std::abs(m.group[i]))) << m.strName;
            EXPECT_NEAR(m.skew[i], 0.0, 1e-9);
        }
    ASSERT_TRUE(table.stack);
    EXPECT_DOUBLE_EQ(table.stack->model.Thickness(), 1.0);
    EXPECT_EQ(table.nLoad, doc.m_nLoadDir - 1);
    EXPECT_EQ(table.nOutput, doc.m_nOutput - 1);
}

TEST_F(DispersionRun, AFixedElementOrderIsTakenByTheRealSolver) {
    CrossPly(doc, 2);
    CDispersionSettings s;
    s.dTo = 1;
    s.nPoints = 20;
    s.nModes = 3;
    for (int order : {2, 6}) {
        s.nElementOrder = order;
        CDispersionTable table;
        ASSERT_EQ(RunDispersion(doc, s, table), DispersionOutcome::Done)
            << order << ": " << Said();
        const std::vector<std::string>& args = runner.requests.back().arguments;
        ASSERT_GE(args.size(), 2u);
        EXPECT_EQ(args[args.size() - 2], "--order");
        EXPECT_EQ(args.back(), std::to_string(order));
        ASSERT_EQ(table.modes.size(), 3u);
        EXPECT_EQ(table.modes[1].strName, "SH0");
        // Uniform through the thickness: exact at every order.
        for (double c : table.modes[1].group) EXPECT_NEAR(c, std::sqrt(5 / 1.6), 1e-6) << order;
    }
}

TEST_F(DispersionRun, GradedPlateRunsKavritInFrequency) {
    ClearRecords(doc.m_materials, doc.m_nMaterials);
    AppendRecord(doc.m_materials, doc.m_nMaterials, Material("ceramic", 1, 380, 380, 150, 0.25, 0.25, 3.9, 0));
    AppendRecord(doc.m_materials, doc.m_nMaterials, Material("metal", 2, 70, 70, 26, 0.33, 0.33, 2.7, 0));
    ClearRecords(doc.m_fgmLayers, doc.m_nFGMLayerCount);
    AppendRecord(doc.m_fgmLayers, doc.m_nFGMLayerCount, FGMLayer(1, 1, 1.0f, 2.0f));
    doc.m_fFGMLastVolFraction = 0;
    CDispersionSettings s;
    s.nProject = 1;
    s.bPerThickness = false;
    s.dFrom = 0.1;
    s.dTo = 0.5;
    s.nPoints = 30;
    s.nModes = 2;
    CDispersionTable table;
    ASSERT_EQ(RunDispersion(doc, s, table), DispersionOutcome::Done) << Said();
    EXPECT_EQ(runner.requests[0].program, (m_root / "binFGM" / "Kavrit").string());
    EXPECT_EQ(runner.requests[0].arguments[1], "--frequencies");
    EXPECT_TRUE(fs::exists(m_root / "binFGM" / "dispersion" / "inputfgm.dat"));
    // Graded through the thickness: no mirror symmetry, so the Lamb-type lines are numbered;
    // isotropic at every point, v still moves alone (SH).
    ASSERT_EQ(table.modes.size(), 2u);
    EXPECT_EQ(table.modes[0].strName, "M0");
    EXPECT_EQ(table.modes[1].strName, "SH0");
    for (double f : table.modes[0].frequency) {
        EXPECT_GE(f, 0.1);
        EXPECT_LE(f, 0.5);
    }
}

TEST_F(DispersionRun, FailuresAreToldAndNothingIsPassedOff) {
    CDispersionTable table;
    CDispersionSettings s;
    // No layers yet: refused before any run, with the solver's reason.
    EXPECT_EQ(RunDispersion(doc, s, table), DispersionOutcome::Refused);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_NE(sink.messages[0].find("Enter the parameters first."), std::string::npos);
    EXPECT_TRUE(runner.requests.empty());

    CrossPly(doc, 2);
    for (auto bad : {CDispersionSettings{0, true, 1, 1, 10, 2}, CDispersionSettings{0, true, -1, 1, 10, 2},
                     CDispersionSettings{0, true, 0, 1, 1, 2}, CDispersionSettings{0, true, 0, 1, 10, 0},
                     CDispersionSettings{0, true, 0, NAN, 10, 2}})
        EXPECT_EQ(RunDispersion(doc, bad, table), DispersionOutcome::Refused);
    EXPECT_TRUE(runner.requests.empty());
    // A fixed order too high for the stack, checked before any run: 40 elements of order 64
    // are 2561 nodes.
    sink.messages.clear();
    for (auto& layer : doc.m_layers) layer.m_nSublayers = 10;
    CDispersionSettings tooHigh;
    tooHigh.nElementOrder = 64;
    EXPECT_EQ(RunDispersion(doc, tooHigh, table), DispersionOutcome::Refused);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_NE(sink.messages[0].find("the model would have 7683 unknowns (at most 3003)"), std::string::npos)
        << sink.messages[0];
    EXPECT_TRUE(runner.requests.empty());
    for (auto& layer : doc.m_layers) layer.m_nSublayers = 2;

    sink.messages.clear();
    runner.cancel = true;
    EXPECT_EQ(RunDispersion(doc, s, table), DispersionOutcome::Cancelled);
    EXPECT_EQ(sink.messages.back(), "The dispersion run was cancelled.");
    runner.cancel = false;

    // A solver that fails, or succeeds without a table: an old table is never read as new.
    std::ofstream(m_root / "bin" / "dispersion" / "dispersion.dat") << "A0 1 2 3 4\n";
    for (const char* fake : {"exits_nonzero", "writes_nothing"}) {
        fs::remove(m_root / "bin" / "lumdex");
        fs::copy_file(FakeSolver(fake), m_root / "bin" / "lumdex");
        fs::permissions(m_root / "bin" / "lumdex", fs::perms::owner_all);
        sink.messages.clear();
        EXPECT_EQ(RunDispersion(doc, s, table), DispersionOutcome::Failed) << fake;
        ASSERT_EQ(sink.messages.size(), 1u);
        EXPECT_EQ(sink.messages[0], std::string(fake[0] == 'e' ? "The solver lumdex failed with exit code 3; no "
                                                                 "dispersion curves were computed."
                                                               : "The solver lumdex wrote no dispersion table "
                                                                 "\"dispersion.dat\"."));
    }
    EXPECT_EQ(CurrentDirectory(), m_root.string());
}

TEST(DispersionArguments, AFixedElementOrderComesLastAndAutomaticAddsNothing) {
    CDispersionSettings s;
    s.bPerThickness = false;
    s.dFrom = 0.5;
    s.dTo = 3;
    s.nPoints = 60;
    s.nModes = 4;
    const std::vector<std::string> plain{"--dispersion", "--frequencies", "0.5", "3", "60",
                                         "--modes", "4", "--output", "d.dat"};
    EXPECT_EQ(DispersionArguments(s, "d.dat"), plain);
    s.nElementOrder = 12;
    std::vector<std::string> fixed = plain;
    fixed.insert(fixed.end(), {"--order", "12"});
    EXPECT_EQ(DispersionArguments(s, "d.dat"), fixed);
    s.nElementOrder = kMaxElementOrder + 1;  // beyond the solvers' limit: left to their choice
    EXPECT_EQ(DispersionArguments(s, "d.dat"), plain);
}

TEST(DispersionTable, ReadsTheSolversTableAndRefusesOthers) {
    CDispersionTable t;
    EXPECT_EQ(ParseDispersionTable("# head\n# columns\nA0 0.1 1 0.6 0.9\r\nA0 0.2 2 0.63 0.95\nS0 0.3 1 1.6 1.5\n", t), "");
    ASSERT_EQ(t.modes.size(), 2u);
    EXPECT_EQ(t.modes[0].strName, "A0");
    EXPECT_EQ(t.modes[0].frequency, (std::vector<double>{0.1, 0.2}));
    EXPECT_EQ(t.modes[1].group, (std::vector<double>{1.5}));
    EXPECT_FALSE(t.bMirrorSymmetric);
    EXPECT_EQ(t.modes[0].energyX, (std::vector<double>{0, 0}));  // a table of four numbers has none
    // Ten numbers: the energy velocity's components, the skew and the top displacement as well.
    EXPECT_EQ(ParseDispersionTable("# curves of the plate, mirror-symmetric\n# columns\nM0 0.1 1 0.6 0.9 0.8 0.1 7 1 2 3\n", t), "");
    EXPECT_TRUE(t.bMirrorSymmetric);
    EXPECT_EQ(t.modes[0].energyY, (std::vector<double>{0.1}));
    EXPECT_EQ(t.modes[0].skew, (std::vector<double>{7}));
    EXPECT_EQ(t.modes[0].top[2], (std::vector<double>{3}));
    for (const char* bad : {"A0 0.1 1 0.6\n", "A0 0.1 1 0.6 inf\n", "A0 0.1 1 0.6 1 2\n", "A0 1 1 1 1 1 1 1 1 1 1 1\n"})
        EXPECT_EQ(ParseDispersionTable(bad, t), "line 1: expected a mode name and four or ten numbers") << bad;
    EXPECT_EQ(ParseDispersionTable("A0 1 1 1 1\nS0 1 1 1 1\nA0 2 2 2 2\n", t),
              "line 3: the points of mode A0 are not together");
}
