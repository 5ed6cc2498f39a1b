#include "SeriesCsv.h"

#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

namespace plot {

std::string NumberText(double value, bool singlePrecision) {
    if (!std::isfinite(value))
        return {};
    char buffer[64];
    const auto result = singlePrecision ? std::to_chars(buffer, buffer + sizeof buffer, float(value))
                                        : std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string CsvCell(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

namespace {

bool SortedByX(const Series& s) {
    double last = -INFINITY;
    for (const Point& p : s.points) {
        if (!std::isfinite(p.x))
            continue;
        if (p.x < last)
            return false;
        last = p.x;
    }
    return true;
}

std::string Header(std::span<const Series> series, const AxisName& x) {
    std::string line = CsvCell(x.Title());
    for (const Series& s : series)
        line += ',' + CsvCell(AxisName{s.name, s.unit}.Title());
    return line + '\n';
}

// The time a point stands at: a 32-bit value as the number its shortest text names (60.3f is
// 60.3), so that a float curve and a double one share their rows.
double RowKey(double x, bool singlePrecision) {
    if (!singlePrecision)
        return x;
    const std::string text = NumberText(x, true);
    double key = x;
    std::from_chars(text.data(), text.data() + text.size(), key);
    return key;
}

std::string WideText(std::span<const Series> series, const AxisName& x) {
    // A row per (x, n-th repeat of x in a series): repeated times in one series stay apart.
    struct Key {
        double x;
        int repeat;
        bool operator<(const Key& o) const { return x != o.x ? x < o.x : repeat < o.repeat; }
    };
    std::map<Key, std::vector<const Point*>> rows;
    for (std::size_t s = 0; s < series.size(); ++s) {
        std::map<double, int> seen;
        for (const Point& p : series[s].points) {
            if (!std::isfinite(p.x))
                continue;
            const double key = RowKey(p.x, series[s].singlePrecision);
            auto& cells = rows[Key{key, seen[key]++}];
            cells.resize(series.size(), nullptr);
            cells[s] = &p;
        }
    }
    std::string text = Header(series, x);
    for (const auto& [key, cells] : rows) {
        text += NumberText(key.x);
        for (std::size_t s = 0; s < series.size(); ++s) {
            text += ',';
            if (cells[s])
                text += NumberText(cells[s]->y, series[s].singlePrecision);
        }
        text += '\n';
    }
    return text;
}

std::string LongText(std::span<const Series> series, const AxisName& x) {
    std::string unit;  // the long form has one value column: its unit when all series agree
    for (std::size_t s = 0; s < series.size(); ++s)
        unit = s == 0 || series[s].unit == unit ? series[s].unit : std::string();
    std::string text = "series," + CsvCell(x.Title()) + ',' + CsvCell(AxisName{"value", unit}.Title()) + '\n';
    for (const Series& s : series) {
        const std::string name = CsvCell(s.name);
        for (const Point& p : s.points) {
            if (!std::isfinite(p.x))
                continue;
            text += name + ',' + NumberText(p.x, s.singlePrecision) + ',' + NumberText(p.y, s.singlePrecision) + '\n';
        }
    }
    return text;
}

}  // namespace

std::string SeriesCsvText(std::span<const Series> series, const AxisName& x, CsvLayout layout) {
    if (layout == CsvLayout::Auto)
        layout = std::all_of(series.begin(), series.end(), SortedByX) ? CsvLayout::Wide : CsvLayout::Long;
    return layout == CsvLayout::Wide ? WideText(series, x) : LongText(series, x);
}

bool SaveFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile file(path);
    const auto fail = [&](const QString& what) {
        if (error)
            *error = QFileInfo(path).fileName() + ": " + what;
        file.cancelWriting();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    if (file.write(bytes) != bytes.size())
        return fail(file.errorString());
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

}  // namespace plot
