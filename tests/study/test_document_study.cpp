// A study from the active document: the form's choice checked against the project, and the
// project file and study file written so that the study file reads back to the same study.
#include <gtest/gtest.h>

#include "DocumentStudy.h"
#include "OstrelDoc.h"
#include "ProjectFormat.h"
#include "StudyTestSupport.h"

using namespace studytest;

namespace {

void LoadProject(COstrelDoc& doc, const std::string& home) {
    ProjectData data;
    ProjectReadError why;
    ASSERT_TRUE(ParseProject(CompositeKind(), kSharedPlyProject, data, &why));
    ApplyProject(CompositeKind(), data, doc);
    doc.m_szStartDir = home;
}

TEST(DocumentStudy, TheChoiceBecomesAStudyOfTheDocumentsProject) {
    CTempProject p;
    COstrelDoc doc;
    LoadProject(doc, p.Dir());
    DocumentStudyChoice c;
    c.name = "along";
    c.from = 0;
    c.to = 2;
    c.step = 0.5;
    c.scheduler.kind = SchedulerKind::Slurm;
    c.scheduler.partition = "short";
    c.order = 4;  // the user's solver options
    StudyDefinition def;
    std::string error;
    ASSERT_TRUE(BuildDocumentStudy(doc, c, def, &error)) << error;
    EXPECT_EQ(def.projectFile, p.Path("input/plate.dat"));
    EXPECT_EQ(def.receivers, (std::vector<double>{0, 0.5, 1, 1.5, 2}));
    EXPECT_EQ(def.solver, "lumdex");
    const std::string file = WriteDocumentStudy(doc, def, &error);
    ASSERT_EQ(file, p.Path("input/along.study.toml")) << error;
    EXPECT_EQ(ReadAll(p.Path("input/plate.dat")), FormatProject(CompositeKind(), doc));
    StudyDefinition back;
    ASSERT_TRUE(ReadStudyFile(file, back, &error)) << error;
    EXPECT_EQ(back.projectFile, def.projectFile);
    EXPECT_EQ(back.receivers, def.receivers);
    EXPECT_EQ(back.scheduler.partition, "short");
    EXPECT_EQ(back.name, "along");
    EXPECT_EQ(back.order, 4);
}

TEST(DocumentStudy, ChoicesThatDoNotFitAreRefusedWithAReason) {
    COstrelDoc doc;
    LoadProject(doc, "/nowhere");
    const auto refuse = [&](DocumentStudyChoice c, const std::string& says) {
        StudyDefinition def;
        std::string error;
        EXPECT_FALSE(BuildDocumentStudy(doc, c, def, &error)) << says;
        EXPECT_NE(error.find(says), std::string::npos) << error;
    };
    DocumentStudyChoice c;
    c.name = "a b";
    refuse(c, "cannot name a directory");
    c.name = "ok";
    c.step = 0;
    refuse(c, "step must be positive");
    c.step = 1;
    c.receiverSweep = false;
    c.parameter = ParameterKind::Thickness;
    c.layer = 3;
    refuse(c, "there is no layer 3");
    c.layer = 1;
    c.from = -1;
    refuse(c, "thickness must be positive");
    c.parameter = ParameterKind::VolumeFraction;
    c.from = 0;
    c.to = 1;
    refuse(c, "no volume fraction");
    c.parameter = ParameterKind::Frequency;
    c.layer = 99;  // ignored for the frequency
    StudyDefinition def;
    std::string error;
    EXPECT_TRUE(BuildDocumentStudy(doc, c, def, &error)) << error;
    doc.m_strComTitle = "two words";
    refuse(c, "cannot name a file");
    COstrelDoc fresh;
    fresh.m_szStartDir = "/nowhere";
    StudyDefinition none;
    EXPECT_FALSE(BuildDocumentStudy(fresh, DocumentStudyChoice{}, none, &error));
    EXPECT_NE(error.find("no layers yet"), std::string::npos) << error;
}

}  // namespace
