#include "SeriesCsv.h"

#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

namespace plot {

std::string AxisName::Title() const { return unit.empty() ? name : name + " (" + unit + ")"; }

AxisName SplitTitle(std::string_view title) {
    while (!title.empty() && title.back() == ' ')
        title.remove_suffix(1);
    if (!title.empty() && title.back() == ')') {
        const std::size_t open = title.rfind(" (");
        if (open != std::string_view::npos)
            return {std::string(title.substr(0, open)),
                    std::string(title.substr(open + 2, title.size() - open - 3))};
    }
    return {std::string(title), {}};
}

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

std::string WideText(std::span<const Series> series, const AxisName& x) {
    // A row per (x, n-th repeat of x in a series): repeated times in one series stay apart.
    struct Key {
        double x;
        int repeat;
        bool operator<(const Key& o) const { return x != o.x ? x < o.x : repeat < o.repeat; }
    };
    std::map<Key, std::vector<const Point*>> rows;
    bool xSingle = !series.empty();
    for (std::size_t s = 0; s < series.size(); ++s) {
        xSingle = xSingle && series[s].singlePrecision;
        std::map<double, int> seen;
        for (const Point& p : series[s].points) {
            if (!std::isfinite(p.x))
                continue;
            auto& cells = rows[Key{p.x, seen[p.x]++}];
            cells.resize(series.size(), nullptr);
            cells[s] = &p;
        }
    }
    std::string text = Header(series, x);
    for (const auto& [key, cells] : rows) {
        text += NumberText(key.x, xSingle);
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

// ---- Reading -------------------------------------------------------------------------------

namespace {

struct Line {
    std::string_view text;
    std::size_t number;  // 1-based
};

// Cells of one line. Quoted cells (with "" for a quote) are honoured for ',' and ';' files.
std::vector<std::string> SplitCells(std::string_view line, char separator) {
    std::vector<std::string> cells;
    if (separator == ' ') {
        std::size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
                ++i;
            if (i == line.size())
                break;
            const std::size_t start = i;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t')
                ++i;
            cells.emplace_back(line.substr(start, i - start));
        }
        return cells;
    }
    std::string cell;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == separator) {
            cells.push_back(std::move(cell));
            cell.clear();
        } else {
            cell += c;
        }
    }
    cells.push_back(std::move(cell));
    return cells;
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// A whole cell as a finite number; none for anything else (also "1,5" or "3x").
std::optional<double> CellNumber(std::string_view cell) {
    cell = Trimmed(cell);
    if (!cell.empty() && cell.front() == '+')
        cell.remove_prefix(1);
    double value = 0;
    const auto result = std::from_chars(cell.data(), cell.data() + cell.size(), value);
    if (cell.empty() || result.ec != std::errc() || result.ptr != cell.data() + cell.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The separator that occurs most often outside quotes in the first line (',' on a tie; blanks
// when there is none of tab, ';' and ',').
char GuessSeparator(std::string_view line) {
    int counts[3] = {0, 0, 0};
    static constexpr char kCandidates[3] = {',', ';', '\t'};
    bool quoted = false;
    for (const char c : line) {
        if (c == '"')
            quoted = !quoted;
        for (int i = 0; i < 3 && !quoted; ++i)
            counts[i] += c == kCandidates[i];
    }
    int best = 0;
    for (int i = 1; i < 3; ++i)
        if (counts[i] > counts[best])
            best = i;
    return counts[best] > 0 ? kCandidates[best] : ' ';
}

std::string LineError(std::size_t number, const std::string& what) {
    return "line " + std::to_string(number) + ": " + what;
}

// The non-empty, non-comment lines of a text one after the other, trimmed, with their numbers.
class LineCursor {
public:
    explicit LineCursor(std::string_view text) : m_text(text) {}
    std::optional<Line> Next() {
        while (m_start <= m_text.size()) {
            std::size_t end = m_text.find('\n', m_start);
            if (end == std::string_view::npos)
                end = m_text.size();
            ++m_number;
            const std::string_view line = Trimmed(m_text.substr(m_start, end - m_start));
            m_start = end + 1;
            if (!line.empty() && line.front() != '#')
                return Line{line, m_number};
        }
        return std::nullopt;
    }

private:
    std::string_view m_text;
    std::size_t m_start = 0;
    std::size_t m_number = 0;
};

}  // namespace

CsvReadResult ReadSeriesCsv(std::string_view text, std::size_t maxRows) {
    CsvReadResult out;
    LineCursor cursor(text);
    const std::optional<Line> first = cursor.Next();
    if (!first) {
        out.error = "no data";
        return out;
    }
    const auto tooMany = [&] {
        out.series.clear();
        out.error = "more than " + std::to_string(maxRows) + " rows";
        return out;
    };
    const char separator = GuessSeparator(first->text);
    std::vector<std::string> header = SplitCells(first->text, separator);
    bool hasHeader = false;
    for (const std::string& cell : header)
        hasHeader = hasHeader || (!Trimmed(cell).empty() && !CellNumber(cell));
    const bool longForm = hasHeader && !header.empty() && Trimmed(header[0]) == "series";
    std::size_t rows = 0;

    if (longForm) {
        if (header.size() < 3) {
            out.error = LineError(first->number, "expected the columns series, x, value");
            return out;
        }
        out.x = SplitTitle(Trimmed(header[1]));
        const AxisName value = SplitTitle(Trimmed(header[2]));
        std::map<std::string, std::size_t> index;
        while (const std::optional<Line> line = cursor.Next()) {
            if (++rows > maxRows)
                return tooMany();
            const std::vector<std::string> cells = SplitCells(line->text, separator);
            const std::optional<double> x = cells.size() >= 3 ? CellNumber(cells[1]) : std::nullopt;
            const std::optional<double> y = cells.size() >= 3 ? CellNumber(cells[2]) : std::nullopt;
            if (!x || !y) {
                out.error = LineError(line->number, "expected a name and two numbers");
                out.series.clear();
                return out;
            }
            auto [it, added] = index.try_emplace(cells[0], out.series.size());
            if (added) {
                Series fresh;
                fresh.name = cells[0];
                fresh.unit = value.unit;
                fresh.colour = SeriesColour(out.series.size());
                out.series.push_back(std::move(fresh));
            }
            out.series[it->second].points.push_back({*x, *y});
        }
        return out;
    }

    const std::size_t columns = header.size();
    if (columns < 2) {
        out.error = LineError(first->number, "expected at least two columns");
        return out;
    }
    for (std::size_t c = 1; c < columns; ++c) {
        Series s;
        if (hasHeader) {
            const AxisName title = SplitTitle(Trimmed(header[c]));
            s.name = title.name;
            s.unit = title.unit;
        }
        if (s.name.empty())
            s.name = "column " + std::to_string(c + 1);
        s.colour = SeriesColour(c - 1);
        out.series.push_back(std::move(s));
    }
    if (hasHeader)
        out.x = SplitTitle(Trimmed(header[0]));
    std::optional<Line> line = hasHeader ? cursor.Next() : first;
    for (; line; line = cursor.Next()) {
        if (++rows > maxRows)
            return tooMany();
        const std::vector<std::string> cells = SplitCells(line->text, separator);
        if (cells.size() > columns) {
            out.error = LineError(line->number, "more cells than the first line has");
            out.series.clear();
            return out;
        }
        const std::optional<double> x = CellNumber(cells[0]);
        if (!x) {
            out.error = LineError(line->number, "the first cell is not a finite number");
            out.series.clear();
            return out;
        }
        for (std::size_t c = 1; c < cells.size(); ++c) {
            if (Trimmed(cells[c]).empty())
                continue;
            const std::optional<double> y = CellNumber(cells[c]);
            if (!y) {
                out.error = LineError(line->number, "cell " + std::to_string(c + 1) + " is not a finite number");
                out.series.clear();
                return out;
            }
            out.series[c - 1].points.push_back({*x, *y});
        }
    }
    if (std::all_of(out.series.begin(), out.series.end(), [](const Series& s) { return s.points.empty(); })) {
        out.series.clear();
        out.error = "no data";
    }
    return out;
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
