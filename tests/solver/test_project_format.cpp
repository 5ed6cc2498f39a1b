// The four file texts and the project-file readers, without any file system.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "ProjectFormat.h"
#include "ProjectKind.h"
#include "test_project_support.h"
#include "../ScopedTempDir.h"

using namespace projtest;

namespace {

std::string CFormat(const char* format, double v) {
    char buf[512];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string Join(const std::vector<std::string>& lines, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i)
        out += lines[i] + "\n";
    return out;
}

// Switches to a German locale (decimal comma) for the scope, generating it when the system
// has not; false when neither works.
class GermanLocale {
public:
    GermanLocale() {
        if (std::setlocale(LC_ALL, "de_DE.UTF-8")) {
            m_active = true;
            return;
        }
        const auto dir = m_locales.Path();
        const std::string command = "localedef -i de_DE -f UTF-8 '" + (dir / "de_DE.UTF-8").string() +
                                    "' >/dev/null 2>&1";
        if (std::system(command.c_str()) == 0) {
            ::setenv("LOCPATH", dir.c_str(), 1);
            m_active = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
        }
    }
    ~GermanLocale() {
        std::setlocale(LC_ALL, "C");
        ::unsetenv("LOCPATH");
    }
    bool Active() const { return m_active; }

private:
    CScopedTempDir m_locales{"pemblar-locales"};
    bool m_active = false;
};

}  // namespace

TEST(ProjectFormat, NumbersMatchTheCLibraryInTheCLocale) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> mantissa(-1, 1);
    std::uniform_int_distribution<int> exponent(-12, 12);
    std::vector<double> values = {0, -0.0, 0.125, 0.375, 2.5, 1e-7, -1e-7, 123456789.987654321,
                                  3.113646, 1e300, -0.00005, 0.00005, 0.99995, 9.995};
    for (int k = 0; k < 20000; ++k)
        values.push_back(mantissa(rng) * std::pow(10.0, exponent(rng)));
    for (double v : values) {
        ASSERT_EQ(FormatFixed(v, 6), CFormat("%f", v)) << v;
        ASSERT_EQ(FormatFixed(v, 4), CFormat("%.4f", v)) << v;
        ASSERT_EQ(FormatFixed(v, 2), CFormat("%.2f", v)) << v;
        const float f = static_cast<float>(v);
        ASSERT_EQ(FormatFixed(f, 4), CFormat("%.4f", f)) << f;
    }
    EXPECT_EQ(FormatInt(-2147483647 - 1), "-2147483648");
}

TEST(ProjectFormat, CountsBeyondTheStoredRecordsWriteOnlyWhatIsThere) {
    COstrelDoc doc;
    doc.m_materials.clear();
    doc.m_nMaterials = 3;
    doc.m_layers.clear();
    doc.m_nComLayerCount = 2;
    const std::string text = FormatProject(CompositeKind(), doc);
    EXPECT_EQ(text, kInitialComProject);
    ProjectData data;
    EXPECT_TRUE(ParseProject(CompositeKind(), text, data, nullptr));
}

TEST(ProjectFormat, GermanLocaleStillWritesAndReadsDecimalPoints) {
    GermanLocale german;
    if (!german.Active())
        GTEST_SKIP() << "no German locale can be made here";
    ASSERT_EQ(CFormat("%.2f", 1.5), "1,50") << "the locale did not take effect";
    COstrelDoc doc;
    MakeLaminateShell(doc);
    MakeGradedShell(doc);
    EXPECT_EQ(FormatProject(CompositeKind(), doc), kLaminateShellProject);
    EXPECT_EQ(FormatSolverInput(CompositeKind(), doc), kLaminateShellSolverInput);
    EXPECT_EQ(FormatProject(FGMKind(), doc), kGradedShellProject);
    EXPECT_EQ(FormatSolverInput(FGMKind(), doc), kGradedShellSolverInput);
    ProjectData com;
    ASSERT_TRUE(ParseProject(CompositeKind(), kLaminateShellProject, com, nullptr));
    EXPECT_EQ(LoadValueOf(com, &CProjectKind::frequency), 6.28);
    EXPECT_EQ(com.layers.at(1).m_fThickness, 0.5f);
    ProjectData fgm;
    ASSERT_TRUE(ParseProject(FGMKind(), kGradedShellProject, fgm, nullptr));
    EXPECT_EQ(fgm.radius, 3.75f);
}

