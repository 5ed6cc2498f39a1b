// What the view says it shows, and curves added from real files.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "CommandIds.h"
#include "CurveSources.h"
#include "DisplayCommands.h"
#include "OstrelDoc.h"

namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/pemblar-sources-XXXXXX";
        m_path = mkdtemp(pattern);
    }
    ~TempDir() { fs::remove_all(m_path); }
    std::string Write(const std::string& name, const std::string& text) const {
        const fs::path path = m_path / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    std::string Path() const { return m_path.string(); }

private:
    fs::path m_path;
};

}  // namespace

TEST(CurveDescription, NamesComponentUnitReceiverAndLoad) {
    COstrelDoc doc;
    EXPECT_EQ(CurveDescription(doc), "");
    doc.m_bCurveLoaded = 1;
    doc.m_nLabelComp = 3;
    EXPECT_EQ(CurveDescription(doc), "W (mm)");
    doc.m_nCurveFamily = 1;
    doc.m_fReceiverX = 10;
    doc.m_nLoadType = 1;
    EXPECT_EQ(CurveDescription(doc), "W (mm) at x = 10 mm, H(t) load");
    EXPECT_EQ(MainCurveName(doc), "W composite");
    doc.m_nCurveFamily = 2;
    doc.m_nLabelComp = 1;
    doc.m_fFGMReceiverX = 2.5f;
    doc.m_nFGMLoadType = 5;
    EXPECT_EQ(CurveDescription(doc), "U (mm) at x = 2.5 mm, Sin(wt) load");
    doc.m_bCurveExisting = 1;
    EXPECT_EQ(CurveDescription(doc), "U (mm), kept FGM result");
    EXPECT_EQ(MainCurveName(doc), "U FGM (kept)");
    doc.m_nFGMLoadType = 9;  // a load type no form offers: named by nothing
    doc.m_bCurveExisting = 0;
    EXPECT_EQ(CurveDescription(doc), "U (mm) at x = 2.5 mm");
}

TEST(CurveDescription, DisplayCommandsRecordTheSourceOfANewCurveOnly) {
    TempDir dir;
    dir.Write("bin/result_u.dat", "0 2\n0 0\n1 1\n");
    COstrelDoc doc;
    doc.m_szStartDir = dir.Path();
    EXPECT_TRUE(RunDisplayCommand(doc, *FindDisplayCommand(Cmd::kDisplayComCurrentU)));
    EXPECT_EQ(doc.m_nCurveFamily, 1);
    EXPECT_EQ(doc.m_bCurveExisting, 0);
    // A kept result whose choice is cancelled (no file chooser) leaves curve and source.
    EXPECT_FALSE(RunDisplayCommand(doc, *FindDisplayCommand(Cmd::kDisplayFGMExistingU)));
    EXPECT_EQ(doc.m_nCurveFamily, 1);
    // A failed read too.
    EXPECT_FALSE(RunDisplayCommand(doc, *FindDisplayCommand(Cmd::kDisplayFGMCurrentU)));
    EXPECT_EQ(doc.m_nCurveFamily, 1);
    EXPECT_EQ(doc.m_nLabelComp, 1);
    // A choice cancelled while the curve is zoomed in: the plot keeps the zoomed window as its
    // whole range, and the curve is still the composite one.
    dir.Write("outputFGM/graded/resultfgm_u.dat", "0 2\n0 5\n1 6\n");
    doc.m_fXMax = 0.5f;
    EXPECT_FALSE(RunDisplayCommand(doc, *FindDisplayCommand(Cmd::kDisplayFGMExistingU)));
    EXPECT_EQ(doc.m_fFullXMax, 0.5f);
    EXPECT_EQ(doc.m_nCurveFamily, 1);
    EXPECT_EQ(doc.m_bCurveExisting, 0);
}

TEST(AddedCurves, ResultFilesAndTablesOfNumbers) {
    TempDir dir;
    const LoadedCurves result = LoadCurveFile(dir.Write("result_w.dat", "0 3\n0 0\n0.5 1e-5\n1 -2e-5\n"));
    ASSERT_EQ(result.error, "");
    ASSERT_EQ(result.series.size(), 1u);
    EXPECT_EQ(result.series[0].name, "result_w.dat");
    EXPECT_EQ(result.series[0].unit, "mm");
    // The values as the file writes them, not rounded to 32 bits on the way.
    EXPECT_FALSE(result.series[0].singlePrecision);
    EXPECT_EQ(result.series[0].points.size(), 3u);
    EXPECT_EQ(result.series[0].points[1], (plot::Point{0.5, 1e-5}));

    // A measured signal: two columns with blanks, no header.
    const LoadedCurves scope = LoadCurveFile(dir.Write("scope.txt", "0.0 0.1\n0.5 0.2\n1.0 0.15\n"));
    ASSERT_EQ(scope.error, "");
    ASSERT_EQ(scope.series.size(), 1u);
    EXPECT_EQ(scope.series[0].name, "scope.txt");
    EXPECT_EQ(scope.series[0].points.size(), 3u);

    // Several columns: one curve each, named after file and column.
    const LoadedCurves table = LoadCurveFile(dir.Write("t.csv", "t (us),a (mm),b (mm)\n0,1,2\n1,3,\n"));
    ASSERT_EQ(table.series.size(), 2u);
    EXPECT_EQ(table.series[0].name, "t.csv: a");
    EXPECT_EQ(table.series[1].points.size(), 1u);

    // Fewer points than announced: what is there, with a warning.
    const LoadedCurves shortFile = LoadCurveFile(dir.Write("short.dat", "0 5\n0 1\n1 2\n"));
    EXPECT_EQ(shortFile.series.at(0).points.size(), 2u);
    EXPECT_EQ(shortFile.warning, "Only 2 of the 5 points announced in short.dat could be read.");
}

TEST(AddedCurves, UnreadableFilesSayWhy) {
    TempDir dir;
    EXPECT_NE(LoadCurveFile(dir.Path() + "/missing.dat").error.find("Cannot open the file"), std::string::npos);
    EXPECT_NE(LoadCurveFile(dir.Write("empty.dat", "")).error.find("holds no curve"), std::string::npos);
    const LoadedCurves text = LoadCurveFile(dir.Write("notes.txt", "hello world\n"));
    EXPECT_TRUE(text.series.empty());
    EXPECT_EQ(text.error, "The file notes.txt is neither a result file nor a table of numbers (no data).");
    EXPECT_TRUE(LoadCurveFile(dir.Write("bad.csv", "0,1\n1,inf\n")).series.empty());
    EXPECT_NE(LoadCurveFile(dir.Write("big.csv", "0,1\n1,2\n"), 4).error.find("too large"), std::string::npos);
    EXPECT_NE(LoadCurveFile(dir.Write("huge.csv", "0,1\n1,1e300\n")).error.find("values too large"), std::string::npos);
    // A result head announcing no points is no curve; as a table it is the one point (0, 0).
    EXPECT_EQ(LoadCurveFile(dir.Write("head.dat", "0 0\n")).series.at(0).points.size(), 1u);
}
