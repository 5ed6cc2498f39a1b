// Sampled loads: the shapes' samples, imported measurements, the settings file kept beside the
// project file, and "ft.dat" made again when the project is reopened.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>

#include "LoadResponse.h"
#include "ProjectFiles.h"
#include "ProjectSettings.h"
#include "SampledLoadFiles.h"
#include "WorkingDirectory.h"
#include "test_project_support.h"

namespace fs = std::filesystem;
using namespace projtest;

namespace {

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Spit(const fs::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary);
    out << text;
}

CSampledLoad Burst(double mhz, double cycles, double delay = 0) {
    CSampledLoad l;
    l.m_shape = ELoadShape::ToneBurst;
    l.m_dFrequency = mhz;
    l.m_dCycles = cycles;
    l.m_dDelay = delay;
    return l;
}

}  // namespace

TEST(SampledLoadShapes, ToneBurstGaussianAndStep) {
    // 5 cycles of 0.2 MHz: 25 us at 40 samples a period, Hann-windowed, 0 at both ends.
    const CLoadSamples b = SampleLoad(Burst(0.2, 5, 2));
    ASSERT_EQ(b.times.size(), 201u);
    EXPECT_DOUBLE_EQ(b.times.front(), 2);
    EXPECT_DOUBLE_EQ(b.times.back(), 27);
    EXPECT_NEAR(b.values.front(), 0, 1e-15);
    EXPECT_NEAR(b.values.back(), 0, 1e-12);
    double peak = 0;
    for (double v : b.values) peak = std::max(peak, std::abs(v));
    EXPECT_GT(peak, 0.95);
    EXPECT_LE(peak, 1.0);
    // Sample 30 is 3/4 of a period in: sin = -1, window 0.5 (1 - cos(2 pi 3.75 / 25)).
    EXPECT_NEAR(b.values[30], -0.5 * (1 - std::cos(2 * M_PI * 3.75 / 25)), 1e-12);

    CSampledLoad g;
    g.m_shape = ELoadShape::Gaussian;
    g.m_dWidth = 0.5;
    g.m_dDelay = 3;
    const CLoadSamples gs = SampleLoad(g);
    ASSERT_EQ(gs.times.size(), 161u);  // 8 widths at width / 20
    EXPECT_DOUBLE_EQ(gs.times.front(), 1);
    EXPECT_DOUBLE_EQ(gs.values[80], 1.0);
    EXPECT_NEAR(gs.values[90], std::exp(-0.25), 1e-12);

    // A step is sampled over its rise and then held to the window's end: ft.dat byte for byte.
    CSampledLoad s;
    s.m_shape = ELoadShape::RaisedCosineStep;
    s.m_dRise = 1;
    s.m_dDelay = 0.5;
    s.m_dInterval = 0.5;
    s.m_dEnd = 10;
    EXPECT_EQ(FormatLoadSamples(SampleLoad(s)), "0.5 0\n1 0.5\n1.5 1\n10 1\n");

    // Refused settings say why and give no samples.
    s.m_dEnd = 1.2;
    EXPECT_NE(CheckSampledLoad(s), "");
    EXPECT_TRUE(SampleLoad(s).times.empty());
    EXPECT_NE(CheckSampledLoad(Burst(0, 5)), "");
    EXPECT_NE(CheckSampledLoad(Burst(0.2, -1)), "");
    EXPECT_NE(CheckSampledLoad(Burst(NAN, 5)), "");
    EXPECT_NE(CheckSampledLoad(Burst(0.2, 5, -1)), "");
    CSampledLoad dense = Burst(0.2, 5);
    dense.m_dInterval = 1e-9;  // far more samples than the solver takes
    EXPECT_NE(CheckSampledLoad(dense), "");
    dense.m_dInterval = INFINITY;
    EXPECT_NE(CheckSampledLoad(dense), "");
}