TEST(ProjectFormat, BlanksInTitlesAndNamesComeBackWhole) {
    COstrelDoc doc;
    MakeLaminateShell(doc);
    MakeGradedShell(doc);
    doc.m_strComTitle = "two  words ";
    doc.m_strFGMTitle = " graded plate";
    doc.m_materials[0].m_strName = "carbon fibre 12";
    doc.m_materials[1].m_strName = "";
    doc.m_layers[0].m_strMaterial = "carbon fibre 12";
    doc.m_layers[1].m_strMaterial = " glass  mat";
    doc.m_fgmLayers[1].m_strLayer = "";
    ProjectData com;
    ProjectReadError error;
    ASSERT_TRUE(ParseProject(CompositeKind(), FormatProject(CompositeKind(), doc), com, &error)) << error.reason;
    EXPECT_EQ(com.title, "two  words ");
    EXPECT_EQ(com.materials[0].m_strName, "carbon fibre 12");
    EXPECT_EQ(com.materials[0].m_nNo, 1);
    EXPECT_EQ(com.materials[1].m_strName, "");
    EXPECT_EQ(com.layers[0].m_strLayer, "Layer 1");
    EXPECT_EQ(com.layers[0].m_strMaterial, "carbon fibre 12");
    EXPECT_EQ(com.layers[1].m_strMaterial, " glass  mat");
    EXPECT_EQ(com.layers[1].m_nMaterial, 2);
    ProjectData fgm;
    ASSERT_TRUE(ParseProject(FGMKind(), FormatProject(FGMKind(), doc), fgm, &error)) << error.reason;
    EXPECT_EQ(fgm.title, " graded plate");
    EXPECT_EQ(fgm.materials[0].m_strName, "carbon fibre 12");
    EXPECT_EQ(fgm.fgmLayers[1].m_strLayer, "");
    EXPECT_EQ(fgm.fgmLayers[1].m_fThickness, 0.7f);
}

// Every number of every line, in turn, replaced by a word.
void ExpectEveryLetterCaught(const CProjectKind& kind, const char* full, std::size_t firstNumberLine) {
    const auto lines = Lines(full);
    int tried = 0;
    for (std::size_t li = firstNumberLine; li < lines.size(); ++li) {
        std::vector<std::size_t> starts;
        for (std::size_t p = 0; p < lines[li].size(); ++p)
            if ((p == 0 || lines[li][p - 1] == ' ') && lines[li][p] != ' ' &&
                (std::isdigit(static_cast<unsigned char>(lines[li][p])) || lines[li][p] == '-'))
                starts.push_back(p);
        for (std::size_t p : starts) {
            // Layer labels hold a number that is part of the text.
            if (lines[li].rfind("Layer ", 0) == 0 && p == 6)
                continue;
            auto changed = lines;
            changed[li] = lines[li].substr(0, p) + std::string(1, 'x') + lines[li].substr(p);
            ProjectData data;
            ProjectReadError error;
            EXPECT_FALSE(ParseProject(kind, Join(changed, changed.size()), data, &error))
                << "line " << li + 1 << ": " << changed[li];
            EXPECT_EQ(error.line, static_cast<int>(li) + 1) << changed[li];
            ++tried;
        }
    }
    EXPECT_GT(tried, 20);
}

TEST(ProjectFormat, ALetterWhereANumberBelongsIsRefusedAtItsLine) {
    ExpectEveryLetterCaught(CompositeKind(), kLaminateShellProject, 1);
    ExpectEveryLetterCaught(FGMKind(), kGradedShellProject, 1);
}

