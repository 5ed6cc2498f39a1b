// A study file edited after its study started: run and resume say what changed and how to go
// on, --replace starts again, status exits as documented; a frequency sweep reaches the load
// (a tone burst's own samples per case) or is refused where it cannot change the result; the
// load's band against the output sampling.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <numbers>

#include "LoadBand.h"
#include "SampledLoadFiles.h"
#include "StudyChanges.h"
#include "StudyCommands.h"
#include "StudyPlan.h"
#include "StudyTestSupport.h"

using namespace studytest;

namespace {

struct CCapture {
    std::string text;
    StudyCommandIO io;
    CCapture() {
        io.out = [this](const std::string& l) { text += l + "\n"; };
        io.err = [this](const std::string& l) { text += "E " + l + "\n"; };
    }
    bool Said(const std::string& part) const { return text.find(part) != std::string::npos; }
};

const std::string kFakes = FAKE_SOLVERS;

std::string CliStudy(const CTempProject& p, int count) {
    return p.Write("input/cli.study.toml", "project = \"plate.dat\"\nname = \"cli\"\nsolver = \"" + kFakes +
                                               "/receivers_solver\"\n[receivers]\nfrom = 80\nto = 120\ncount = " +
                                               std::to_string(count) + "\n");
}

StudyManifest Manifest(const CTempProject& p, const std::string& name) {
    StudyManifest m;
    std::string error;
    EXPECT_TRUE(ReadManifest(p.Path("output/plate/studies/" + name), m, &error)) << error;
    return m;
}

StudyDefinition Read(const std::string& file) {
    StudyDefinition def;
    std::string error;
    EXPECT_TRUE(ReadStudyFile(file, def, &error)) << error;
    return def;
}

}  // namespace

TEST(StudyChanges, AnEditedStudyFileIsExplainedNotIgnored) {
    CTempProject p;
    p.Write("input/plate.dat", kSharedPlyProject);
    const std::string file = CliStudy(p, 5);
    CCapture first;
    ASSERT_EQ(StudyRunCommand(file, first.io), 0) << first.text;

    // Unchanged: run points to resume and --replace.
    CCapture again;
    EXPECT_EQ(StudyRunCommand(file, again.io), 1);
    EXPECT_TRUE(again.Said("already holds this study")) << again.text;
    EXPECT_TRUE(again.Said("run --replace")) << again.text;

    CliStudy(p, 9);
    const std::string expected = "receiving points: 5 values from 80 to 120 mm when the study started, "
                                 "9 values from 80 to 120 mm now";
    for (auto* command : {&StudyRunCommand, &StudyResumeCommand}) {
        CCapture said;
        EXPECT_EQ(command(file, said.io), 1) << said.text;
        EXPECT_TRUE(said.Said(expected)) << said.text;
        EXPECT_TRUE(said.Said("give the study a new name")) << said.text;
        EXPECT_TRUE(said.Said("pemblar-study run --replace " + file)) << said.text;
    }
    EXPECT_EQ(Manifest(p, "cli").receivers.size(), 5u);
    // status reports the complete study (exit 0) and notes the change.
    CCapture status;
    EXPECT_EQ(StudyStatusCommand(file, status.io), 0) << status.text;
    EXPECT_TRUE(status.Said("note: ")) << status.text;
    EXPECT_TRUE(status.Said(expected)) << status.text;

    // --replace removes the old results and runs the file as it is now.
    CCapture replaced;
    StudyCommandIO io = replaced.io;
    io.replace = true;
    ASSERT_EQ(StudyRunCommand(file, io), 0) << replaced.text;
    EXPECT_TRUE(replaced.Said("removed the study started before")) << replaced.text;
    EXPECT_EQ(Manifest(p, "cli").receivers.size(), 9u);
    const std::string results = ReadAll(p.Path("output/plate/studies/cli/results.csv"));
    EXPECT_EQ(std::count(results.begin(), results.end(), '\n'), 1 + 9 * 3) << results;
    CCapture clean;
    EXPECT_EQ(StudyResumeCommand(file, clean.io), 0) << clean.text;
    EXPECT_TRUE(clean.Said("nothing to resume")) << clean.text;
}

TEST(StudyChanges, AChangedProjectIsFoundInTheCaseInputs) {
    CTempProject p;
    p.Write("input/plate.dat", kSharedPlyProject);
    const std::string file = p.Write("input/t.study.toml", "project = \"plate.dat\"\nname = \"t\"\nsolver = \"" + kFakes +
                                                               "/receivers_solver\"\n[[vary]]\nparameter = "
                                                               "\"angle\"\nlayer = 1\nvalues = [0, 45, 90]\n");
    CCapture run;
    ASSERT_EQ(StudyRunCommand(file, run.io), 0) << run.text;
    const StudyDefinition def = Read(file);
    const StudyManifest m = Manifest(p, "t");
    std::vector<std::string> changes;
    std::string error;
    ASSERT_TRUE(StartedStudyChanges(def, m, changes, &error)) << error;
    EXPECT_TRUE(changes.empty());
    // The second ply grows: every case's input changes. The project as a text (the program's
    // document, not yet written) counts as well as the file.
    std::string thicker = kSharedPlyProject;
    thicker.replace(thicker.find("0.5000 2"), 8, "0.7500 2");
    ASSERT_TRUE(StartedStudyChanges(def, m, changes, &error, &thicker)) << error;
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_NE(changes[0].find("the solver input of 3 of 3 cases would change"), std::string::npos) << changes[0];
    p.Write("input/plate.dat", thicker);
    CCapture resume;
    EXPECT_EQ(StudyResumeCommand(file, resume.io), 1);
    EXPECT_TRUE(resume.Said("3 of 3 cases")) << resume.text;
}

