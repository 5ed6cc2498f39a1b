// CSV text of series, byte for byte, read back, and the atomic file write.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <clocale>
#include <cmath>

#include "SeriesCsv.h"

using namespace plot;

namespace {

Series Make(std::string name, std::string unit, std::vector<Point> points, bool single = false) {
    Series s;
    s.name = std::move(name);
    s.unit = std::move(unit);
    s.points = std::move(points);
    s.singlePrecision = single;
    return s;
}

}  // namespace

TEST(SeriesCsv, WideFormOneRowPerTimeWithEmptyCellsWhereASeriesHasNoPoint) {
    const std::vector<Series> series = {
        Make("W result_w.dat", "mm", {{0, 0}, {0.5, 1.25e-5}, {1, -3e-7}}, true),
        Make("measured, filtered", "mm", {{0.25, 0.1}, {1, 0.2}, {1, 0.3}}),
    };
    EXPECT_EQ(SeriesCsvText(series, {"t", "us"}),
              "t (us),W result_w.dat (mm),\"measured, filtered (mm)\"\n"
              "0,0,\n"
              "0.25,,0.1\n"
              "0.5,1.25e-05,\n"
              "1,-3e-07,0.2\n"
              "1,,0.3\n");
}

TEST(SeriesCsv, AFloatCurveAndADoubleOneShareTheirTimes) {
    // 60.3f is 60.299999237... as a double: the same time as a measured 60.3, one row.
    const Series result = Make("W", "mm", {{double(60.3f), double(1.5e-5f)}, {double(60.4f), 2.0}}, true);
    const Series measured = Make("m", "mm", {{60.3, 0.1}, {60.4, 0.2}});
    const std::vector<Series> both = {result, measured};
    EXPECT_EQ(SeriesCsvText(both, {"t", "us"}), "t (us),W (mm),m (mm)\n60.3,1.5e-05,0.1\n60.4,2,0.2\n");
}

TEST(SeriesCsv, FullPrecisionRoundTripsByteForByte) {
    Series exact = Make("U", "mm", {});
    Series single = Make("V", "mm", {}, true);
    for (int i = 0; i < 50; ++i) {
        const double t = i * 0.1 + 1e-3;
        exact.points.push_back({t, std::sin(t) * 1.2345678901234e-5});
        single.points.push_back({double(float(t)), double(float(std::cos(t) / 3))});
    }
    const std::vector<Series> series = {exact, single};
    const std::string first = SeriesCsvText(series, {"t", "us"});
    const CsvReadResult read = ReadSeriesCsv(first);
    ASSERT_TRUE(read.ok()) << read.error;
    ASSERT_EQ(read.series.size(), 2u);
    EXPECT_EQ(read.x.name, "t");
    EXPECT_EQ(read.x.unit, "us");
    EXPECT_EQ(read.series[0].name, "U");
    EXPECT_EQ(read.series[0].unit, "mm");
    EXPECT_EQ(read.series[0].points, exact.points);  // every double exactly
    std::vector<Series> again = read.series;
    again[1].singlePrecision = true;
    EXPECT_EQ(SeriesCsvText(again, read.x), first);
}

TEST(SeriesCsv, UnsortedSeriesKeepTheirOrderInTheLongForm) {
    const std::vector<Series> series = {Make("S0", "mm/us", {{1, 3}, {2, 2.5}, {1.5, 2}}),
                                        Make("A0", "mm/us", {{0, 0}, {1, 1}})};
    const std::string text = SeriesCsvText(series, {"f", "MHz"});
    EXPECT_EQ(text, "series,f (MHz),value (mm/us)\nS0,1,3\nS0,2,2.5\nS0,1.5,2\nA0,0,0\nA0,1,1\n");
    const CsvReadResult read = ReadSeriesCsv(text);
    ASSERT_TRUE(read.ok()) << read.error;
    ASSERT_EQ(read.series.size(), 2u);
    EXPECT_EQ(read.series[0].points, series[0].points);
    EXPECT_EQ(read.series[1].name, "A0");
    EXPECT_EQ(SeriesCsvText(read.series, read.x), text);
}

TEST(SeriesCsv, ReadsMeasuredSignalsInCommonShapes) {
    // Two columns without a header, blanks as separator, comments, CR LF, a plus sign.
    const CsvReadResult plain = ReadSeriesCsv("# scope export\r\n0 1.5\r\n  0.1\t+2e-3 \r\n\r\n0.2 -1\r\n");
    ASSERT_TRUE(plain.ok()) << plain.error;
    ASSERT_EQ(plain.series.size(), 1u);
    EXPECT_EQ(plain.series[0].name, "column 2");
    EXPECT_EQ(plain.series[0].points, (std::vector<Point>{{0, 1.5}, {0.1, 2e-3}, {0.2, -1}}));
    const CsvReadResult semi = ReadSeriesCsv("time;signal (mm)\n0;1\n1;2\n");
    ASSERT_TRUE(semi.ok()) << semi.error;
    EXPECT_EQ(semi.series[0].name, "signal");
    EXPECT_EQ(semi.series[0].unit, "mm");
}

