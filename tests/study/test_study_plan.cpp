// From a study file and a project to case inputs, tasks and the manifest, on real files.
#include <gtest/gtest.h>

#include "OstrelDoc.h"
#include "ProjectFormat.h"
#include "StudyPlan.h"
#include "StudyTestSupport.h"

using namespace studytest;

namespace {

StudyDefinition Definition(const CTempProject& p, const std::string& body) {
    const std::string file = p.Write("sweep.toml", "project = \"input/plate.dat\"\n" + body);
    StudyDefinition def;
    std::string error;
    EXPECT_TRUE(ReadStudyFile(file, def, &error)) << error;
    return def;
}

TEST(StudyPlan, ATurnedPlyGetsItsOwnCopyOfASharedMaterial) {
    CTempProject p;
    p.Write("input/plate.dat", kSharedPlyProject);
    const StudyDefinition def =
        Definition(p, "[[vary]]\nparameter = \"angle\"\nlayer = 2\nvalues = [0, 30]\n");
    StudyManifest m;
    std::string error;
    ASSERT_TRUE(PrepareStudy(def, m, &error)) << error;
    EXPECT_EQ(m.studyDir, p.Path("output/plate/studies/sweep"));
    ASSERT_EQ(m.cases.size(), 2u);
    EXPECT_EQ(ReadAll(m.studyDir + "/case-0002/input.d"),
              "plate\n"
              "2    3    3.113646\n"
              "1    0.2500\n"
              "3    0.5000\n"
              "0.0000\n45.0000\n30.0000\n"
              "1.6000\n1.8000\n1.6000\n"
              "2 2 \n"
              "181.0000  10.3000  7.1700  0.2800  0.4000\n"
              "38.6000  8.2700  4.1400  0.2600  0.3000\n"
              "181.0000  10.3000  7.1700  0.2800  0.4000\n"
              "1 \n5    3.1400\n3    3\n0.00    4.00\n2.0000\n");
    // Its own material turns in place; the glass ply keeps 45 degrees.
    COstrelDoc doc;
    ProjectData data;
    ProjectReadError why;
    ASSERT_TRUE(ParseProject(CompositeKind(), kSharedPlyProject, data, &why));
    ApplyProject(CompositeKind(), data, doc);
    doc.m_layers[1].m_nMaterial = 2;
    ASSERT_TRUE(ApplyParameter(doc, StudyKind::Composite, StudyParameter{ParameterKind::Angle, 2, {}}, 60, &error));
    EXPECT_EQ(doc.m_nMaterials, 2);
    EXPECT_EQ(doc.m_materials[1].m_fAngle, 60.0f);
    EXPECT_EQ(doc.m_materials[0].m_fAngle, 0.0f);
}

TEST(StudyPlan, CasesAreEveryCombinationAndTasksBlocksOfReceivers) {
    CTempProject p;
    p.Write("input/plate.dat", kSharedPlyProject);
    const StudyDefinition def = Definition(
        p, "[receivers]\nfrom = 0\nto = 4\ncount = 5\n"
           "[[vary]]\nparameter = \"thickness\"\nlayer = 1\nvalues = [0.25, 0.5]\n"
           "[[vary]]\nparameter = \"frequency\"\nvalues = [1, 2, 3]\n"
           "[scheduler]\nreceivers_per_task = 2\n");
    StudyManifest m;
    std::string error;
    ASSERT_TRUE(PlanStudy(def, m, &error)) << error;
    ASSERT_EQ(m.cases.size(), 6u);
    EXPECT_EQ(m.cases[0].values, (std::vector<double>{0.25, 1}));
    EXPECT_EQ(m.cases[2].values, (std::vector<double>{0.25, 3}));
    EXPECT_EQ(m.cases[3].values, (std::vector<double>{0.5, 1}));
    EXPECT_EQ(m.columns, (std::vector<std::string>{"thickness_L1", "frequency"}));
    ASSERT_EQ(m.tasks.size(), 18u);
    EXPECT_EQ(m.tasks[2].dir, "case-0001/block-0003");
    EXPECT_EQ(m.tasks[2].firstReceiver, 4);
    EXPECT_EQ(m.tasks[2].receiverCount, 1);
    EXPECT_EQ(m.tasks[4].caseIndex, 1);
    EXPECT_EQ(m.tasks[4].receiverCount, 2);
}

TEST(StudyPlan, TheLoadDirectionVariesWithNothingElse) {
    CTempProject p;
    p.Write("input/plate.dat", kSharedPlyProject);
    const StudyDefinition def = Definition(p, "[[vary]]\nparameter = \"direction\"\nvalues = [1, 2, 3]\n");
    ASSERT_EQ(def.parameters.size(), 1u);
    EXPECT_EQ(def.parameters[0].kind, ParameterKind::Direction);
    StudyManifest m;
    std::vector<CaseFiles> files;
    std::string error;
    ASSERT_TRUE(PlanStudy(def, m, &error)) << error;
    EXPECT_EQ(m.columns, (std::vector<std::string>{"direction"}));
    EXPECT_EQ(m.descriptions, (std::vector<std::string>{"the load direction (1 X, 2 Y, 3 Z)"}));
    ASSERT_TRUE(PlanCaseFiles(def, m, files, &error)) << error;
    ASSERT_EQ(files.size(), 3u);
    // The direction line (direction, output) of each case; every other line as the project's.
    const std::string project = files[2].input;
    for (int c = 0; c < 3; ++c) {
        std::string expected = project;
        expected.replace(expected.find("\n3    3\n"), 8, "\n" + std::to_string(c + 1) + "    3\n");
        EXPECT_EQ(files[size_t(c)].input, expected) << c;
    }
    EXPECT_EQ(ColumnValueText("direction", 2), "load direction = Y");
    // The file's text reads back as the same study.
    StudyDefinition back;
    StudyFileError fault;
    ASSERT_TRUE(ParseStudyText(FormatStudyText(def), p.Path(""), "sweep", back, &fault)) << fault.reason;
    EXPECT_EQ(back.parameters[0].values, (std::vector<double>{1, 2, 3}));

    // Only X, Y and Z; no layer.
    for (const auto& [body, reason] :
         {std::pair{"values = [1, 4]\n", "every direction must be 1 (X), 2 (Y) or 3 (Z)"},
          {"values = [1.5]\n", "every direction must be 1 (X), 2 (Y) or 3 (Z)"},
          {"layer = 1\nvalues = [1]\n", "the load direction belongs to no layer"}}) {
        StudyDefinition refused;
        ASSERT_FALSE(ParseStudyText(std::string("project = \"input/plate.dat\"\n[[vary]]\nparameter = \"direction\"\n") + body,
                                    p.Path(""), "sweep", refused, &fault));
        EXPECT_NE(fault.reason.find(reason), std::string::npos) << fault.reason;
    }
}

TEST(StudyPlan, RefusesWhatTheProjectCannotTake) {
    CTempProject p;
    p.Write("input/plate.dat", kSharedPlyProject);
    StudyManifest m;
    std::string error;
    EXPECT_FALSE(PrepareStudy(Definition(p, "[[vary]]\nparameter = \"thickness\"\nlayer = 3\nvalues = [1]\n"), m,
                              &error));
    EXPECT_NE(error.find("the project has 2 layers"), std::string::npos) << error;
    // Nothing half-made: without a manifest the directory is no study.
    EXPECT_FALSE(fs::exists(p.Path("output/plate/studies/sweep/manifest.toml")));

    const StudyDefinition missing = Definition(p, "[receivers]\nvalues = [1]\n");
    fs::remove(p.Path("input/plate.dat"));
    EXPECT_FALSE(PlanStudy(missing, m, &error));
    EXPECT_NE(error.find("cannot be opened"), std::string::npos) << error;
    p.Write("input/plate.dat", "plate\n2    2\n");
    EXPECT_FALSE(PlanStudy(missing, m, &error));
    EXPECT_NE(error.find("line"), std::string::npos) << error;
}

TEST(StudyPlan, AStartedStudyIsNotStartedTwice) {
    CTempProject p;
    p.Write("input/plate.dat", kSharedPlyProject);
    const StudyDefinition def = Definition(p, "[receivers]\nvalues = [1, 2]\n");
    StudyManifest m;
    std::string error;
    ASSERT_TRUE(PrepareStudy(def, m, &error)) << error;
    const std::string manifest = ReadAll(m.studyDir + "/manifest.toml");
    EXPECT_FALSE(PrepareStudy(def, m, &error));
    EXPECT_NE(error.find("resume"), std::string::npos) << error;
    EXPECT_EQ(ReadAll(m.studyDir + "/manifest.toml"), manifest);
}

TEST(StudyPlan, ALoadCurveTravelsWithEveryCase) {
    CTempProject p;
    std::string project = kSharedPlyProject;
    project.replace(project.find("5    3.1400"), 11, "4    3.1400");
    p.Write("input/plate.dat", project);
    p.Write("bin/ft.dat", "0 0\n1 1\n");
    StudyManifest m;
    std::string error;
    ASSERT_TRUE(PrepareStudy(
        Definition(p, "[[vary]]\nparameter = \"thickness\"\nlayer = 1\nvalues = [1, 2]\n"), m, &error));
    EXPECT_EQ(ReadAll(m.studyDir + "/case-0002/ft.dat"), "0 0\n1 1\n");
}

TEST(StudyPlan, FGMLayersTakeThicknessAndVolumeFraction) {
    CTempProject p;
    p.Write("inputFGM/graded.dat",
            "graded\n2    2\n  1    3.1400\n3    3\n0.00    4.00\n2.0000\n"
            "steel  1  200.0000  0.0000  0.0000  0.3000  0.0000  0.0000  7.8000\n"
            "alu  2  70.0000  0.0000  0.0000  0.3300  0.0000  0.0000  2.7000\n"
            "Layer 1 1 0.2000 0.5000\n"
            "Layer 2 1 0.6000 0.5000\n"
            "0.0000\n1 \n");
    const std::string file = p.Write(
        "graded.toml", "project = \"inputFGM/graded.dat\"\n"
                       "[[vary]]\nparameter = \"volume_fraction\"\nlayer = 2\nvalues = [0.9]\n"
                       "[[vary]]\nparameter = \"thickness\"\nlayer = 1\nvalues = [0.75]\n");
    StudyDefinition def;
    std::string error;
    ASSERT_TRUE(ReadStudyFile(file, def, &error)) << error;
    StudyManifest m;
    ASSERT_TRUE(PrepareStudy(def, m, &error)) << error;
    EXPECT_EQ(m.studyDir, p.Path("outputFGM/graded/studies/graded"));
    EXPECT_EQ(m.solver, "Kavrit");
    const std::string input = ReadAll(m.studyDir + "/case-0001/inputfgm.dat");
    EXPECT_NE(input.find("2\n0.2000  0.7500\n0.9000  0.5000\n0.0000 \n"), std::string::npos) << input;
}

TEST(StudyPlan, OnlyTheReceivingPointLineChanges) {
    EXPECT_EQ(WithReceiver("a\nb\n2.0000\n", 12.5), "a\nb\n12.5000\n");
    EXPECT_EQ(WithReceiver("a\r\n2.0000\r\n", -3), "a\r\n-3.0000\r\n");
    EXPECT_EQ(WithReceiver("2.0000", 1), "1.0000");
}

TEST(StudyManifest, ReadsBackWhatItWrites) {
    StudyManifest m;
    m.id = "0123abcd";
    m.name = "s";
    m.studyDir = "/tmp/x";
    m.kind = "composite";
    m.title = "plate";
    m.solver = "lumdex";
    m.inputName = "input.d";
    m.resultName = "result.dat";
    m.resultStem = "result";
    m.receiverSweep = true;
    m.receivers = {0.1, 0.2, 1.0 / 3.0};
    m.columns = {"angle_L1"};
    m.descriptions = {"the fibre angle of layer 1"};
    m.cases = {StudyCase{{15}, "case-0001"}};
    m.tasks = {StudyTask{0, 0, 2, "case-0001/block-0001"}, StudyTask{0, 2, 1, "case-0001/block-0002"}};
    m.scheduler = "slurm";
    m.submissions = {StudySubmission{"41", {1, 2}}, StudySubmission{"57", {2}}};
    StudyManifest back;
    std::string error;
    ASSERT_TRUE(ParseManifest(FormatManifest(m), back, &error)) << error;
    EXPECT_EQ(back.receivers, m.receivers);
    EXPECT_EQ(back.cases[0].values, m.cases[0].values);
    ASSERT_EQ(back.tasks.size(), 2u);
    EXPECT_EQ(back.tasks[1].firstReceiver, 2);
    EXPECT_EQ(back.tasks[1].dir, "case-0001/block-0002");
    ASSERT_EQ(back.submissions.size(), 2u);
    EXPECT_EQ(back.submissions[0].tasks, (std::vector<int>{1, 2}));
    EXPECT_EQ(back.submissions[1].jobId, "57");
    EXPECT_EQ(back.order, 0);
    StudyManifest ordered = m;
    ordered.order = 12;
    ASSERT_TRUE(ParseManifest(FormatManifest(ordered), back, &error)) << error;
    EXPECT_EQ(back.order, 12);
    ordered.order = 65;
    EXPECT_FALSE(ParseManifest(FormatManifest(ordered), back, &error));

    // Directories from a damaged or hostile manifest never lead out of the study.
    for (const char* bad : {"../../etc", "/etc", "case-0001/../../x", ""}) {
        StudyManifest evil = m;
        evil.tasks[0].dir = bad;
        EXPECT_FALSE(ParseManifest(FormatManifest(evil), back, &error)) << bad;
    }
    StudyManifest overrun = m;
    overrun.tasks[1].receiverCount = 2;  // past the last receiver
    EXPECT_FALSE(ParseManifest(FormatManifest(overrun), back, &error));
    EXPECT_EQ(CompressRanges({1, 2, 3, 5, 7, 8}), "1-3,5,7-8");
}

}  // namespace