TEST(StudyChanges, DefinitionsAreComparedSettingBySetting) {
    StudyDefinition a;
    a.projectFile = "/p/input/plate.dat";
    a.name = "cli";
    a.solver = "lumdex";
    a.receiverSweep = true;
    a.receivers = {80, 90, 100, 110, 120};
    StudyDefinition b = a;
    const ChangeSides sides{"in the file", "in the form"};
    EXPECT_TRUE(DefinitionChanges(a, b, sides).empty());
    b.receivers = {0, 0.5, 1};
    b.points = 201;
    b.scheduler.kind = SchedulerKind::Slurm;
    b.parameters.push_back(StudyParameter{ParameterKind::Frequency, 0, {0.1, 0.2}, FrequencyUnit::MHz});
    const std::vector<std::string> c = DefinitionChanges(a, b, sides);
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[0], "output points: the solver's default in the file, 201 in the form");
    EXPECT_EQ(c[1], "receiving points: 5 values from 80 to 120 mm in the file, 0, 0.5 and 1 mm in the form");
    EXPECT_EQ(c[2], "varied: none in the file, the load frequency (0.1 and 0.2 MHz) in the form");
    EXPECT_EQ(c[3], "where it runs: this computer in the file, a Slurm cluster in the form");
    // Values that print alike but are not the same are still a change.
    StudyDefinition d = a;
    d.receivers[1] = 90.0000001;
    const std::vector<std::string> close = DefinitionChanges(a, d, sides);
    ASSERT_EQ(close.size(), 1u);
    EXPECT_NE(close[0].find("(other values)"), std::string::npos) << close[0];
}

TEST(StudyFrequency, ABurstSweepGivesEachCaseItsOwnSamples) {
    CTempProject p;
    std::string project = kSharedPlyProject;
    project.replace(project.find("5    3.1400"), 11, "4    3.1400");
    p.Write("input/plate.dat", project);
    CSampledLoad burst;
    burst.m_dFrequency = 0.2;
    burst.m_dCycles = 5;
    p.Write("input/plate.load", FormatLoadSettings(burst));
    p.Write("bin/ft.dat", FormatLoadSamples(SampleLoad(burst)));
    const std::string file = p.Write("input/f.study.toml", "project = \"plate.dat\"\n[[vary]]\nparameter = "
                                                           "\"frequency\"\nunit = \"MHz\"\nvalues = [0.1, 0.3]\n");
    StudyManifest m;
    std::string error;
    ASSERT_TRUE(PrepareStudy(Read(file), m, &error)) << error;
    EXPECT_EQ(m.columns, std::vector<std::string>{"frequency_MHz"});
    for (const double f : {0.1, 0.3}) {
        CSampledLoad expected = burst;
        expected.m_dFrequency = f;
        const std::string dir = f == 0.1 ? "case-0001" : "case-0002";
        EXPECT_EQ(ReadAll(m.studyDir + "/" + dir + "/ft.dat"), FormatLoadSamples(SampleLoad(expected))) << f;
    }
    // The inputs themselves are alike: the burst lives in ft.dat alone.
    EXPECT_EQ(ReadAll(m.studyDir + "/case-0001/input.d"), ReadAll(m.studyDir + "/case-0002/input.d"));
    // In rad/us the same burst frequencies are 2 pi times as large.
    char omega[40];
    std::snprintf(omega, sizeof omega, "%.17g", 0.3 * 2 * std::numbers::pi);
    const std::string radians = p.Write(
        "input/r.study.toml", "project = \"plate.dat\"\n[[vary]]\nparameter = \"frequency\"\nvalues = [" +
                                  std::string(omega) + "]\n");
    StudyManifest r;
    ASSERT_TRUE(PrepareStudy(Read(radians), r, &error)) << error;
    const CLoadSamples swept = [&] {
        CLoadSamples s;
        std::istringstream in(ReadAll(r.studyDir + "/case-0001/ft.dat"));
        for (double t, v; in >> t >> v;)
            s.times.push_back(t);
        return s;
    }();
    // 5 cycles at 0.3 MHz end at 16.67 us.
    ASSERT_FALSE(swept.times.empty());
    EXPECT_NEAR(swept.times.back(), 5 / 0.3, 1e-6);
}

