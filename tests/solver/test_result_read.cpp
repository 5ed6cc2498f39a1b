// Result files: the parser on its own (heads, counts, bad numbers) and the four readers on
// real files in a scratch directory (messages, ranges, redraws, the existing-result dialog).

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <clocale>

#include "ResultFiles.h"
#include "WorkingDirectory.h"
#include "test_run_support.h"

using namespace testsupport;

namespace {

std::vector<std::pair<float, float>> Pairs(const std::vector<CCurvePoint>& points, size_t n) {
    std::vector<std::pair<float, float>> out;
    for (size_t i = 0; i < n; ++i)
        out.emplace_back(points[i].m_fX, points[i].m_fY);
    return out;
}

using P = std::vector<std::pair<float, float>>;

}  // namespace

TEST(ParseResultText, ReadsNumbersAsTheCLibraryDoesInTheCLocale) {
    // Signs, exponents, CR LF line ends; too small for a float reads as zero.
    const CResultText r = ParseResultText("  \t0\r\n  4 \r\n+1.5 -2e-3\r\n.25\t1E2\n7 1e-60\n3 -1e-60");
    ASSERT_EQ(r.points.size(), 4u);
    EXPECT_EQ(Pairs(r.points, 4), (P{{1.5f, -2e-3f}, {0.25f, 100.0f}, {7.0f, 0.0f}, {3.0f, -0.0f}}));
}

TEST(ParseResultText, ADecimalCommaLocaleChangesNothing) {
    // The window layer takes the user's locale; result files always have decimal points.
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char* found = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"})
        if (std::setlocale(LC_NUMERIC, name)) {
            found = name;
            break;
        }
    if (!found)
        GTEST_SKIP() << "no decimal-comma locale installed";
    const CResultText r = ParseResultText("0 1\n1.5 -2.25\n");
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(Pairs(r.points, r.points.size()), (P{{1.5f, -2.25f}}));
}

TEST(ParseResultText, StopsAtTheFirstValueThatIsNoFiniteNumber) {
    for (const char* bad : {"abc", "nan", "inf", "-inf", "1e50", "+-1", "--2", "+"}) {
        const CResultText r = ParseResultText(std::string("0 4\n0 1\n1 ") + bad + "\n2 3\n3 4\n");
        EXPECT_EQ(r.head, CResultText::Head::Ok) << bad;
        EXPECT_EQ(Pairs(r.points, r.points.size()), (P{{0, 1}})) << bad;
        EXPECT_EQ(r.announced, 4);
    }
    // A number glued to text ends the reading at the text, as "%f" would.
    const CResultText glued = ParseResultText("0 3\n0 1.5abc 2 3\n");
    EXPECT_EQ(Pairs(glued.points, glued.points.size()), (P{{0, 1.5f}}));
    const CResultText halfPair = ParseResultText("0 3\n0 1\n2");
    EXPECT_EQ(Pairs(halfPair.points, halfPair.points.size()), (P{{0, 1}}));
}

TEST(ParseResultText, AMissingOrNegativeCountReadsNothing) {
    for (const char* text : {"", "   \n", "abc 3\n0 1\n", "7\n", "7 x\n0 1\n", "3.5 2\n0 1\n", "0 99999999999\n0 1\n"})
        EXPECT_EQ(ParseResultText(text).head, CResultText::Head::Missing) << text;
    const CResultText negative = ParseResultText("0 -3\n0 1\n1 2\n2 3\n");
    EXPECT_EQ(negative.head, CResultText::Head::Negative);
    EXPECT_TRUE(negative.points.empty());
}

TEST(ParseResultText, AHugeCountNeverReservesMoreThanTheFileHolds) {
    const CResultText r = ParseResultText("0 2147483647\n0 1\n1 2\n2 3\n");
    EXPECT_EQ(r.announced, 2147483647);
    EXPECT_EQ(r.points.size(), 3u);
    EXPECT_LT(r.points.capacity(), 64u);
}

