// The "Wave field..." run: its settings kept in the project's settings file, what is refused
// before a solver starts, and the real solver run beside the project with its field read back.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "ProjectFormat.h"
#include "ProjectSettings.h"
#include "RecordList.h"
#include "WaveFieldRun.h"
#include "WorkingDirectory.h"
#include "test_real_solver_home.h"
#include "test_run_support.h"

namespace fs = std::filesystem;
using namespace projtest;

namespace {

using testsupport::ReadText;

CWaveFieldSettings Small() {
    CWaveFieldSettings s;
    s.m_dXFrom = -6, s.m_dXTo = 6, s.m_nXPoints = 13;
    s.m_dYFrom = -4, s.m_dYTo = 4, s.m_nYPoints = 9;
    s.m_dTimeFrom = 0, s.m_dTimeTo = 4, s.m_nFrames = 5;
    s.m_nComponent = 3;
    s.m_nDirection = 3;
    s.m_bDefined = true;
    return s;
}

// A [0/90/90/0] plate, 0.25 mm plies of one element: small and quick.
class WaveFieldRun : public RealSolverHome {
protected:
    void SetUp() override {
        RealSolverHome::SetUp();
        CrossPly(doc, 1);
        doc.m_bPlate = 1;
        doc.m_nLoadType = 1;
        doc.m_dFrequency = 3.0;
        doc.m_nLoadDir = 1;
        doc.m_nOutput = 1;
        doc.m_fTimeFrom = 2;
        doc.m_fTimeTo = 30;
        doc.m_fReceiverX = 7;
    }
};

}  // namespace

TEST(WaveFieldSettingsText, TravelsInTheProjectSettingsAndIncompleteOrBadLinesOfferTheDefaults) {
    CProjectSettings s;
    s.elementOrder = 3;
    s.hasElementOrder = true;
    s.waveField = Small();
    s.waveField.m_dXFrom = -6.25;
    s.waveField.m_nComponent = 1;
    s.waveField.m_nDirection = 2;
    const std::string text = FormatProjectSettings(s);
    EXPECT_EQ(text,
              "# the program's settings of the project beside this file\norder 3\n"
              "wave-field-x -6.25 6 13\nwave-field-y -4 4 9\nwave-field-times 0 4 5\n"
              "wave-field-output U\nwave-field-source Y\n");
    CProjectSettings back;
    ASSERT_EQ(ParseProjectSettings(text, back), "");
    EXPECT_TRUE(back.waveField.m_bDefined);
    EXPECT_EQ(FormatWaveFieldLines(back.waveField), FormatWaveFieldLines(s.waveField));
    EXPECT_EQ(back.elementOrder, 3);

    // Without a wave field nothing of it is written.
    s.waveField = CWaveFieldSettings{};
    EXPECT_EQ(FormatProjectSettings(s).find("wave-field"), std::string::npos);

    // A line missing, a value that does not read, one the solvers would refuse: the whole wave
    // field is dropped (the form offers its defaults), the other settings still count.
    const std::string whole = FormatWaveFieldLines(Small());
    const auto without = [&](const std::string& key) {
        std::string t = whole;
        const size_t at = t.find(key);
        t.erase(at, t.find('\n', at) + 1 - at);
        return t;
    };
    for (const std::string& bad :
         {without("wave-field-y"), without("wave-field-source"), whole + "wave-field-output Q\n",
          whole + "wave-field-x -6 6 13 14\n", whole + "wave-field-x -6 6 1.5\n", whole + "wave-field-times 0 4 0\n",
          whole + "wave-field-y 4 -4 9\n", whole + "wave-field-x -6 nan 13\n",
          whole + "wave-field-times 0 4 10000\nwave-field-x -50 50 4096\n"}) {
        ASSERT_EQ(ParseProjectSettings("order 5\n" + bad, back), "") << bad;
        EXPECT_FALSE(back.waveField.m_bDefined) << bad;
        EXPECT_EQ(back.waveField.m_nXPoints, CWaveFieldSettings{}.m_nXPoints) << bad;
        EXPECT_EQ(back.elementOrder, 5);
    }
}