TEST(SeriesCsv, BadInputIsRefusedWithTheLine) {
    EXPECT_EQ(ReadSeriesCsv("").error, "no data");
    EXPECT_EQ(ReadSeriesCsv("t,w\n0,1\n1,nan\n").error, "line 3: cell 2 is not a finite number");
    EXPECT_EQ(ReadSeriesCsv("0,1\n1,2,3\n").error, "line 2: more cells than the first line has");
    EXPECT_EQ(ReadSeriesCsv("0,1\n1e999,2\n").error, "line 2: the first cell is not a finite number");
    EXPECT_EQ(ReadSeriesCsv("0,1\n0,1,5\n").series.size(), 0u);
    EXPECT_EQ(ReadSeriesCsv("1\n2\n").error, "line 1: expected at least two columns");
    EXPECT_EQ(ReadSeriesCsv("0,1,2\n1,1\n2,1\n3,1\n", 2).error, "more than 2 rows");
    EXPECT_EQ(ReadSeriesCsv("0,1,5\n0,1,5\n", 2).error, "");
    // "1,5" with a comma decimal in a ';' file is not a number: no silent misreading.
    EXPECT_FALSE(ReadSeriesCsv("0;1,5\n").ok());
}

TEST(SeriesCsv, NumbersIgnoreTheLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "no comma locale installed";
    const std::vector<Series> series = {Make("W", "mm", {{0.5, -1.25}})};
    EXPECT_EQ(SeriesCsvText(series, {"t", "us"}), "t (us),W (mm)\n0.5,-1.25\n");
    EXPECT_EQ(ReadSeriesCsv("0.5,-1.25\n").series.at(0).points.at(0), (Point{0.5, -1.25}));
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(SeriesCsv, AtomicWriteLeavesTheOldFileWhenItFails) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("out.csv");
    QString error;
    ASSERT_TRUE(SaveFileAtomically(path, "first\n", &error)) << error.toStdString();
    ASSERT_TRUE(SaveFileAtomically(path, "second\n", &error));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "second\n");
    file.close();
    EXPECT_FALSE(SaveFileAtomically(dir.filePath("missing/out.csv"), "x", &error));
    EXPECT_TRUE(error.startsWith("out.csv: ")) << error.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"out.csv"});  // no temporary left
}

namespace {

TEST(SeriesCsvBounds, TablesTooWideAreRefusedBeforeAnythingIsMade) {
    // Two million header cells: refused as a whole, without a series per cell.
    std::string names = "t";
    for (int i = 0; i < 2'000'000; ++i)
        names += ",w";
    const CsvReadResult wide = ReadSeriesCsv(names + "\n0,1\n");
    EXPECT_EQ(wide.error, "line 1: more than 1000 columns");
    EXPECT_TRUE(wide.series.empty());
    // The same for numbers, for a blank-separated table, and for a later row.
    EXPECT_EQ(ReadSeriesCsv("0 1 2 3\n", 10, 3).error, "line 1: more than 3 columns");
    EXPECT_EQ(ReadSeriesCsv("0,1\n" + std::string(100000, ',') + "\n").error, "line 2: more cells than the first line has");
    EXPECT_TRUE(ReadSeriesCsv("0,1,2\n1,2,3\n", 10, 3).ok());
    // The long form: one series per name, as many as columns at most.
    std::string rows = "series,t,value\n";
    for (int i = 0; i < 5; ++i)
        rows += "s" + std::to_string(i) + ",0,1\n";
    EXPECT_EQ(ReadSeriesCsv(rows, 100, 4).error, "line 6: more than 4 series");
    EXPECT_EQ(ReadSeriesCsv(rows, 100, 5).series.size(), 5u);
    // Names without a row are no table, in either form.
    EXPECT_EQ(ReadSeriesCsv("series,t (us),value\n").error, "no data");
    EXPECT_EQ(ReadSeriesCsv("t (us),W (mm)\n").error, "no data");
}

TEST(SeriesCsvText, AByteOrderMarkNeverTurnsTheFirstRowIntoNames) {
    const CsvReadResult marked = ReadSeriesCsv("\xEF\xBB\xBF" "0,1\n1,2\n");
    ASSERT_TRUE(marked.ok()) << marked.error;
    ASSERT_EQ(marked.series.size(), 1u);
    EXPECT_EQ(marked.series[0].points, (std::vector<Point>{{0, 1}, {1, 2}}));
    const CsvReadResult named = ReadSeriesCsv("\xEF\xBB\xBF" "t (us),W (mm)\n0,1\n");
    EXPECT_EQ(named.x.name, "t");
    EXPECT_EQ(named.series.at(0).name, "W");
    // Wide text is said to be what it is.
    EXPECT_NE(ReadSeriesCsv(std::string("\xFF\xFE" "0\0,\0" "1\0", 8)).error.find("UTF-16"), std::string::npos);
    EXPECT_NE(ReadSeriesCsv(std::string("0\0,\0" "1\0\n\0", 8)).error.find("zero bytes"), std::string::npos);
    // A first row that holds a number is data: a bad cell there is said, not taken as a name.
    EXPECT_EQ(ReadSeriesCsv("0,volts\n1,2\n").error, "line 1: cell 2 is not a finite number");
}

}  // namespace