TEST(StudyFrequency, ASineLoadTakesMHzAsOmega) {
    CTempProject p;
    p.Write("input/plate.dat", kSharedPlyProject);
    const std::string file = p.Write("input/s.study.toml", "project = \"plate.dat\"\n[[vary]]\nparameter = "
                                                           "\"frequency\"\nunit = \"MHz\"\nvalues = [0.5]\n");
    StudyManifest m;
    std::string error;
    ASSERT_TRUE(PrepareStudy(Read(file), m, &error)) << error;
    const std::string input = ReadAll(m.studyDir + "/case-0001/input.d");
    EXPECT_NE(input.find("\n5    3.1416\n"), std::string::npos) << input;
}

TEST(StudyFrequency, ASweepThatCannotChangeTheResultIsRefused) {
    const auto refused = [](const std::string& loadLine, const std::string* settings, const std::string& says) {
        CTempProject p;
        std::string project = kSharedPlyProject;
        project.replace(project.find("5    3.1400"), 11, loadLine);
        p.Write("input/plate.dat", project);
        if (settings)
            p.Write("input/plate.load", *settings);
        const std::string file =
            p.Write("input/f.study.toml", "project = \"plate.dat\"\n[[vary]]\nparameter = \"frequency\"\nvalues = [1, 2]\n");
        StudyManifest m;
        std::string error;
        EXPECT_FALSE(PrepareStudy(Read(file), m, &error)) << loadLine;
        EXPECT_NE(error.find(says), std::string::npos) << error;
        EXPECT_FALSE(fs::exists(p.Path("output/plate/studies/f"))) << "nothing is left behind";
    };
    refused("1    3.1400", nullptr, "H(t) or Deta(t) has no frequency");
    refused("2    3.1400", nullptr, "H(t) or Deta(t) has no frequency");
    refused("4    3.1400", nullptr, "no settings of Sampled load...");
    CSampledLoad pulse;
    pulse.m_shape = ELoadShape::Gaussian;
    const std::string gaussian = FormatLoadSettings(pulse);
    refused("4    3.1400", &gaussian, "is a Gaussian pulse, which has no frequency");
}

TEST(LoadBand, TheHighestFrequencyOfEachLoad) {
    EXPECT_FALSE(HighestLoadFrequency(1, 3.14, nullptr));
    EXPECT_FALSE(HighestLoadFrequency(2, 3.14, nullptr));
    EXPECT_DOUBLE_EQ(*HighestLoadFrequency(5, 2 * std::numbers::pi * 0.3, nullptr), 0.3);
    CSampledLoad burst;  // 0.2 MHz, 5 cycles: the Hann main lobe reaches 0.2 (1 + 2 / 5)
    EXPECT_DOUBLE_EQ(*HighestLoadFrequency(4, 0, &burst), 0.28);
    EXPECT_FALSE(HighestLoadFrequency(4, 0, nullptr));
    CSampledLoad pulse;
    pulse.m_shape = ELoadShape::Gaussian;
    pulse.m_dWidth = 2;
    // exp(-(pi f w)^2) is 1 % of its peak there.
    const double f = *HighestLoadFrequency(4, 0, &pulse);
    EXPECT_NEAR(std::exp(-std::pow(std::numbers::pi * f * 2, 2)), 0.01, 1e-12);
    CSampledLoad imported;
    imported.m_shape = ELoadShape::Imported;
    EXPECT_FALSE(HighestLoadFrequency(4, 0, &imported));
}

TEST(LoadBand, TooFewOutputPointsForTheBandAreNamed) {
    // The tone-burst example: 201 points over 150 us are 4.8 samples a period at 0.28 MHz.
    const std::string coarse = SamplingWarning(201, 0, 150, 0.28);
    EXPECT_NE(coarse.find("201 output points over 150 us are 4.8 samples a period"), std::string::npos) << coarse;
    EXPECT_NE(coarse.find("At least 422 points"), std::string::npos) << coarse;
    EXPECT_TRUE(SamplingWarning(422, 0, 150, 0.28).empty());
    // 0 is the solvers' own default, 1001 points: 23.8 a period.
    EXPECT_EQ(SolverDefaultPoints(), 1001);
    EXPECT_TRUE(SamplingWarning(0, 0, 150, 0.28).empty());
    EXPECT_FALSE(SamplingWarning(0, 0, 1500, 0.28).empty());
    EXPECT_TRUE(SamplingWarning(201, 0, 150, 0).empty());
}

TEST(LoadBand, RunWarnsOfTooFewPointsForTheSweptBand) {
    CTempProject p;
    p.Write("input/plate.dat", kSharedPlyProject);  // Sin(wt) over 4 us
    // 0.6 MHz sampled at 21 points over 4 us: 8.3 a period.
    const std::string file = p.Write("input/w.study.toml", "project = \"plate.dat\"\npoints = 21\nsolver = \"" +
                                                               kFakes + "/receivers_solver\"\n[[vary]]\nparameter = "
                                                               "\"frequency\"\nunit = \"MHz\"\nvalues = [0.1, 0.6]\n");
    CCapture run;
    EXPECT_EQ(StudyRunCommand(file, run.io), 0) << run.text;
    EXPECT_TRUE(run.Said("warning: 21 output points over 4 us are 8.3 samples a period")) << run.text;
    EXPECT_TRUE(run.Said("(0.6 MHz)")) << run.text;
}
