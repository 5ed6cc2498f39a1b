#pragma once
// Series as CSV text and back, and the atomic file write every export uses.
//
// Written form (RFC 4180 quoting, '\n' line ends, '.' decimal point whatever the locale):
//   header: "<x name> (<x unit>)" then per series "<name> (<unit>)"; a unit that is empty is
//           left out with its parentheses;
//   rows:   one per distinct x value, ascending, over all series; a series without a point at
//           that x leaves its cell empty. Every number is the shortest text that reads back to
//           exactly the same value (of a float for single-precision series), so nothing is lost;
//           the x of a single-precision series counts as the number that text names, so a
//           float time 60.3f and a double 60.3 share one row "60.3".
// Series whose points are not sorted by x (a dispersion branch turning back) keep their own
// order in the "long" form instead: the columns "series", x, y with one row per point, series
// after series. CsvLayout::Auto picks Wide when every series is sorted, else Long.
//
// Read form: SeriesCsvRead.h.

#include <QString>

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "PlotModel.h"
#include "SeriesCsvRead.h"

namespace plot {

enum class CsvLayout { Auto, Wide, Long };

// The shortest round-trip text of a number ("0.1", "-2.5e-05", "inf" never: non-finite
// values are written as empty cells).
std::string NumberText(double value, bool singlePrecision = false);
// A CSV cell, quoted when it holds a comma, quote, or line break.
std::string CsvCell(std::string_view text);

std::string SeriesCsvText(std::span<const Series> series, const AxisName& x, CsvLayout layout = CsvLayout::Auto);

// Replaces the file at path with bytes, atomically (a temporary file in the same directory,
// renamed into place once complete). False with a readable reason when anything fails; an old
// file then stays as it was and nothing is left behind.
bool SaveFileAtomically(const QString& path, const QByteArray& bytes, QString* error);

}  // namespace plot
