// Studies of a point source: receivers over a grid of (x, y), every case's wave field as a task of
// its own, from the study file through the manifest to runs of the real solver, a resume after a
// killed task and the changes a started study refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "FieldFile.h"
#include "PosixProcessRunner.h"
#include "ResultFiles.h"
#include "StudyChanges.h"
#include "StudyPlan.h"
#include "StudyResults.h"
#include "StudyRunSupport.h"
#include "StudyStatus.h"
#include "StudyTask.h"

using namespace studytest;

namespace {

// Two plies, one element each, a 1 us window: a point-source run takes a fraction of a second.
const std::string kFastPlate =
    "plate\n2    2    3.113646\n5    3.1400\n3    3\n0.00    1.00\n2.0000\n"
    "carbon  1  181.0000  10.3000  7.1700  0.2800  0.4000  0.0000  1.6000\n"
    "glass  2  38.6000  8.2700  4.1400  0.2600  0.3000  45.0000  1.8000\n"
    "Layer 1  carbon  1  0.2500 1\nLayer 2  carbon  1  0.5000 1\n";

// The field "Wave field..." keeps beside the project: 9 x 5 points, frames at 0, 0.5 and 1 us.
const std::string kFieldSettings =
    "order 2\nwave-field-x -4 4 9\nwave-field-y -2 2 5\nwave-field-times 0 1 3\nwave-field-output W\n"
    "wave-field-source Z\n";

void WriteProject(const CTempProject& p, bool plate = true) {
    p.Write("input/plate.dat", kFastPlate + (plate ? "1 \n" : "0 \n20.00\n"));
    p.Write("input/plate.settings", kFieldSettings);
}

const std::string kGridStudy =
    "points = 41\norder = 2\nsource = \"point\"\nfield = true\n"
    "[receivers]\nvalues = [1.0, 2.0]\ny = { values = [0.0, 1.0] }\n"
    "[[vary]]\nparameter = \"direction\"\nvalues = [1, 3]\n"
    "[scheduler]\nreceivers_per_task = 3\n";

StudyDefinition Parsed(const std::string& text) {
    StudyDefinition def;
    StudyFileError error;
    EXPECT_TRUE(ParseStudyText(text, "/home/eng", "s", def, &error)) << error.line << ": " << error.reason;
    return def;
}

StudyFileError Refused(const std::string& text) {
    StudyDefinition def;
    StudyFileError error;
    EXPECT_FALSE(ParseStudyText(text, "/home/eng", "s", def, &error)) << text;
    return error;
}

float Peak(const std::vector<CCurvePoint>& c) {
    float peak = 0;
    for (const CCurvePoint& q : c)
        peak = std::max(peak, std::fabs(q.m_fY));
    return peak;
}

TEST(StudyPointSource, TheFileGivesAGridRowByRowAndRefusesWhatALineLoadCannotTake) {
    const StudyDefinition def = Parsed("project = \"p.dat\"\nsource = \"point\"\nfield = true\n"
                                       "[receivers]\nfrom = 0\nto = 2\ncount = 3\n[receivers.y]\nvalues = [-1, 4]\n");
    EXPECT_EQ(def.source, SourceKind::Point);
    EXPECT_TRUE(def.waveField);
    const std::vector<ReceiverPoint> grid = ReceiverGrid(def);
    ASSERT_EQ(grid.size(), 6u);
    EXPECT_EQ(grid[1].x, 1.0);
    EXPECT_EQ(grid[1].y, -1.0);
    EXPECT_EQ(grid[3].x, 0.0);
    EXPECT_EQ(grid[3].y, 4.0);
    // What the form writes reads back as the same study.
    StudyDefinition back;
    StudyFileError error;
    ASSERT_TRUE(ParseStudyText(FormatStudyText(def), "/", "s", back, &error)) << error.reason;
    EXPECT_EQ(back.source, SourceKind::Point);
    EXPECT_TRUE(back.waveField);
    EXPECT_EQ(back.receivers, def.receivers);
    EXPECT_EQ(back.receiversY, def.receiversY);
    EXPECT_TRUE(DefinitionChanges(def, back, ChangeSides{"a", "b"}).empty());
    // A line load's file keeps its text: no key of the point source appears in it.
    const std::string line = FormatStudyText(Parsed("project = \"p.dat\"\n[receivers]\nvalues = [1]\n"));
    EXPECT_EQ(line.find("source"), std::string::npos);
    EXPECT_EQ(line.find("field"), std::string::npos);

    struct Case {
        std::string text;
        int line;
        std::string part;
    };
    const Case cases[] = {
        {"project = \"p.dat\"\n[receivers]\nvalues = [1]\ny = { values = [1] }\n", 4, "source = \"point\""},
        {"project = \"p.dat\"\nfield = true\n[receivers]\nvalues = [1]\n", 2, "point source"},
        {"project = \"p.dat\"\nsource = \"point\"\nfield = 1\n[receivers]\nvalues = [1]\n", 3, "true or false"},
        {"project = \"p.dat\"\nsource = \"area\"\n[receivers]\nvalues = [1]\n", 2, "\"line\""},
        {"project = \"p.dat\"\nsource = \"point\"\n[receivers]\nvalues = [1]\ny = [1, 2]\n", 5, "must be a table"},
        {"project = \"p.dat\"\nsource = \"point\"\n[receivers]\nvalues = [1]\ny = { value = 2 }\n", 5, "unknown key"},
        {"project = \"p.dat\"\nsource = \"point\"\n[receivers]\nvalues = [1]\ny = { values = [1, nan] }\n", 5,
         "finite"},
        // 101 x 100 receivers: beyond what a study (and a solver run) takes.
        {"project = \"p.dat\"\nsource = \"point\"\n[receivers]\nfrom = 0\nto = 100\ncount = 101\n"
         "y = { from = 0, to = 99, count = 100 }\n",
         3, "at most 10000 receiving points (the grid has 10100)"},
    };
    for (const Case& c : cases) {
        const StudyFileError e = Refused(c.text);
        EXPECT_EQ(e.line, c.line) << c.text << "\n" << e.reason;
        EXPECT_NE(e.reason.find(c.part), std::string::npos) << e.reason;
    }
}

TEST(StudyPointSource, TheManifestKeepsEveryReceiverAndFieldAndProvesTheirCoverage) {
    CTempProject p;
    WriteProject(p);
    const std::string file = StudyFile(p, "lumdex", kGridStudy);
    StudyDefinition def;
    std::string error;
    ASSERT_TRUE(ReadStudyFile(file, def, &error)) << error;
    StudyManifest m;
    ASSERT_TRUE(PlanStudy(def, m, &error)) << error;
    EXPECT_EQ(m.receivers, (std::vector<double>{1, 2, 1, 2}));
    EXPECT_EQ(m.receiversY, (std::vector<double>{0, 0, 1, 1}));
    // Per case: blocks of 3 and 1 receivers, then the field.
    ASSERT_EQ(m.tasks.size(), 6u);
    EXPECT_TRUE(m.tasks[2].field);
    EXPECT_EQ(m.tasks[2].dir, "case-0001/wavefield.h5");
    EXPECT_EQ(m.field.m_nYPoints, 5);
    EXPECT_EQ(ReceiverName(m, 2), "(1, 1) mm");

    StudyManifest back;
    ASSERT_TRUE(ParseManifest(FormatManifest(m), back, &error)) << error;
    EXPECT_TRUE(back.pointSource);
    EXPECT_EQ(back.receiversY, m.receiversY);
    EXPECT_TRUE(back.waveField);
    EXPECT_EQ(back.field.m_dTimeTo, 1.0);
    EXPECT_EQ(back.field.m_nFrames, 3);
    EXPECT_TRUE(back.tasks[5].field);
    EXPECT_EQ(back.tasks[5].receiverCount, 0);
    EXPECT_EQ(FormatManifest(back), FormatManifest(m));

    // Every way a manifest can lose or double a field or a row of y is refused.
    StudyManifest noField = m;
    noField.tasks.erase(noField.tasks.begin() + 2);
    StudyManifest twoFields = m;
    twoFields.tasks.push_back(m.tasks[2]);
    twoFields.tasks.back().dir = "case-0001/other.h5";
    StudyManifest shortY = m;
    shortY.receiversY.pop_back();
    StudyManifest noY = m;
    noY.receiversY.clear();
    StudyManifest badField = m;
    badField.field.m_nXPoints = 5000;
    for (const StudyManifest* bad : {&noField, &twoFields, &shortY, &noY, &badField})
        EXPECT_FALSE(ParseManifest(FormatManifest(*bad), back, &error)) << FormatManifest(*bad);
    StudyManifest strayField = m;
    strayField.waveField = false;
    EXPECT_FALSE(ParseManifest(FormatManifest(strayField), back, &error));

    // The case's field input: the settings' component and window, the case's varied direction.
    std::vector<CaseFiles> files;
    ASSERT_TRUE(PlanCaseFiles(def, m, files, &error)) << error;
    EXPECT_NE(files[0].fieldInput.find("\n1    3\n0.00    1.00\n"), std::string::npos) << files[0].fieldInput;
    EXPECT_NE(files[1].fieldInput.find("\n3    3\n0.00    1.00\n"), std::string::npos) << files[1].fieldInput;
}

TEST(StudyPointSource, WhatThePointSourceCannotRunIsRefusedBeforeAnythingIsWritten) {
    CTempProject p;
    WriteProject(p, false);
    StudyDefinition def;
    std::string error;
    StudyManifest m;
    ASSERT_TRUE(ReadStudyFile(StudyFile(p, "lumdex", kGridStudy), def, &error)) << error;
    EXPECT_FALSE(PrepareStudy(def, m, &error));
    EXPECT_NE(error.find("a point source needs a plate"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(p.Path("output/plate/studies/s/manifest.toml")));

    WriteProject(p);
    p.Write("input/plate.settings", "order 2\n");
    EXPECT_FALSE(PlanStudy(def, m, &error));
    EXPECT_NE(error.find("plate.settings: the project has no wave-field settings"), std::string::npos) << error;

    // 10000 receivers in one task at 10000 points each: more than the solver takes in one run.
    ASSERT_TRUE(ReadStudyFile(StudyFile(p, "lumdex",
                                        "points = 10000\nsource = \"point\"\n[receivers]\nfrom = 0\nto = 99\n"
                                        "count = 100\ny = { from = 0, to = 99, count = 100 }\n"),
                              def, &error))
        << error;
    EXPECT_FALSE(PlanStudy(def, m, &error));
    EXPECT_NE(error.find("receivers_per_task"), std::string::npos) << error;
    def.scheduler.receiversPerTask = 5000;
    EXPECT_TRUE(PlanStudy(def, m, &error)) << error;
}

static std::vector<std::string> SortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST(StudyPointSource, TheRealSolverGivesEveryReceiverAndEveryCasesFieldAndResumeRedoesOnlyAKilledTask) {
    CTempProject p;
    WriteProject(p);
    const std::string solver = p.Write("logged_lumdex", "#!/bin/sh\necho \"$*\" >> " + p.Path("runs.log") +
                                                            "\nexec " + LUMDEX_PATH + " \"$@\"\n");
    fs::permissions(solver, fs::perms::owner_all);
    const std::string file = StudyFile(p, solver, kGridStudy);
    CCapture out;
    ASSERT_EQ(StudyRunCommand(file, out.io), 0) << out.All();
    const StudyManifest m = Manifest(p);
    // Two tasks run at once, so the log's lines come in any order: compare them sorted.
    const std::string curveRun = "--points 41 --threads 1 --order 2 --point-source --receivers-xy receivers.txt";
    const std::string fieldRun = "--point-source --field -4 4 9 -2 2 5 --field-times 0 1 3 --field-output wavefield.h5 "
                                 "--order 2 --threads 1";
    EXPECT_EQ(SortedLines(ReadAll(p.Path("runs.log"))),
              (std::vector<std::string>{fieldRun, fieldRun, curveRun, curveRun, curveRun, curveRun}));
    EXPECT_EQ(ReadAll(TaskDir(m, 1) + "/receivers.txt"), "1.0000 0.0000\n2.0000 0.0000\n1.0000 1.0000\n");

    // The receiver at (2, 0) of the Z load's case, against the solver run alone at (2, 0) (the
    // input's own receiving point): the periods differ with the farthest receiver, and the
    // lattice sum is the infinite plate's response either way (measured 1.2e-6 of the peak, the
    // result files' seven digits; 1e-5 leaves room for another machine's rounding).
    const std::string single = p.Path("single");
    fs::create_directories(single);
    p.Write("single/input.d", WithReceiver(ReadAll(m.studyDir + "/case-0002/input.d"), 2.0));
    CPosixProcessRunner runner;
    ASSERT_EQ(runner.Run(ProcessRequest{LUMDEX_PATH, {"--point-source", "--points", "41", "--order", "2"}, single})
                  .exitCode,
              0);
    const auto alone = ParseResultText(ReadAll(single + "/result.dat")).points;
    const auto swept = ParseResultText(ReadAll(TaskDir(m, 4) + "/result_r0002.dat")).points;
    ASSERT_EQ(alone.size(), 41u);
    ASSERT_EQ(swept.size(), 41u);
    const float peak = Peak(alone);
    ASSERT_GT(peak, 0);
    for (std::size_t k = 0; k < alone.size(); ++k)
        EXPECT_NEAR(swept[k].m_fY, alone[k].m_fY, 1e-5 * peak) << k;

    // The field of that case holds the same response at its grid point (2, 0) at 0.5 and 1 us
    // (another period and a transform of its own: measured 7.5e-7 of the peak).
    numerics::CFieldFile field;
    ASSERT_EQ(numerics::ReadFieldFile(m.studyDir + "/case-0002/wavefield.h5", field), "");
    EXPECT_EQ(field.strLoadDirection, "Z");
    const std::size_t plane = 9 * 5, at = 2 * 9 + 6;  // y = 0 is row 2, x = 2 is column 6
    ASSERT_EQ(field.field.size(), 3 * plane);
    EXPECT_NEAR(field.field[plane + at], alone[20].m_fY, 1e-5 * peak);
    EXPECT_NEAR(field.field[2 * plane + at], alone[40].m_fY, 1e-5 * peak);
    numerics::CFieldFile inPlane;
    ASSERT_EQ(numerics::ReadFieldFile(m.studyDir + "/case-0001/wavefield.h5", inPlane), "");
    EXPECT_EQ(inPlane.strLoadDirection, "X");

    const std::string csv = ReadAll(m.studyDir + "/results.csv");
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "case,direction,receiver_x,receiver_y,time,value");
    EXPECT_NE(csv.find("\n2,3,1,1,0.025,"), std::string::npos);
    StudyResults results;
    std::string error;
    ASSERT_TRUE(LoadStudyResults(m, results, &error)) << error;
    EXPECT_EQ(results.fields, (std::vector<std::string>{m.studyDir + "/case-0001/wavefield.h5",
                                                        m.studyDir + "/case-0002/wavefield.h5"}));

    // A task killed while writing its field leaves scratch and no file; a damaged field left in
    // place is never taken as done. Resume runs those two tasks again and nothing else.
    fs::remove(m.studyDir + "/case-0001/wavefield.h5");
    p.Write("output/plate/studies/s/case-0001/wavefield.h5.run-host-99/wavefield.h5", "half a file");
    p.Write("output/plate/studies/s/case-0002/wavefield.h5", "not HDF5");
    const std::vector<TaskStatus> statuses = TaskStatuses(m, {});
    EXPECT_EQ(statuses[2].state, TaskState::NotStarted);
    EXPECT_EQ(statuses[5].state, TaskState::Failed);
    EXPECT_NE(statuses[5].detail.find("its results are damaged: wavefield.h5"), std::string::npos) << statuses[5].detail;
    fs::remove(p.Path("runs.log"));
    CCapture again;
    ASSERT_EQ(StudyResumeCommand(file, again.io), 0) << again.All();
    EXPECT_TRUE(again.Said("resuming tasks 3,6")) << again.All();
    EXPECT_EQ(ReadAll(p.Path("runs.log")).find("--receivers-xy"), std::string::npos);
    EXPECT_FALSE(fs::exists(m.studyDir + "/case-0001/wavefield.h5.run-host-99"));
    ASSERT_EQ(numerics::ReadFieldFile(m.studyDir + "/case-0002/wavefield.h5", field), "");
    EXPECT_NEAR(field.field[2 * plane + at], alone[40].m_fY, 1e-5 * peak);
}

TEST(StudyPointSource, AStartedStudySaysWhichRowsFieldOrSourceChanged) {
    CTempProject p;
    WriteProject(p);
    const std::string file = StudyFile(p, "lumdex", kGridStudy);
    StudyDefinition def;
    std::string error;
    StudyManifest m;
    ASSERT_TRUE(ReadStudyFile(file, def, &error)) << error;
    ASSERT_TRUE(PrepareStudy(def, m, &error)) << error;
    std::vector<std::string> changes;
    ASSERT_TRUE(StartedStudyChanges(def, m, changes, &error)) << error;
    EXPECT_TRUE(changes.empty()) << ChangesText("", changes);

    StudyDefinition rows = def;
    rows.receiversY = {0.0, 2.0};
    ASSERT_TRUE(StartedStudyChanges(rows, m, changes, &error)) << error;
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0], "receiving points: 4 points, x 1 and 2 mm in rows at y 0 and 1 mm when the study started, "
                          "4 points, x 1 and 2 mm in rows at y 0 and 2 mm now");

    p.Write("input/plate.settings", "order 2\nwave-field-x -4 4 9\nwave-field-y -2 2 5\nwave-field-times 0 1 5\n"
                                    "wave-field-output W\nwave-field-source Z\n");
    ASSERT_TRUE(StartedStudyChanges(def, m, changes, &error)) << error;
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_NE(changes[0].find("wave field: 9 x 5 points over x -4 to 4 mm, y -2 to 2 mm at 3 times from 0 to 1 us, "
                              "W of the source along Z when the study started"),
              std::string::npos)
        << changes[0];
    EXPECT_NE(changes[0].find("at 5 times from 0 to 1 us"), std::string::npos) << changes[0];

    p.Write("input/plate.settings", kFieldSettings);
    StudyDefinition line = def;
    line.source = SourceKind::Line;
    line.waveField = false;
    line.receiversY.clear();
    ASSERT_TRUE(StartedStudyChanges(line, m, changes, &error)) << error;
    EXPECT_NE(ChangesText("", changes).find("load: a point load at the origin when the study started, the project's "
                                            "line load now"),
              std::string::npos)
        << ChangesText("", changes);
}

}  // namespace