TEST(WaveFieldSettingsCheck, EveryRefusalSaysWhatToChange) {
    EXPECT_EQ(CheckWaveFieldSettings(Small()), "");
    const auto with = [](auto change) {
        CWaveFieldSettings s = Small();
        change(s);
        return CheckWaveFieldSettings(s);
    };
    EXPECT_EQ(with([](auto& s) { s.m_nXPoints = 0; }), "The number of x range points must be from 1 to 4096.");
    EXPECT_EQ(with([](auto& s) { s.m_nFrames = 10001; }), "The number of frames must be from 1 to 10000.");
    EXPECT_EQ(with([](auto& s) { s.m_dYTo = -5; }), "The y range must run upwards: \"to\" above \"from\".");
    EXPECT_EQ(with([](auto& s) { s.m_dXTo = s.m_dXFrom; }), "The x range must run upwards: \"to\" above \"from\".");
    // One point takes the lower end: a range of none is fine then.
    EXPECT_EQ(with([](auto& s) { s.m_dXTo = s.m_dXFrom, s.m_nXPoints = 1; }), "");
    EXPECT_EQ(with([](auto& s) { s.m_dXFrom = -2e6; }), "The x range must lie within +-1e+06.");
    EXPECT_EQ(with([](auto& s) { s.m_dTimeFrom = -1; }), "The times must start at 0 or later: the load starts at 0.");
    EXPECT_EQ(with([](auto& s) { s.m_dTimeTo = 0, s.m_nFrames = 1; }), "The last frame must come after 0.");
    EXPECT_EQ(with([](auto& s) { s.m_nXPoints = s.m_nYPoints = 1000, s.m_nFrames = 100; }),
              "The wave field would hold 1e+08 values (at most 5e+07): use fewer points or frames.");
    EXPECT_EQ(with([](auto& s) { s.m_nComponent = 4; }), "The component must be U, V or W.");
    EXPECT_EQ(with([](auto& s) { s.m_nDirection = 0; }), "The direction of the source must be X, Y or Z.");

    EXPECT_EQ(WaveFieldArguments(Small(), "f.h5", 0),
              (std::vector<std::string>{"--point-source", "--field", "-6", "6", "13", "-4", "4", "9", "--field-times",
                                        "0", "4", "5", "--field-output", "f.h5"}));
    EXPECT_EQ(WaveFieldArguments(Small(), "f.h5", 4).back(), "4");
}