// Every shape whose span vanishes against its start time (a huge frequency, a tiny width or rise)
// is refused by the check, never sampled into two samples at one time that the solvers refuse; a
// step's sample count is that of its rise, not of the window it is held to.
TEST(SampledLoadShapes, SpansShorterThanTheSolversStepAreRefused) {
    const auto solverTakes = [](const CSampledLoad& l) {
        numerics::CLoadFunction f;
        f.type = numerics::ELoadType::kSampled;
        return numerics::ParseSampledLoad(FormatLoadSamples(SampleLoad(l)), "ft.dat", f);
    };
    CSampledLoad burst = Burst(5.5e45, 5, 1.5);
    CSampledLoad gauss;
    gauss.m_shape = ELoadShape::Gaussian;
    gauss.m_dDelay = 1.5;
    gauss.m_dWidth = 1e-300;
    CSampledLoad step;
    step.m_shape = ELoadShape::RaisedCosineStep;
    step.m_dDelay = 1.5;
    step.m_dRise = 1e-300;
    step.m_dEnd = 10;
    for (CSampledLoad* l : {&burst, &gauss, &step}) {
        EXPECT_NE(CheckSampledLoad(*l), "");
        EXPECT_TRUE(SampleLoad(*l).times.empty());
    }
    // Short but sampled no closer than the solvers take: accepted, and they take what is written.
    burst.m_dFrequency = 5e8;  // 5 cycles in 1e-8 us
    gauss.m_dWidth = 1e-8;
    step.m_dRise = 1e-8;
    for (CSampledLoad* l : {&burst, &gauss, &step}) {
        l->m_dInterval = 2e-9;
        EXPECT_EQ(CheckSampledLoad(*l), "");
        EXPECT_EQ(solverTakes(*l), "");
    }
    // A 1 us rise held to the end of a 1e6 us window needs 41 samples, not 4e7.
    step.m_dRise = 1;
    step.m_dEnd = 1e6;
    step.m_dInterval = 0;
    EXPECT_EQ(CheckSampledLoad(step), "");
    EXPECT_EQ(SampleLoad(step).times.size(), 42u);
    EXPECT_EQ(solverTakes(step), "");
}

TEST(SampledLoadImport, CsvWhitespaceHeadersAndFaults) {
    CLoadSamples s;
    EXPECT_EQ(ParseLoadTable("time_us,force\r\n0,0\r\n0.5, 1.5\r\n# a note\r\n\r\n1.0;-2e-1\r\n", s), "");
    EXPECT_EQ(s.times, (std::vector<double>{0, 0.5, 1.0}));
    EXPECT_EQ(s.values, (std::vector<double>{0, 1.5, -0.2}));
    EXPECT_EQ(ParseLoadTable("0 1\n1\t2\n", s), "");
    EXPECT_EQ(s.times.size(), 2u);

    EXPECT_EQ(ParseLoadTable("0 0\n1 1\n1 2\n", s), "line 3: the times must increase from line to line");
    EXPECT_TRUE(s.times.empty());
    EXPECT_EQ(ParseLoadTable("t v\n0 0\n1 2 3\n", s), "line 3: expected two numbers, a time in us and a value");
    EXPECT_EQ(ParseLoadTable("0 0\nx y\n", s), "line 2: expected two numbers, a time in us and a value");
    EXPECT_EQ(ParseLoadTable("0 0\n1 nan\n", s), "line 2: expected two numbers, a time in us and a value");
    EXPECT_EQ(ParseLoadTable("0,5 0\n", s), "line 1: expected two numbers, a time in us and a value");
    EXPECT_EQ(ParseLoadTable("t v\n0 1\n", s), "the file holds fewer than two samples");
    EXPECT_EQ(ParseLoadTable("", s), "the file holds fewer than two samples");
}

TEST(SampledLoadSettings, TextRoundTripsExactly) {
    CSampledLoad b = Burst(0.2, 5, 1.5);
    EXPECT_EQ(FormatLoadSettings(b),
              "# sampled load f(t) of the project: makes ft.dat\n"
              "shape tone-burst\nfrequency 0.20000000000000001\ncycles 5\ndelay 1.5\nwidth 1\nrise 1\n"
              "interval 0\nend 10\n");
    CSampledLoad imported;
    imported.m_shape = ELoadShape::Imported;
    imported.m_importedTimes = {0, 0.1, 1.0 / 3};
    imported.m_importedValues = {0, -1e-300, 2.0 / 3};
    imported.m_strImportedFrom = "hammer\nhit.csv";
    CSampledLoad back;
    ASSERT_EQ(ParseLoadSettings(FormatLoadSettings(imported), back), "");
    EXPECT_EQ(back.m_importedTimes, imported.m_importedTimes);
    EXPECT_EQ(back.m_importedValues, imported.m_importedValues);
    EXPECT_EQ(back.m_strImportedFrom, "hammer hit.csv");
    EXPECT_EQ(FormatLoadSamples(SampleLoad(back)), FormatLoadSamples(SampleLoad(imported)));

    CSampledLoad untouched = Burst(1, 1);
    EXPECT_EQ(ParseLoadSettings("shape sawtooth\n", untouched), "line 1: unknown shape");
    EXPECT_EQ(ParseLoadSettings("colour red\n", untouched), "line 1: unknown setting \"colour\"");
    EXPECT_EQ(ParseLoadSettings("cycles five\n", untouched), "line 1: expected a number after \"cycles\"");
    EXPECT_EQ(ParseLoadSettings("shape imported\nsamples 3\n0 0\n1 1\n", untouched),
              "the file ends before its last sample");
    EXPECT_EQ(ParseLoadSettings("shape imported\nsamples 99999999999\n", untouched),
              "line 2: expected the number of samples");
    EXPECT_NE(ParseLoadSettings("shape tone-burst\ncycles 0\n", untouched), "");
    EXPECT_EQ(untouched.m_dFrequency, 1);  // nothing changes on failure
}

