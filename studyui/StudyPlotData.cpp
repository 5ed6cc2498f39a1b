#include "StudyPlotData.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>

#include "StudyFile.h"

namespace {

const std::vector<CCurvePoint>* FirstCurve(const StudyResults& r, int caseIndex) {
    for (const auto& c : r.curves[static_cast<std::size_t>(caseIndex)])
        if (!c.empty())
            return &c;
    return nullptr;
}

std::vector<plot::Point> Points(const std::vector<CCurvePoint>& curve) {
    std::vector<plot::Point> out;
    out.reserve(curve.size());
    for (const CCurvePoint& p : curve)
        out.push_back({p.m_fX, p.m_fY});
    return out;
}

}  // namespace

std::vector<std::vector<std::size_t>> ReceiverRows(const StudyManifest& m) {
    std::vector<std::vector<std::size_t>> rows;
    std::vector<double> ys;
    for (std::size_t i = 0; i < m.receivers.size(); ++i) {
        const double y = m.pointSource ? m.receiversY[i] : 0.0;
        const auto at = std::find(ys.begin(), ys.end(), y);
        if (at == ys.end()) {
            ys.push_back(y);
            rows.push_back({i});
        } else {
            rows[static_cast<std::size_t>(at - ys.begin())].push_back(i);
        }
    }
    return rows;
}

bool ShowsAsBScan(const StudyManifest& m) {
    if (!m.receiverSweep)
        return false;
    for (const auto& row : ReceiverRows(m))
        if (row.size() > 1)
            return true;
    return false;
}

std::string ComponentName(const StudyManifest& m) {
    return m.component == 2 ? "V" : m.component == 3 ? "W" : "U";
}

std::string CaseLabel(const StudyManifest& m, int caseIndex) {
    if (m.columns.empty())
        return "case " + std::to_string(caseIndex + 1);
    std::string s;
    for (std::size_t i = 0; i < m.columns.size(); ++i)
        s += (i ? ", " : "") + ColumnValueText(m.columns[i], m.cases[static_cast<std::size_t>(caseIndex)].values[i]);
    return s;
}

plot::PlotContent BScanContent(const StudyManifest& m, const StudyResults& r, int caseIndex, int row) {
    plot::PlotContent content;
    content.x = {"x", "mm"};
    content.y = {"t", "us"};
    const auto rows = ReceiverRows(m);
    std::vector<std::size_t> order = rows[static_cast<std::size_t>(std::clamp(row, 0, static_cast<int>(rows.size()) - 1))];
    content.title = "B-scan of " + ComponentName(m) + (m.cases.size() > 1 ? ", " + CaseLabel(m, caseIndex) : "") +
                    (m.pointSource ? ", y = " + ShortNumber(m.receiversY[order.front()]) + " mm" : "");
    const std::vector<CCurvePoint>* first = FirstCurve(r, caseIndex);
    if (!first || first->size() < 2 || order.size() < 2)
        return content;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return m.receivers[a] < m.receivers[b]; });
    plot::Grid grid;
    grid.name = ComponentName(m);
    grid.unit = "mm";
    grid.nx = static_cast<int>(order.size());
    grid.ny = static_cast<int>(first->size());
    const double x0 = m.receivers[order.front()], x1 = m.receivers[order.back()];
    const double dx = x1 > x0 ? (x1 - x0) / (grid.nx - 1) : 1.0;
    // Each column where its receiver is (a list need not be evenly spaced), named for read-outs.
    bool even = true;
    for (int ix = 0; ix < grid.nx; ++ix) {
        const double x = m.receivers[order[static_cast<std::size_t>(ix)]];
        grid.columnX.push_back(x);
        grid.columnNames.push_back("receiver " + std::to_string(order[static_cast<std::size_t>(ix)] + 1) + " at " +
                                   ReceiverName(m, static_cast<int>(order[static_cast<std::size_t>(ix)])));
        even = even && std::abs(x - (x0 + ix * dx)) <= 1e-9 * std::max(1.0, std::abs(x1 - x0));
    }
    if (even)
        grid.columnX.clear();
    const double t0 = first->front().m_fX, t1 = first->back().m_fX;
    const double dt = t1 > t0 ? (t1 - t0) / (grid.ny - 1) : 1.0;
    grid.extent = {x0 - dx / 2, x1 + dx / 2, t0 - dt / 2, t1 + dt / 2};
    if (!grid.columnX.empty()) {
        grid.extent.xMin = grid.ColumnEdges(0).first;
        grid.extent.xMax = grid.ColumnEdges(grid.nx - 1).second;
    }
    grid.values.assign(static_cast<std::size_t>(grid.nx) * static_cast<std::size_t>(grid.ny),
                       std::numeric_limits<double>::quiet_NaN());
    for (int ix = 0; ix < grid.nx; ++ix) {
        const auto& curve = r.curves[static_cast<std::size_t>(caseIndex)][order[static_cast<std::size_t>(ix)]];
        for (int iy = 0; iy < grid.ny && iy < static_cast<int>(curve.size()); ++iy)
            grid.values[static_cast<std::size_t>(iy) * grid.nx + ix] = curve[static_cast<std::size_t>(iy)].m_fY;
    }
    content.grid = std::move(grid);
    return content;
}

plot::PlotContent FamilyContent(const StudyManifest& m, const StudyResults& r, int receiverIndex) {
    plot::PlotContent content;
    content.x = {"t", "us"};
    content.y = {ComponentName(m), "mm"};
    content.title = ComponentName(m) + " at " + ReceiverName(m, receiverIndex);
    for (std::size_t c = 0; c < r.curves.size(); ++c) {
        const auto& curve = r.curves[c][static_cast<std::size_t>(receiverIndex)];
        if (curve.empty())
            continue;
        plot::Series s;
        s.name = CaseLabel(m, static_cast<int>(c));
        s.unit = "mm";
        plot::SetSeriesLook(s, c);
        s.singlePrecision = true;
        s.points = Points(curve);
        content.series.push_back(std::move(s));
    }
    return content;
}

std::string ContentCsv(const plot::PlotContent& content, const StudyManifest& m, const StudyResults& r,
                       int caseIndex, bool bscan, int row) {
    if (!bscan)
        return plot::SeriesCsvText(content.series, content.x, plot::CsvLayout::Wide);
    // A B-scan as columns of curves: one per receiving point of the row, the time down the rows.
    const auto rows = ReceiverRows(m);
    std::vector<plot::Series> columns;
    for (std::size_t x : rows[static_cast<std::size_t>(std::clamp(row, 0, static_cast<int>(rows.size()) - 1))]) {
        const auto& curve = r.curves[static_cast<std::size_t>(caseIndex)][x];
        plot::Series s;
        s.name = ComponentName(m) + " at " +
                 (m.pointSource ? ReceiverName(m, static_cast<int>(x)) : "x = " + ShortNumber(m.receivers[x]));
        s.unit = "mm";
        s.singlePrecision = true;
        s.points = Points(curve);
        columns.push_back(std::move(s));
    }
    return plot::SeriesCsvText(columns, plot::AxisName{"t", "us"}, plot::CsvLayout::Wide);
}