TEST_F(WaveFieldRun, TheRealSolverGivesAFieldWithTheCrossPlysMirrorSymmetry) {
    doc.m_nElementOrder = 2;
    ASSERT_EQ(DefaultWaveField(CompositeKind(), doc).m_nDirection, 1);  // the project's own X load
    CWaveFieldSettings s = Small();
    CWaveFieldResult result;
    ASSERT_EQ(RunWaveField(doc, CompositeKind(), s, result), WaveFieldOutcome::Done) << Said();
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_EQ(CurrentDirectory(), m_root.string());
    ASSERT_EQ(runner.requests.size(), 1u);
    EXPECT_EQ(runner.requests[0].workingDirectory, (m_root / "bin" / "wavefield").string());
    EXPECT_EQ(runner.requests[0].arguments, WaveFieldArguments(s, kWaveFieldFile, 2));
    // The run's input: the project's stack and load with the source's direction and component,
    // a window from 0 to the last frame; the project's own input is not touched.
    EXPECT_EQ(doc.m_nLoadDir, 1);  // the project's own, as they were
    EXPECT_EQ(doc.m_fTimeTo, 30.0f);
    const std::string project = FormatSolverInput(CompositeKind(), doc);
    doc.m_nLoadDir = 3, doc.m_nOutput = 3, doc.m_fTimeFrom = 0, doc.m_fTimeTo = 4;
    EXPECT_EQ(ReadText(m_root / "bin" / "wavefield" / "input.d"), FormatSolverInput(CompositeKind(), doc));
    EXPECT_NE(project, FormatSolverInput(CompositeKind(), doc));
    EXPECT_FALSE(fs::exists(m_root / "bin" / "input.d"));
    EXPECT_EQ(result.path, (m_root / "bin" / "wavefield" / kWaveFieldFile).string());

    const numerics::CFieldFile& f = result.field;
    ASSERT_EQ(f.x.size(), 13u);
    ASSERT_EQ(f.y.size(), 9u);
    ASSERT_EQ(f.t.size(), 5u);
    ASSERT_EQ(f.field.size(), 13u * 9u * 5u);
    EXPECT_EQ(f.strComponent, "W");
    EXPECT_EQ(f.strSolver, "lumdex");
    EXPECT_EQ(f.strLoadDirection, "Z");
    EXPECT_DOUBLE_EQ(f.x.front(), -6);
    EXPECT_DOUBLE_EQ(f.t.back(), 4);
    // W of a Z load on a 0/90 stack is even in x and in y. The grid is symmetric about the
    // source, so the mirrored points are points of the grid; the solver's sums agree to
    // rounding (1e-9 of the frame's largest value allows for the order of the additions).
    const auto at = [&](size_t t, size_t j, size_t i) { return f.field[(t * 9 + j) * 13 + i]; };
    double largest = 0;
    for (double v : f.field) largest = std::max(largest, std::abs(v));
    ASSERT_GT(largest, 0);
    for (size_t t = 0; t < 5; ++t)
        for (size_t j = 0; j < 9; ++j)
            for (size_t i = 0; i < 13; ++i) {
                EXPECT_NEAR(at(t, j, i), at(t, j, 12 - i), 1e-9 * largest);
                EXPECT_NEAR(at(t, j, i), at(t, 8 - j, i), 1e-9 * largest);
            }
    // The load starts at 0: the first frame is still (the taper's spread reaches no further).
    for (size_t k = 0; k < 13 * 9; ++k) EXPECT_NEAR(f.field[k], 0.0, 1e-6 * largest);
}

TEST_F(WaveFieldRun, ShellsBadSettingsAndACancelAreToldAndNoOldFieldPasses) {
    CWaveFieldResult result;
    result.path = "untouched";
    doc.m_bPlate = 0;
    doc.m_fRadius = 20;
    EXPECT_EQ(RunWaveField(doc, CompositeKind(), Small(), result), WaveFieldOutcome::Refused);
    EXPECT_EQ(Said(), "A wave field needs a plate: the project describes a shell.");
    doc.m_bPlate = 1;
    sink.messages.clear();
    CWaveFieldSettings bad = Small();
    bad.m_nFrames = 0;
    EXPECT_EQ(RunWaveField(doc, CompositeKind(), bad, result), WaveFieldOutcome::Refused);
    EXPECT_EQ(Said(), "The number of frames must be from 1 to 10000.");
    EXPECT_TRUE(runner.requests.empty());

    // An old field in the directory never passes for a cancelled run's.
    fs::create_directories(m_root / "bin" / "wavefield");
    std::ofstream(m_root / "bin" / "wavefield" / kWaveFieldFile) << "old";
    sink.messages.clear();
    runner.cancel = true;
    EXPECT_EQ(RunWaveField(doc, CompositeKind(), Small(), result), WaveFieldOutcome::Cancelled);
    EXPECT_EQ(Said(), "The wave-field run was cancelled.");
    EXPECT_FALSE(fs::exists(m_root / "bin" / "wavefield" / kWaveFieldFile));
    EXPECT_EQ(result.path, "untouched");

    // "Any f(t)" without samples yet: said so, nothing run.
    runner.cancel = false;
    runner.requests.clear();
    sink.messages.clear();
    doc.m_nLoadType = 4;
    EXPECT_EQ(RunWaveField(doc, CompositeKind(), Small(), result), WaveFieldOutcome::Failed);
    EXPECT_NE(Said().find("has no samples yet"), std::string::npos) << Said();
    EXPECT_TRUE(runner.requests.empty());
}