TEST(ProjectFormat, ImpossibleValuesAndStrayTextAreRefused) {
    struct Case {
        std::string text;
        int line;
        const char* says;
    };
    const std::string tail = "1    3.1400\n1    1\n0.00    10.00\n2.0000\n";
    const std::vector<Case> cases = {
        {"", 1, "title"},
        {"t\n0    0    3.1\n" + tail + "1 \n", 2, "number of layers"},
        {"t\n201    0    3.1\n" + tail + "1 \n", 2, "number of layers"},
        {"t\n1    -1    3.1\n" + tail + "1 \n", 2, "negative"},
        {"t\n1    2147483647    3.1\n" + tail + "1 \n", 7, "8 values"},
        {"t\n1    3    3.1\n" + tail + "c 1 1 1 1 1 1 1 1\n", 8, "ends before material line 2"},
        {"t\n1    0    3.1\n" + tail + "1 \n5\n", 8, "unexpected text"},
        {"t\n1    0    3.1\n" + tail + "1 \n\n  \n1.0\n", 10, "unexpected text"},
        {"t\n1    0    3.1\n" + tail + "0 \n", 8, "radius"},
        {"t\n1    0    nan\n" + tail + "1 \n", 2, "not a number"},
        {"t\n1    0    1e999\n" + tail + "1 \n", 2, "not a number"},
        {"t\n1    0    3.1\n" + tail + "1.5 \n", 7, "not an integer"},
        {"t\n1    0    3.1\n" + tail + "99999999999 \n", 7, "not an integer"},
        {"t\n1    0    3.1    7\n" + tail + "1 \n", 2, "expected 3 values"},
        {"t\n1    0    3.1\n" + tail + "a b\n1 \n", 7, "layer line"},
        {"t\n1    0    3.1\n" + tail + "carbon 1 0.5 2\n1 \n", 7, "label"},
        {std::string("t\n1    0    3.1\n1 \0 3.14\n", 23), 3, "NUL"},
    };
    for (const Case& c : cases) {
        ProjectData data;
        ProjectReadError error;
        EXPECT_FALSE(ParseProject(CompositeKind(), c.text, data, &error)) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text << " -> " << error.reason;
        EXPECT_NE(error.reason.find(c.says), std::string::npos) << error.reason;
    }
}

TEST(ProjectFormat, HandWrittenVariantsStillRead) {
    // One blank between label and name, tabs, '+' signs, no final line end.
    const std::string text =
        "hand\n2\t0\t+3.5\n1 3.14\n1 1\n0 10\n2\n"
        "Layer 1 carbon 1 0.25 4\n"
        "Layer 2  glass\t2\t0.5\t6\n"
        "0\n2.5";
    ProjectData com;
    ProjectReadError error;
    ASSERT_TRUE(ParseProject(CompositeKind(), text, com, &error)) << error.line << ": " << error.reason;
    EXPECT_EQ(com.dimConst, 3.5);
    ASSERT_EQ(com.layers.size(), 2u);
    EXPECT_EQ(com.layers[0].m_strLayer, "Layer 1");
    EXPECT_EQ(com.layers[0].m_strMaterial, "carbon");
    EXPECT_EQ(com.layers[1].m_strMaterial, "glass");
    EXPECT_EQ(com.layers[1].m_nSublayers, 6);
    EXPECT_EQ(com.radius, 2.5f);
}

TEST(ProjectFormat, ApplyingAFileTouchesOnlyItsOwnBlock) {
    COstrelDoc doc;
    MakeLaminateShell(doc);
    MakeGradedShell(doc);
    doc.m_nRunType = 0;
    doc.m_fFGMVolFraction = 0.33f;
    COstrelDoc fresh;
    fresh.m_nRunType = 1;
    fresh.m_fRadius = 99;
    ProjectData com;
    ASSERT_TRUE(ParseProject(CompositeKind(), FormatProject(CompositeKind(), doc), com, nullptr));
    ApplyProject(CompositeKind(), com, fresh);
    EXPECT_EQ(fresh.m_nRunType, 1);
    EXPECT_EQ(fresh.m_fRadius, 12.5f);
    EXPECT_EQ(fresh.m_nFGMLayerCount, 0);
    EXPECT_EQ(fresh.m_strFGMTitle, "FGM_project");
    EXPECT_EQ(fresh.m_nComLayerCount, 2);
    EXPECT_EQ(fresh.m_nMaterials, 2);

    // A plate file leaves the radius as it was.
    doc.m_bPlate = 1;
    fresh.m_fRadius = 99;
    ASSERT_TRUE(ParseProject(CompositeKind(), FormatProject(CompositeKind(), doc), com, nullptr));
    ApplyProject(CompositeKind(), com, fresh);
    EXPECT_EQ(fresh.m_bPlate, 1);
    EXPECT_EQ(fresh.m_fRadius, 99.0f);

    ProjectData fgm;
    ASSERT_TRUE(ParseProject(FGMKind(), FormatProject(FGMKind(), doc), fgm, nullptr));
    ApplyProject(FGMKind(), fgm, fresh);
    EXPECT_EQ(fresh.m_nComLayerCount, 2);
    EXPECT_EQ(fresh.m_strComTitle, "laminate");
    EXPECT_EQ(fresh.m_fFGMVolFraction, 0.1f);
    EXPECT_EQ(fresh.m_fFGMRadius, 3.75f);
    EXPECT_EQ(fresh.m_nFGMLayerCount, 2);
}