namespace {

class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(temp.Path().empty());
        home = temp.Path();
        doc.m_szStartDir = home.string();
        doc.m_services.messages = &messages;
        doc.m_services.views = &views;
        doc.m_services.files = &chooser;
        fs::create_directories(home / "elsewhere");
        ChangeDirectory((home / "elsewhere").string());
    }
    void TearDown() override { EXPECT_EQ(CurrentDirectory(), home.string()) << "back home on every path"; }

    // 1 when the document shows a curve afterwards (or a cancelled choice), 0 when the read failed.
    int Current(const CProjectKind& kind) { return Shown(ReadResult(doc, kind, EResultSource::Current)); }
    int Kept(const CProjectKind& kind) { return Shown(ReadResult(doc, kind, EResultSource::Kept)); }
    static int Shown(const CResultRead& read) { return read.outcome == CResultRead::Outcome::Failed ? 0 : 1; }
    int ReadCurrentU(const std::string& text) {
        WriteText(home / "bin" / "result_u.dat", text);
        doc.m_nResultComp = doc.m_nLabelComp = 1;
        return Current(CompositeKind());
    }
    void SetWindow(float x0, float x1, float y0, float y1) {
        doc.m_fXMin = x0, doc.m_fXMax = x1, doc.m_fYMin = y0, doc.m_fYMax = y1;
    }
    void ExpectWindowAndFullRange(float x0, float x1, float y0, float y1) const {
        EXPECT_EQ(doc.m_fXMin, x0);
        EXPECT_EQ(doc.m_fXMax, x1);
        EXPECT_EQ(doc.m_fYMin, y0);
        EXPECT_EQ(doc.m_fYMax, y1);
        EXPECT_EQ(doc.m_fFullXMin, x0);
        EXPECT_EQ(doc.m_fFullXMax, x1);
        EXPECT_EQ(doc.m_fFullYMin, y0);
        EXPECT_EQ(doc.m_fFullYMax, y1);
    }

    CTempDir temp;
    fs::path home;
    COstrelDoc doc;
    CRecordingMessages messages;
    CCountingViews views;
    CScriptedChooser chooser;
};

}  // namespace

TEST_F(ReaderTest, AMonotonicCurveSetsTheRangesFromItsEndsAndRedraws) {
    EXPECT_EQ(ReadCurrentU("0 4\n0 0.5\n1 -2\n2 3\n3 1\n"), 1);
    EXPECT_TRUE(messages.texts.empty());
    EXPECT_EQ(doc.m_nPoints, 4);
    EXPECT_EQ(Pairs(doc.m_curve, 4), (P{{0, 0.5f}, {1, -2}, {2, 3}, {3, 1}}));
    ExpectWindowAndFullRange(0, 3, -2, 3);
    EXPECT_EQ(doc.m_bCurveLoaded, 1);
    EXPECT_EQ(views.count, 1);
}

TEST_F(ReaderTest, HeadZeroZeroKeepsTheWindowAndShowsNoCurve) {
    SetWindow(-1, 4, -0.5f, 0.5f);
    doc.m_nPoints = 7;
    EXPECT_EQ(ReadCurrentU("0 0\n"), 1);
    EXPECT_EQ(doc.m_nPoints, 0);
    ExpectWindowAndFullRange(-1, 4, -0.5f, 0.5f);
    EXPECT_EQ(doc.m_bCurveLoaded, 1);
    EXPECT_EQ(views.count, 1);
    EXPECT_TRUE(messages.texts.empty());
}

TEST_F(ReaderTest, HeadFiveThreeReadsThreePoints) {
    EXPECT_EQ(ReadCurrentU("5 3\n0 1\n1 2\n2 3\n3 4\n4 5\n"), 1);
    EXPECT_EQ(doc.m_nPoints, 3);
    ExpectWindowAndFullRange(0, 2, 1, 3);
    EXPECT_TRUE(messages.texts.empty());
}

TEST_F(ReaderTest, AShortFileShowsWhatItHoldsAndSaysHowManyAreMissing) {
    EXPECT_EQ(ReadCurrentU("0 5\n0 1\n1 2\n"), 1);
    EXPECT_EQ(doc.m_nPoints, 2);
    ExpectWindowAndFullRange(0, 1, 1, 2);
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(messages.texts[0], "Only 2 of the 5 points announced in result_u.dat could be read; 3 points are missing.");
    EXPECT_EQ(views.count, 1);

    messages.texts.clear();
    EXPECT_EQ(ReadCurrentU("0 2147483647\n0 1\n1 2\n2 3\n"), 1);
    EXPECT_EQ(doc.m_nPoints, 3);
    EXPECT_EQ(messages.texts.at(0),
              "Only 3 of the 2147483647 points announced in result_u.dat could be read; 2147483644 points are missing.");
}

