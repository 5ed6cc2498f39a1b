#pragma once
// The read-out of a colour grid: which cell a data point falls in and its value, and the text
// a status line shows for it ("x = 2.5 mm, t = 1.23 us, W = -3.2e-06 mm").

#include <QString>

#include <optional>

#include "PlotPainter.h"

namespace plot {

struct GridCell {
    int ix = 0;
    int iy = 0;
    double value = 0;  // may be non-finite: a cell without data
};

// The cell under p; none outside the grid's extent (or for an empty grid).
std::optional<GridCell> GridCellAt(const Grid& grid, Point p);

// "<x> = .., <y> = .., <grid name> = .. <unit>", or "... no value" over an empty cell; empty when
// the content has no grid or p is outside it.
QString GridReadoutText(const PlotContent& content, Point p);

}  // namespace plot