class SampledLoadFiles : public ::testing::Test {
protected:
    void SetUp() override {
        m_before = CurrentDirectory();
        m_root = fs::temp_directory_path() /
                 ("pemblar-load-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(m_root);
        fs::create_directories(m_root);
        m_root = fs::canonical(m_root);
        Wire(doc);
    }
    void TearDown() override {
        ChangeDirectory(m_before);
        fs::remove_all(m_root);
    }
    void Wire(COstrelDoc& d) {
        d.m_szStartDir = m_root.string();
        d.m_services.messages = &sink;
        d.m_services.files = &chooser;
    }
    fs::path m_root;
    std::string m_before;
    COstrelDoc doc;
    RecordingSink sink;
    ScriptedChooser chooser;
};

TEST_F(SampledLoadFiles, KeptBesideTheProjectAndMadeAgainOnReopening) {
    MakeLaminateShell(doc);
    doc.m_nLoadType = 4;
    ASSERT_EQ(WriteProjectFile(doc, CompositeKind()), 1);
    const std::string project = Slurp(m_root / "input" / "laminate.dat");

    std::string error;
    ASSERT_TRUE(WriteSampledLoad(doc, CompositeKind(), Burst(0.2, 5), &error)) << error;
    EXPECT_EQ(CurrentDirectory(), m_root.string());
    const std::string ft = Slurp(m_root / "bin" / "ft.dat");
    EXPECT_EQ(ft, FormatLoadSamples(SampleLoad(Burst(0.2, 5))));
    // Beside the project, in the project's own settings.
    EXPECT_EQ(Slurp(m_root / "input" / "laminate.settings"),
              "# the program's settings of the project beside this file\norder 0\nsampled-load\n" +
                  FormatLoadSettings(Burst(0.2, 5)));
    EXPECT_EQ(Slurp(m_root / "input" / "laminate.dat"), project);  // the project file as it was
    EXPECT_TRUE(doc.m_comSampledLoad.m_bDefined);

    // Reopened in a fresh document: the settings come back and ft.dat is the same bytes.
    fs::remove(m_root / "bin" / "ft.dat");
    COstrelDoc fresh;
    Wire(fresh);
    chooser.answer = (m_root / "input" / "laminate.dat").string();
    OnOpenProject(fresh, CompositeKind());
    EXPECT_TRUE(sink.messages.empty()) << sink.messages.front();
    EXPECT_EQ(Slurp(m_root / "bin" / "ft.dat"), ft);
    EXPECT_EQ(fresh.m_comSampledLoad.m_dFrequency, 0.2);
    EXPECT_TRUE(fresh.m_comSampledLoad.m_bDefined);
    EXPECT_FALSE(fresh.m_fgmSampledLoad.m_bDefined);
    EXPECT_EQ(CurrentDirectory(), m_root.string());

    // The FGM project has its own pair of files.
    MakeGradedShell(doc);
    ASSERT_EQ(WriteProjectFile(doc, FGMKind()), 1);
    CSampledLoad step;
    step.m_shape = ELoadShape::RaisedCosineStep;
    step.m_dEnd = 5;
    ASSERT_TRUE(WriteSampledLoad(doc, FGMKind(), step, &error)) << error;
    EXPECT_EQ(Slurp(m_root / "binFGM" / "ft.dat"), FormatLoadSamples(SampleLoad(step)));
    EXPECT_EQ(Slurp(m_root / "bin" / "ft.dat"), ft);
    fs::remove(m_root / "binFGM" / "ft.dat");
    chooser.answer = (m_root / "inputFGM" / "graded.dat").string();
    OnOpenProject(fresh, FGMKind());
    EXPECT_EQ(Slurp(m_root / "binFGM" / "ft.dat"), FormatLoadSamples(SampleLoad(step)));
}

TEST_F(SampledLoadFiles, FaultsAreReportedAndChangeNothing) {
    MakeLaminateShell(doc);
    ASSERT_EQ(WriteProjectFile(doc, CompositeKind()), 1);
    std::string error;
    // Refused settings write nothing.
    EXPECT_FALSE(WriteSampledLoad(doc, CompositeKind(), Burst(-1, 5), &error));
    EXPECT_EQ(error, "The centre frequency must be positive.");
    EXPECT_FALSE(fs::exists(m_root / "bin" / "ft.dat"));
    EXPECT_FALSE(doc.m_comSampledLoad.m_bDefined);

    // A run directory that cannot be made (a file is in the way).
    Spit(m_root / "bin", "not a directory");
    EXPECT_FALSE(WriteSampledLoad(doc, CompositeKind(), Burst(0.2, 5), &error));
    EXPECT_NE(error.find("bin"), std::string::npos);
    EXPECT_EQ(CurrentDirectory(), m_root.string());
    fs::remove(m_root / "bin");

    // A damaged settings file, or a damaged ".load" from before: a message naming it, the old
    // ft.dat left alone.
    ASSERT_TRUE(WriteSampledLoad(doc, CompositeKind(), Burst(0.2, 5), &error)) << error;
    const std::string ft = Slurp(m_root / "bin" / "ft.dat");
    const fs::path settings = m_root / "input" / "laminate.settings";
    const fs::path legacy = m_root / "input" / "laminate.load";
    COstrelDoc fresh;
    Wire(fresh);
    chooser.answer = (m_root / "input" / "laminate.dat").string();
    struct Damage {
        fs::path file;
        std::string text;
        std::string message;
    };
    const std::vector<Damage> damages{
        {settings, "order 0\nsampled-load\nshape tone-burst\ncycles -3\n",
         "Cannot read the project settings!\n" + settings.string() + ": The number of cycles must be positive."},
        {legacy, "shape tone-burst\ncycles -3\n",
         "Cannot read the sampled load!\n" + legacy.string() + ": The number of cycles must be positive."}};
    for (const Damage& d : damages) {
        fs::remove(settings);
        Spit(d.file, d.text);
        sink.messages.clear();
        OnOpenProject(fresh, CompositeKind());
        ASSERT_EQ(sink.messages.size(), 1u);
        EXPECT_EQ(sink.messages[0], d.message);
        EXPECT_EQ(Slurp(m_root / "bin" / "ft.dat"), ft);
        EXPECT_FALSE(fresh.m_comSampledLoad.m_bDefined);
        EXPECT_EQ(fresh.m_strComTitle, "laminate");  // the project itself was read
    }

    // A FIFO in place of the settings is refused without waiting for a writer.
    for (const fs::path& file : {legacy, settings}) {
        fs::remove(settings);
        fs::remove(legacy);
        ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
        sink.messages.clear();
        OnOpenProject(fresh, CompositeKind());
        ASSERT_EQ(sink.messages.size(), 1u);
        EXPECT_EQ(sink.messages[0].rfind(file == legacy ? "Cannot read the sampled load!\n"
                                                        : "Cannot read the project settings!\n", 0), 0u);
        EXPECT_EQ(Slurp(m_root / "bin" / "ft.dat"), ft);
    }

    // A run directory that is a link out of the working tree is not written through.
    const fs::path outside = m_root / "outside";
    fs::create_directories(outside);
    fs::create_directories(m_root / "home2");
    COstrelDoc other;
    Wire(other);
    other.m_szStartDir = (m_root / "home2").string();
    fs::create_directory_symlink(outside, m_root / "home2" / "bin");
    EXPECT_FALSE(WriteSampledLoad(other, CompositeKind(), Burst(0.2, 5), &error));
    EXPECT_NE(error.find("leads outside the working directory"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_empty(outside));
}

// The project's own settings: the element order and the sampled load travel with the project
// file; a ".load" from before still brings its load; the user's order is only a new project's.
TEST_F(SampledLoadFiles, TheProjectsSettingsTravelWithItAndOldLoadFilesStillOpen) {
    MakeLaminateShell(doc);
    doc.m_nLoadType = 4;
    doc.m_nElementOrder = 7;
    std::string error;
    ASSERT_TRUE(WriteSampledLoad(doc, CompositeKind(), Burst(0.3, 4), &error)) << error;
    ASSERT_EQ(WriteProjectFile(doc, CompositeKind()), 1);
    EXPECT_EQ(Slurp(m_root / "input" / "laminate.settings"),
              "# the program's settings of the project beside this file\norder 7\nsampled-load\n" +
                  FormatLoadSettings(Burst(0.3, 4)));

    // Another user's document (another order) opens the project: the project's order holds.
    COstrelDoc other;
    Wire(other);
    other.m_nElementOrder = 3;
    chooser.answer = (m_root / "input" / "laminate.dat").string();
    OnOpenProject(other, CompositeKind());
    EXPECT_TRUE(sink.messages.empty()) << sink.messages.front();
    EXPECT_EQ(other.m_nElementOrder, 7);
    EXPECT_EQ(other.m_comSampledLoad.m_dFrequency, 0.3);
    EXPECT_TRUE(other.m_comSampledLoad.m_bDefined);

    // A project of an earlier version: a ".load" beside it and no settings. Its load comes
    // back; the order stays the document's.
    fs::rename(m_root / "input" / "laminate.settings", m_root / "elsewhere.settings");
    Spit(m_root / "input" / "laminate.load", FormatLoadSettings(Burst(0.25, 6)));
    fs::remove(m_root / "bin" / "ft.dat");
    COstrelDoc old;
    Wire(old);
    old.m_nElementOrder = 3;
    OnOpenProject(old, CompositeKind());
    EXPECT_TRUE(sink.messages.empty()) << sink.messages.front();
    EXPECT_EQ(old.m_nElementOrder, 3);
    EXPECT_EQ(old.m_comSampledLoad.m_dCycles, 6);
    EXPECT_EQ(Slurp(m_root / "bin" / "ft.dat"), FormatLoadSamples(SampleLoad(Burst(0.25, 6))));
    // Written again, the project gets its settings file; the settings file wins from then on.
    ASSERT_EQ(WriteProjectFile(old, CompositeKind()), 1);
    Spit(m_root / "input" / "laminate.load", "shape sawtooth\n");
    OnOpenProject(other, CompositeKind());
    EXPECT_TRUE(sink.messages.empty()) << sink.messages.front();
    EXPECT_EQ(other.m_nElementOrder, 3);
    EXPECT_EQ(other.m_comSampledLoad.m_dCycles, 6);

    // Without any settings, nothing of the document's own changes and nothing is said.
    fs::remove(m_root / "input" / "laminate.settings");
    fs::remove(m_root / "input" / "laminate.load");
    other.m_nElementOrder = 9;
    OnOpenProject(other, CompositeKind());
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_EQ(other.m_nElementOrder, 9);
    EXPECT_EQ(CurrentDirectory(), m_root.string());
}

TEST(ProjectSettingsText, ReadsWhatItWritesSkipsWhatItDoesNotKnowAndNamesTheLine) {
    CProjectSettings s;
    s.elementOrder = 12;
    s.hasElementOrder = true;
    EXPECT_EQ(FormatProjectSettings(s), "# the program's settings of the project beside this file\norder 12\n");
    s.sampledLoad = Burst(0.2, 5);
    s.sampledLoad.m_bDefined = true;
    CProjectSettings back;
    ASSERT_EQ(ParseProjectSettings(FormatProjectSettings(s), back), "");
    EXPECT_EQ(back.elementOrder, 12);
    EXPECT_TRUE(back.hasElementOrder);
    EXPECT_TRUE(back.sampledLoad.m_bDefined);
    EXPECT_EQ(FormatLoadSettings(back.sampledLoad), FormatLoadSettings(s.sampledLoad));

    // A later version's settings are passed over; CR LF lines read; an order the solvers would
    // refuse is automatic; a file without an order names none.
    ASSERT_EQ(ParseProjectSettings("colour blue\r\norder 4\r\n", back), "");
    EXPECT_EQ(back.elementOrder, 4);
    EXPECT_FALSE(back.sampledLoad.m_bDefined);
    for (const char* order : {"order 65", "order -1", "order x", "order", "order 2.5"}) {
        ASSERT_EQ(ParseProjectSettings(std::string(order) + "\n", back), "") << order;
        EXPECT_EQ(back.elementOrder, 0) << order;
    }
    // A byte-order mark of an editor is passed over, UTF-16 named.
    ASSERT_EQ(ParseProjectSettings("\xEF\xBB\xBForder 3\n", back), "");
    EXPECT_EQ(back.elementOrder, 3);
    EXPECT_NE(ParseProjectSettings(std::string("\xFF\xFEo\0r\0", 6), back), "");
    ASSERT_EQ(ParseProjectSettings("# nothing\n", back), "");
    EXPECT_FALSE(back.hasElementOrder);
    // A fault in the load is named by its line in the whole file; nothing is taken.
    back.elementOrder = 5;
    EXPECT_EQ(ParseProjectSettings("order 2\nsampled-load\nshape tone-burst\ncycles five\n", back),
              "line 4: expected a number after \"cycles\"");
    EXPECT_EQ(back.elementOrder, 5);
    EXPECT_EQ(ProjectSettingsPath("/a/b.c/input/title.dat"), "/a/b.c/input/title.settings");
}