TEST_F(ReaderTest, TextInsteadOfNumbersEndsTheCurveThere) {
    EXPECT_EQ(ReadCurrentU("0 3\n0 1\n1 x\n2 3\n"), 1);
    EXPECT_EQ(doc.m_nPoints, 1);
    ExpectWindowAndFullRange(0, 0, 1, 1);
    EXPECT_EQ(messages.texts.at(0), "Only 1 of the 3 points announced in result_u.dat could be read; 2 points are missing.");
}

TEST_F(ReaderTest, ABadHeadOrMissingFileLeavesTheShownCurveAlone) {
    ASSERT_EQ(ReadCurrentU("0 2\n0 1\n1 2\n"), 1);
    const int redraws = views.count;
    EXPECT_EQ(ReadCurrentU("0 -3\n5 5\n6 6\n"), 0);
    EXPECT_EQ(ReadCurrentU("zero three\n5 5\n"), 0);
    EXPECT_EQ(messages.texts, (std::vector<std::string>(
                                  2, "The result file result_u.dat does not begin with a valid number of points; nothing was read.")));
    messages.texts.clear();

    // No V copy yet; the current-result message has its trailing blank.
    doc.m_nResultComp = 2;
    EXPECT_EQ(Current(CompositeKind()), 0);
    fs::create_directories(home / "binFGM");
    EXPECT_EQ(Current(FGMKind()), 0);
    doc.m_nResultComp = 0;
    EXPECT_EQ(Current(CompositeKind()), 0);
    EXPECT_EQ(messages.texts, (std::vector<std::string>(3, "Cannot open the file for reading! ")));

    EXPECT_EQ(doc.m_nPoints, 2);
    EXPECT_EQ(Pairs(doc.m_curve, 2), (P{{0, 1}, {1, 2}}));
    ExpectWindowAndFullRange(0, 1, 1, 2);
    EXPECT_EQ(views.count, redraws);
}

TEST_F(ReaderTest, TheFGMReaderTakesTheComponentCopyFromBinFGM) {
    WriteText(home / "binFGM" / "resultfgm_w.dat", "0 2\n0 -1\n10 1\n");
    WriteText(home / "bin" / "result_w.dat", "0 1\n5 5\n");
    doc.m_nResultComp = doc.m_nLabelComp = 3;
    EXPECT_EQ(Current(FGMKind()), 1);
    EXPECT_EQ(Pairs(doc.m_curve, doc.m_nPoints), (P{{0, -1}, {10, 1}}));
}

TEST_F(ReaderTest, ALongCurveGrowsTheStorageAndASmallerOneReusesIt) {
    std::string text = "0 100000\n";
    for (int i = 0; i < 100000; ++i)
        text += std::to_string(i) + " " + std::to_string(i % 7) + "\n";
    EXPECT_EQ(ReadCurrentU(text), 1);
    EXPECT_EQ(doc.m_nPoints, 100000);
    EXPECT_EQ(doc.m_curve[99999].m_fX, 99999.0f);
    ExpectWindowAndFullRange(0, 99999, 0, 6);
    EXPECT_EQ(ReadCurrentU("0 1\n3 4\n"), 1);
    EXPECT_EQ(doc.m_nPoints, 1);
    EXPECT_EQ(Pairs(doc.m_curve, 1), (P{{3, 4}}));
    ExpectWindowAndFullRange(3, 3, 4, 4);
}

