#include "SeriesCsvRead.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <optional>

#include <cmath>

#include "TextEncoding.h"

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

// At least as many as the cells SplitCells makes of the line (quotes aside): a bound that
// costs no allocation.
std::size_t CellBound(std::string_view line, char separator) {
    if (separator != ' ')
        return static_cast<std::size_t>(std::count(line.begin(), line.end(), separator)) + 1;
    std::size_t n = 0;
    bool blank = true;
    for (const char c : line) {
        const bool b = c == ' ' || c == '\t';
        n += blank && !b;
        blank = b;
    }
    return n;
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

CsvReadResult ReadSeriesCsv(std::string_view text, std::size_t maxRows, std::size_t maxColumns) {
    CsvReadResult out;
    if (std::string problem = TextEncodingProblem(text); !problem.empty()) {
        out.error = std::move(problem);
        return out;
    }
    LineCursor cursor(WithoutUtf8Bom(text));
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
    // Counted before a line is split, so a line of millions of cells allocates none of them.
    const auto tooWide = [&](const Line& line) {
        if (CellBound(line.text, separator) <= maxColumns)
            return false;
        out.series.clear();
        out.error = LineError(line.number, "more than " + std::to_string(maxColumns) + " columns");
        return true;
    };
    if (tooWide(*first))
        return out;
    std::vector<std::string> header = SplitCells(first->text, separator);
    bool named = false, numbered = false;
    for (const std::string& cell : header) {
        named = named || (!Trimmed(cell).empty() && !CellNumber(cell));
        numbered = numbered || CellNumber(cell).has_value();
    }
    const bool hasHeader = named && !numbered;
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
            if (tooWide(*line))
                return out;
            const std::vector<std::string> cells = SplitCells(line->text, separator);
            const std::optional<double> x = cells.size() >= 3 ? CellNumber(cells[1]) : std::nullopt;
            const std::optional<double> y = cells.size() >= 3 ? CellNumber(cells[2]) : std::nullopt;
            if (!x || !y) {
                out.error = LineError(line->number, "expected a name and two numbers");
                out.series.clear();
                return out;
            }
            auto [it, added] = index.try_emplace(cells[0], out.series.size());
            if (added && out.series.size() >= maxColumns) {
                out.series.clear();
                out.error = LineError(line->number, "more than " + std::to_string(maxColumns) + " series");
                return out;
            }
            if (added) {
                Series fresh;
                fresh.name = cells[0];
                fresh.unit = value.unit;
                SetSeriesLook(fresh, out.series.size());
                out.series.push_back(std::move(fresh));
            }
            out.series[it->second].points.push_back({*x, *y});
        }
        // Names without a row are no data, as in the wide form.
        if (out.series.empty())
            out.error = "no data";
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
        SetSeriesLook(s, c - 1);
        out.series.push_back(std::move(s));
    }
    if (hasHeader)
        out.x = SplitTitle(Trimmed(header[0]));
    std::optional<Line> line = hasHeader ? cursor.Next() : first;
    for (; line; line = cursor.Next()) {
        if (++rows > maxRows)
            return tooMany();
        if (CellBound(line->text, separator) > columns + 1) {
            out.error = LineError(line->number, "more cells than the first line has");
            out.series.clear();
            return out;
        }
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

}  // namespace plot
