#pragma once
// Series read from a table of numbers (no Qt: the fuzzers build it alone).
//
// Read form (ReadSeriesCsv): columns separated by ',', ';', tab or blanks; '#' starts a
// comment line; a first line none of whose cells is a number is the header (names and units are
// taken from it), so no row of data is ever taken for names; the first column is x, every
// further column one series. Empty cells are skipped. A header whose first cell is "series"
// marks the long form, which reads back series by name. A UTF-8 byte-order mark is dropped;
// UTF-16 and UTF-32 text is refused with that said.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "PlotModel.h"

namespace plot {

struct AxisName {
    std::string name;  // "t"
    std::string unit;  // "us"
    // "t (us)", or just the name without a unit.
    std::string Title() const;
};

struct CsvReadResult {
    std::vector<Series> series;  // one per y column, named from the header (else "column 2", ...)
    AxisName x;                  // from the header's first cell
    std::string error;           // empty on success; else what and on which line
    bool ok() const { return error.empty(); }
};
// Reads at most maxRows data rows and maxColumns columns (or, in the long form, series): a
// larger table is refused before anything of it is allocated.
inline constexpr std::size_t kMaxCsvColumns = 1000;
CsvReadResult ReadSeriesCsv(std::string_view text, std::size_t maxRows = 50'000'000,
                            std::size_t maxColumns = kMaxCsvColumns);

// Splits "W (mm)" into name "W" and unit "mm" (no unit when there are no trailing parentheses).
AxisName SplitTitle(std::string_view title);

// Splits "W (mm)" into name "W" and unit "mm" (no unit when there are no trailing parentheses).
AxisName SplitTitle(std::string_view title);

}  // namespace plot
