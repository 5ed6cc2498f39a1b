// The CSV series reader ("Add curve...") against any bytes: refused with a reason, or series
// within the row and column bounds, each of finite points; a first row holding a number is
// never taken for names, with or without a byte-order mark.

#include <cmath>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "SeriesCsvRead.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    constexpr std::size_t kRows = 200, kColumns = 16;
    const plot::CsvReadResult r = plot::ReadSeriesCsv(text, kRows, kColumns);
    if (!r.ok()) {
        FUZZ_CHECK(r.series.empty(), "series kept beside an error");
        return 0;
    }
    FUZZ_CHECK(!r.series.empty() && r.series.size() <= kColumns, "series count " + std::to_string(r.series.size()));
    std::size_t points = 0;
    for (const plot::Series& s : r.series)
        for (const plot::Point& p : s.points) {
            FUZZ_CHECK(std::isfinite(p.x) && std::isfinite(p.y), "a non-finite point");
            ++points;
        }
    FUZZ_CHECK(points <= kRows * kColumns, "more points than cells");
    // The same table behind a UTF-8 mark reads the same (one mark: a second is text).
    if (text.rfind("\xEF\xBB\xBF", 0) == 0)
        return 0;
    const plot::CsvReadResult marked = plot::ReadSeriesCsv("\xEF\xBB\xBF" + text, kRows, kColumns);
    FUZZ_CHECK(marked.ok() && marked.series.size() == r.series.size(), "a byte-order mark changed the table");
    for (std::size_t i = 0; i < r.series.size(); ++i)
        FUZZ_CHECK(marked.series[i].points.size() == r.series[i].points.size() && marked.series[i].name == r.series[i].name,
                   "a byte-order mark changed series " + std::to_string(i));
    return 0;
}