TEST(ProjectFormat, NamesWithLineBreaksAreFound) {
    COstrelDoc doc;
    MakeLaminateShell(doc);
    MakeGradedShell(doc);
    EXPECT_EQ(ProjectNameProblem(CompositeKind(), doc), "");
    EXPECT_EQ(ProjectNameProblem(FGMKind(), doc), "");
    doc.m_materials[1].m_strName = "gl\nass";
    EXPECT_NE(ProjectNameProblem(CompositeKind(), doc).find("material 2"), std::string::npos);
    EXPECT_NE(ProjectNameProblem(FGMKind(), doc).find("material 2"), std::string::npos);
    doc.m_materials[1].m_strName = "glass";
    doc.m_layers[0].m_strMaterial = "x\r";
    EXPECT_NE(ProjectNameProblem(CompositeKind(), doc).find("layer 1"), std::string::npos);
    EXPECT_EQ(ProjectNameProblem(FGMKind(), doc), "");
    doc.m_strFGMTitle = "a\nb";
    EXPECT_NE(ProjectNameProblem(FGMKind(), doc).find("title"), std::string::npos);
}

// The load block is written, read and applied from one list: every value lands in its own
// kind's member with its own type, for both kinds.
TEST(ProjectFormat, EveryLoadValueReachesItsKindsMember) {
    for (const CProjectKind* kind : ProjectKinds()) {
        const CProjectKind& k = *kind;
        COstrelDoc doc;
        MakeLaminateShell(doc);
        MakeGradedShell(doc);
        doc.*k.loadType = 5;
        doc.*k.frequency = 1.2345;
        doc.*k.loadDir = 2;
        doc.*k.output = 3;
        doc.*k.timeFrom = 1.25f;
        doc.*k.timeTo = 7.5f;
        doc.*k.receiverX = 12.5f;
        const std::string text = FormatProject(k, doc);
        ProjectData data;
        ProjectReadError error;
        ASSERT_TRUE(ParseProject(k, text, data, &error)) << k.name << " " << error.line << ": " << error.reason;
        EXPECT_EQ(LoadValueOf(data, &CProjectKind::timeTo), 7.5f) << k.name;
        EXPECT_EQ(LoadValueOf(data, &CProjectKind::output), 3) << k.name;
        COstrelDoc read;
        ApplyProject(k, data, read);
        EXPECT_EQ(read.*k.loadType, 5) << k.name;
        EXPECT_EQ(read.*k.frequency, 1.2345) << k.name;
        EXPECT_EQ(read.*k.loadDir, 2) << k.name;
        EXPECT_EQ(read.*k.output, 3) << k.name;
        EXPECT_EQ(read.*k.timeFrom, 1.25f) << k.name;
        EXPECT_EQ(read.*k.timeTo, 7.5f) << k.name;
        EXPECT_EQ(read.*k.receiverX, 12.5f) << k.name;
        // The other kind's members keep their defaults.
        const CProjectKind& other = KindAt(1 - k.index);
        EXPECT_EQ(read.*other.loadType, COstrelDoc().*other.loadType) << k.name;
        EXPECT_EQ(read.*other.receiverX, COstrelDoc().*other.receiverX) << k.name;
        // An integer value is read as one: the load type "5.5" is refused at its line.
        std::string fractional = text;
        fractional.replace(fractional.find("5    1.2345"), 1, "5.5");
        EXPECT_FALSE(ParseProject(k, fractional, data, &error)) << k.name;
        EXPECT_EQ(error.line, 3) << k.name;
        EXPECT_NE(error.reason.find("not an integer"), std::string::npos) << error.reason;
    }
}