TEST_F(ReaderTest, ExistingResultsAreChosenFromTheOutputDirectory) {
    WriteText(home / "output" / "COM_project" / "result_v.dat", "0 2\n1 1\n2 4\n");
    chooser.answers = {(home / "output" / "COM_project" / "result_v.dat").string()};
    doc.m_nResultComp = doc.m_nLabelComp = 2;
    EXPECT_EQ(Kept(CompositeKind()), 1);
    ASSERT_EQ(chooser.requests.size(), 1u);
    const FileDialogRequest& r = chooser.requests[0];
    EXPECT_FALSE(r.save);
    EXPECT_EQ(r.title, "");
    EXPECT_EQ(r.defaultExt, "");
    EXPECT_EQ(r.initialName, "*.dat");
    EXPECT_EQ(r.filter, "*.dat");
    EXPECT_EQ(r.startDir, (home / "output").string());
    EXPECT_TRUE(r.hideReadOnly);
    EXPECT_EQ(Pairs(doc.m_curve, doc.m_nPoints), (P{{1, 1}, {2, 4}}));
    ExpectWindowAndFullRange(1, 2, 1, 4);
    EXPECT_EQ(doc.m_bCurveLoaded, 1);
    EXPECT_EQ(views.count, 1);

    // The FGM dialog starts in its own tree; a file that cannot be opened gets the other text.
    fs::create_directories(home / "outputFGM");
    chooser.answers = {(home / "outputFGM" / "gone.dat").string()};
    EXPECT_EQ(Kept(FGMKind()), 0);
    EXPECT_EQ(chooser.requests.back().startDir, (home / "outputFGM").string());
    EXPECT_EQ(messages.texts, (std::vector<std::string>{"Cannot open the file for reading"}));
    EXPECT_EQ(doc.m_nPoints, 2);
    EXPECT_EQ(views.count, 1);
}

TEST_F(ReaderTest, CancellingTheExistingResultDialogShowsWhatWasThere) {
    fs::create_directories(home / "output");
    EXPECT_EQ(Kept(CompositeKind()), 1);
    EXPECT_EQ(doc.m_bCurveLoaded, 1) << "an empty plot frame on a fresh document";
    ExpectWindowAndFullRange(0, 0, 0, 0);
    EXPECT_EQ(views.count, 1);
    EXPECT_TRUE(messages.texts.empty());

    ASSERT_EQ(ReadCurrentU("0 2\n0 1\n1 2\n"), 1);
    SetWindow(0.25f, 0.75f, 1.25f, 1.5f);  // zoomed in
    EXPECT_EQ(Kept(CompositeKind()), 1);
    EXPECT_EQ(doc.m_nPoints, 2);
    ExpectWindowAndFullRange(0.25f, 0.75f, 1.25f, 1.5f);
    EXPECT_EQ(views.count, 3);
}

TEST_F(ReaderTest, WithoutAnOutputDirectoryTheExistingReadersDoNothing) {
    EXPECT_EQ(Kept(CompositeKind()), 0);
    EXPECT_EQ(Kept(FGMKind()), 0);
    EXPECT_TRUE(chooser.requests.empty());
    EXPECT_TRUE(messages.texts.empty());
    EXPECT_EQ(doc.m_bCurveLoaded, 0);
    EXPECT_EQ(views.count, 0);
    EXPECT_FALSE(fs::exists(home / "output"));
}

TEST_F(ReaderTest, SpecialFilesInPlaceOfAResultAreNotRead) {
    ASSERT_EQ(ReadCurrentU("0 2\n0 1\n1 2\n"), 1);
    const int redraws = views.count;
    fs::remove(home / "bin" / "result_u.dat");
    // A FIFO would block the read for ever, /dev/zero would fill memory.
    ASSERT_EQ(::mkfifo((home / "bin" / "result_u.dat").c_str(), 0600), 0);
    doc.m_nResultComp = 1;
    EXPECT_EQ(Current(CompositeKind()), 0);
    fs::remove(home / "bin" / "result_u.dat");
    fs::create_symlink("/dev/zero", home / "bin" / "result_u.dat");
    EXPECT_EQ(Current(CompositeKind()), 0);
    ASSERT_EQ(messages.texts.size(), 2u);
    EXPECT_EQ(messages.texts[0], "The result result_u.dat is not a regular file; nothing was read.");
    // Larger than any result the solvers write.
    fs::remove(home / "bin" / "result_u.dat");
    {
        std::ofstream big(home / "bin" / "result_u.dat", std::ios::binary);
        big.seekp((16 << 20) + 1);
        big.put('\n');
    }
    EXPECT_EQ(Current(CompositeKind()), 0);
    EXPECT_EQ(messages.texts.at(2), "The result result_u.dat is larger than any result the solvers write; nothing was read.");
    EXPECT_EQ(doc.m_nPoints, 2);
    EXPECT_EQ(views.count, redraws);
}
