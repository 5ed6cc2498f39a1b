#include "CurveSources.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "OstrelDoc.h"
#include "ResultFiles.h"
#include "SeriesCsv.h"

namespace {

// The shortest text that reads back as the same float: 10 -> "10", 2.5 -> "2.5".
std::string ShortFloat(float value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::optional<std::string> ReadBytes(const std::string& path, std::size_t maxBytes, std::string& error) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        error = "Cannot open the file " + path + " for reading!";
        return std::nullopt;
    }
    if (size > maxBytes) {
        error = "The file " + path + " is too large to be shown as a curve.";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    if (!in || !(bytes << in.rdbuf())) {
        if (size == 0) {
            error = "The file " + path + " holds no curve.";
            return std::nullopt;
        }
        error = "Cannot open the file " + path + " for reading!";
        return std::nullopt;
    }
    return bytes.str();
}

// The first line is two integers: the result format's head.
bool StartsWithResultHead(std::string_view text) {
    const std::string_view line = text.substr(0, text.find('\n'));
    std::istringstream in{std::string(line)};
    long long a = 0, b = 0;
    std::string rest;
    return (in >> a >> b) && !(in >> rest);
}

}  // namespace

std::string ComponentLetter(int component) {
    static const char* const kLetters[] = {"U", "V", "W"};
    return component >= 1 && component <= 3 ? kLetters[component - 1] : "";
}

std::string LoadTypeName(int loadType) {
    static const char* const kNames[] = {"H(t)", "Deta(t)", "Exp(iwt)", "Any f(t)", "Sin(wt)"};
    return loadType >= 1 && loadType <= 5 ? kNames[loadType - 1] : "";
}

std::string CurveDescription(const COstrelDoc& doc) {
    if (doc.m_bCurveLoaded != 1)
        return {};
    const std::string letter = ComponentLetter(doc.m_nLabelComp);
    std::string text = (letter.empty() ? std::string("Displacement") : letter) + " (" + kDisplacementUnit + ")";
    if (doc.m_nCurveFamily != 1 && doc.m_nCurveFamily != 2)
        return text;
    const bool composite = doc.m_nCurveFamily == 1;
    if (doc.m_bCurveExisting)
        return text + (composite ? ", kept composite result" : ", kept FGM result");
    const float x = composite ? doc.m_fReceiverX : doc.m_fFGMReceiverX;
    const std::string load = LoadTypeName(composite ? doc.m_nLoadType : doc.m_nFGMLoadType);
    text += " at x = " + ShortFloat(x) + " " + kDisplacementUnit;
    if (!load.empty())
        text += ", " + load + " load";
    return text;
}

std::string MainCurveName(const COstrelDoc& doc) {
    std::string name = ComponentLetter(doc.m_nLabelComp);
    if (name.empty())
        name = "curve";
    if (doc.m_nCurveFamily == 1)
        name += " composite";
    else if (doc.m_nCurveFamily == 2)
        name += " FGM";
    if (doc.m_nCurveFamily != 0 && doc.m_bCurveExisting)
        name += " (kept)";
    return name;
}

plot::Series MainSeries(const COstrelDoc& doc, plot::Rgb colour) {
    plot::Series s;
    s.name = MainCurveName(doc);
    s.unit = kDisplacementUnit;
    s.colour = colour;
    const std::size_t n = std::min(std::size_t(std::max(doc.m_nPoints, 0)), doc.m_curve.size());
    s.points.reserve(n);
    // The file's own values where the document has them and they are the curve's.
    bool exact = doc.m_curveTimes.size() == n && doc.m_curveValues.size() == n;
    for (std::size_t i = 0; exact && i < n; ++i)
        exact = float(doc.m_curveTimes[i]) == doc.m_curve[i].m_fX && float(doc.m_curveValues[i]) == doc.m_curve[i].m_fY;
    s.singlePrecision = !exact;
    for (std::size_t i = 0; i < n; ++i)
        s.points.push_back(exact ? plot::Point{doc.m_curveTimes[i], doc.m_curveValues[i]}
                                 : plot::Point{double(doc.m_curve[i].m_fX), double(doc.m_curve[i].m_fY)});
    return s;
}

LoadedCurves LoadCurveFile(const std::string& path, std::size_t maxBytes) {
    LoadedCurves out;
    const std::optional<std::string> bytes = ReadBytes(path, maxBytes, out.error);
    if (!bytes)
        return out;
    const std::string fileName = std::filesystem::path(path).filename().string();

    if (StartsWithResultHead(*bytes)) {
        const CResultText parsed = ParseResultText(*bytes);
        if (parsed.head == CResultText::Head::Ok && !parsed.points.empty()) {
            plot::Series s;
            s.name = fileName;
            s.unit = kDisplacementUnit;
            for (const CResultText::Exact& p : parsed.exact)
                s.points.push_back({p.x, p.y});
            if (parsed.points.size() < std::size_t(parsed.announced))
                out.warning = "Only " + std::to_string(parsed.points.size()) + " of the " +
                              std::to_string(parsed.announced) + " points announced in " + fileName +
                              " could be read.";
            out.series.push_back(std::move(s));
            return out;
        }
    }
    plot::CsvReadResult csv = plot::ReadSeriesCsv(*bytes, 10'000'000);
    if (!csv.ok()) {
        out.error = "The file " + fileName + " is neither a result file nor a table of numbers (" + csv.error + ").";
        return out;
    }
    // The view keeps its ranges in 32-bit floats: larger values cannot be placed on screen.
    for (const plot::Series& s : csv.series)
        for (const plot::Point& p : s.points)
            if (std::abs(p.x) > FLT_MAX || std::abs(p.y) > FLT_MAX) {
                out.error = "The file " + fileName + " holds values too large to be shown as a curve.";
                return out;
            }
    const bool several = csv.series.size() > 1;
    for (plot::Series& s : csv.series) {
        if (s.points.empty())
            continue;
        s.name = several ? fileName + ": " + s.name : fileName;
        out.series.push_back(std::move(s));
    }
    return out;
}

plot::Rgb OverlayColour(std::size_t k) { return plot::SeriesColour(k + 1); }
