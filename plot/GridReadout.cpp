#include "GridReadout.h"

#include <algorithm>
#include <cmath>

namespace plot {

std::optional<GridCell> GridCellAt(const Grid& grid, Point p) {
    const Range& e = grid.extent;
    if (grid.nx <= 0 || grid.ny <= 0 || grid.values.size() < std::size_t(grid.nx) * std::size_t(grid.ny) ||
        !(e.Width() > 0) || !(e.Height() > 0) || !e.Contains(p))
        return std::nullopt;
    GridCell c;
    c.ix = std::clamp(int(std::floor((p.x - e.xMin) / e.Width() * grid.nx)), 0, grid.nx - 1);
    if (grid.columnX.size() == std::size_t(grid.nx)) {
        // Uneven columns: the one whose edges hold p.
        c.ix = 0;
        while (c.ix + 1 < grid.nx && p.x >= grid.ColumnEdges(c.ix).second)
            ++c.ix;
    }
    c.iy = std::clamp(int(std::floor((p.y - e.yMin) / e.Height() * grid.ny)), 0, grid.ny - 1);
    c.value = grid.At(c.ix, c.iy);
    return c;
}

QString GridReadoutText(const PlotContent& content, Point p) {
    if (!content.grid)
        return {};
    const std::optional<GridCell> cell = GridCellAt(*content.grid, p);
    if (!cell)
        return {};
    const auto withUnit = [](const std::string& unit) {
        return unit.empty() ? QString() : QStringLiteral(" ") + QString::fromStdString(unit);
    };
    const Grid& grid = *content.grid;
    const double xScale = ReadoutScale(grid.extent.xMin, grid.extent.xMax);
    const double yScale = ReadoutScale(grid.extent.yMin, grid.extent.yMax);
    const auto values = grid.ValueRange();
    const double valueScale = values ? ReadoutScale(values->first, values->second) : 0.0;
    // The column by its name where it has one (the receiver under the pointer), else the pointer's x.
    const QString column = std::size_t(cell->ix) < grid.columnNames.size()
                               ? QString::fromStdString(grid.columnNames[std::size_t(cell->ix)])
                               : QStringLiteral("%1 = %2%3").arg(QString::fromStdString(content.x.name),
                                                                 ReadoutNumber(p.x, xScale), withUnit(content.x.unit));
    QString text = QStringLiteral("%1, %2 = %3%4, %5 = ")
                       .arg(column, QString::fromStdString(content.y.name), ReadoutNumber(p.y, yScale),
                            withUnit(content.y.unit), QString::fromStdString(grid.name));
    if (!std::isfinite(cell->value))
        return text + QStringLiteral("no value");
    return text + ReadoutNumber(cell->value, valueScale) + withUnit(content.grid->unit);
}

}  // namespace plot
