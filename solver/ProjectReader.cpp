#include <charconv>
#include <cmath>
#include <optional>
#include <span>
#include <type_traits>
#include <variant>
#include <vector>

#include "ProjectFormat.h"
#include "ProjectKind.h"

// The project-file reader of both kinds: a line reader that remembers where it failed, fields
// read whole, and the layout of each kind's file over the blocks they share.

namespace {

constexpr int kMaxLayers = 200;  // the range the layer-number form accepts


bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

struct Token {
    std::string_view text;
    std::size_t offset;  // where it starts in its line
};

std::vector<Token> Tokens(std::string_view line) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !IsBlank(line[i]))
            ++i;
        if (i > start)
            tokens.push_back({line.substr(start, i - start), start});
    }
    return tokens;
}

std::string Quoted(std::string_view token) {
    constexpr std::size_t kShown = 40;
    std::string shown(token.substr(0, kShown));
    if (token.size() > kShown)
        shown += "...";
    return "\"" + shown + "\"";
}

// Whole-token numbers; a leading '+' is allowed as the C library allows it.
std::string_view WithoutPlus(std::string_view t) {
    if (t.size() > 1 && t[0] == '+' && t[1] != '-' && t[1] != '+')
        t.remove_prefix(1);
    return t;
}

bool ToInt(std::string_view t, int& value) {
    t = WithoutPlus(t);
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    return ec == std::errc() && end == t.data() + t.size();
}

template <class Real>
bool ToReal(std::string_view t, Real& value) {
    t = WithoutPlus(t);
    const auto [end, ec] =
        std::from_chars(t.data(), t.data() + t.size(), value, std::chars_format::general);
    return ec == std::errc() && end == t.data() + t.size() && std::isfinite(value);
}

class CLineReader {
public:
    explicit CLineReader(std::string_view text) {
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string_view::npos)
                end = text.size();
            std::string_view line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            m_lines.push_back(line);
            start = end + 1;
        }
    }

    // The next line, or nothing at the end of the file (the error then names what is missing).
    std::optional<std::string_view> Next(const char* what) {
        if (m_next >= m_lines.size()) {
            m_next = m_lines.size() + 1;
            Fail(std::string("the file ends before ") + what);
            return std::nullopt;
        }
        const std::string_view line = m_lines[m_next++];
        if (line.find('\0') != std::string_view::npos) {
            Fail("the line holds a NUL character");
            return std::nullopt;
        }
        return line;
    }

    bool OnlyBlankLinesLeft() {
        for (; m_next < m_lines.size(); ++m_next) {
            if (!Tokens(m_lines[m_next]).empty()) {
                ++m_next;
                return Fail("unexpected text after the end of the project");
            }
        }
        return true;
    }

    // Reports against the line read last.
    bool Fail(std::string reason) {
        if (m_error.reason.empty()) {
            m_error.line = static_cast<int>(m_next == 0 ? 1 : m_next);
            m_error.reason = std::move(reason);
        }
        return false;
    }

    const ProjectReadError& Error() const { return m_error; }

private:
    std::vector<std::string_view> m_lines;
    std::size_t m_next = 0;
    ProjectReadError m_error;
};

// One field of a line of numbers: which kind of number and where it goes.
struct Field {
    enum Kind { Int, Float, Double } kind;
    void* target;
};
Field IntField(int& v) { return {Field::Int, &v}; }
Field FloatField(float& v) { return {Field::Float, &v}; }
Field DoubleField(double& v) { return {Field::Double, &v}; }

bool ReadField(CLineReader& in, std::string_view token, const Field& f) {
    bool ok = false;
    switch (f.kind) {
    case Field::Int: ok = ToInt(token, *static_cast<int*>(f.target)); break;
    case Field::Float: ok = ToReal(token, *static_cast<float*>(f.target)); break;
    case Field::Double: ok = ToReal(token, *static_cast<double*>(f.target)); break;
    }
    if (!ok)
        return in.Fail(Quoted(token) + (f.kind == Field::Int ? " is not an integer"
                                                             : " is not a number"));
    return true;
}

// A line that holds exactly the given numbers.
bool ReadNumberLine(CLineReader& in, const char* what, std::span<const Field> fields) {
    const auto line = in.Next(what);
    if (!line)
        return false;
    const auto tokens = Tokens(*line);
    if (tokens.size() != fields.size())
        return in.Fail("expected " + std::to_string(fields.size()) +
                       (fields.size() == 1 ? " value" : " values") + " (" + what + "), found " +
                       std::to_string(tokens.size()));
    std::size_t i = 0;
    for (const Field& f : fields)
        if (!ReadField(in, tokens[i++].text, f))
            return false;
    return true;
}

bool ReadNumberLine(CLineReader& in, const char* what, std::initializer_list<Field> fields) {
    return ReadNumberLine(in, what, std::span<const Field>(fields.begin(), fields.size()));
}

// The last fields.size() tokens of a line are numbers; what stands before them is text
// (a name, or a label and a name) that may hold blanks. Returns that text with the
// separator the writer put after it (sepBlanks blanks) taken off.
std::optional<std::string_view> ReadTextThenNumbers(CLineReader& in, std::string_view line,
                                                    std::size_t sepBlanks,
                                                    std::initializer_list<Field> fields) {
    const auto tokens = Tokens(line);
    if (tokens.size() < fields.size()) {
        in.Fail("expected a name and " + std::to_string(fields.size()) + " values, found " +
                std::to_string(tokens.size()) + " fields");
        return std::nullopt;
    }
    const std::size_t first = tokens.size() - fields.size();
    std::size_t i = first;
    for (const Field& f : fields)
        if (!ReadField(in, tokens[i++].text, f))
            return std::nullopt;
    std::string_view text = line.substr(0, tokens[first].offset);
    const std::string_view sep = std::string_view("  ").substr(0, sepBlanks);
    if (text.size() >= sep.size() && text.substr(text.size() - sep.size()) == sep)
        text.remove_suffix(sep.size());
    else
        while (!text.empty() && IsBlank(text.back()))
            text.remove_suffix(1);
    return text;
}

bool ReadMaterials(CLineReader& in, int count, std::vector<CMaterial>& out) {
    for (int i = 0; i < count; ++i) {
        const std::string what = "material line " + std::to_string(i + 1);
        const auto line = in.Next(what.c_str());
        if (!line)
            return false;
        CMaterial m;
        const auto name = ReadTextThenNumbers(
            in, *line, 2,
            {IntField(m.m_nNo), DoubleField(m.m_dE1), DoubleField(m.m_dE2), DoubleField(m.m_dG12),
             DoubleField(m.m_dV12), DoubleField(m.m_dV23), FloatField(m.m_fAngle),
             DoubleField(m.m_dDensity)});
        if (!name)
            return false;
        m.m_strName = std::string(*name);
        out.push_back(std::move(m));
    }
    return true;
}

bool CheckCounts(CLineReader& in, int nLayers, int nMaterials) {
    if (nLayers < 1 || nLayers > kMaxLayers)
        return in.Fail("the number of layers " + std::to_string(nLayers) +
                       " is not between 1 and " + std::to_string(kMaxLayers));
    if (nMaterials < 0)
        return in.Fail("the number of materials is negative");
    return true;
}

// "Layer 2  carbon": the writer puts two blanks between label and material name. A file
// made by hand with one blank ("Layer 2 carbon") reads as word, number, name.
bool SplitLabelAndMaterial(CLineReader& in, std::string_view text, CLayer& layer) {
    const auto sep = text.find("  ");
    if (sep != std::string_view::npos) {
        layer.m_strLayer = std::string(text.substr(0, sep));
        layer.m_strMaterial = std::string(text.substr(sep + 2));
        return true;
    }
    const auto words = Tokens(text);
    int number = 0;
    if (words.size() >= 3 && ToInt(words[1].text, number)) {
        layer.m_strLayer = std::string(words[0].text) + " " + std::to_string(number);
        layer.m_strMaterial = std::string(text.substr(words[2].offset));
        return true;
    }
    return in.Fail("cannot tell the layer label from the material name");
}

bool ReadPlateAndRadius(CLineReader& in, std::string_view plateLine, int& bPlate,
                        bool& hasRadius, float& radius) {
    const auto tokens = Tokens(plateLine);
    if (!ReadField(in, tokens[0].text, IntField(bPlate)))
        return false;
    hasRadius = bPlate == 0;
    if (hasRadius && !ReadNumberLine(in, "the radius line", {FloatField(radius)}))
        return false;
    return in.OnlyBlankLinesLeft();
}

// The load block (LoadLines), each value read as the type of the member it goes to.
bool ReadLoadLines(CLineReader& in, ProjectData& d) {
    for (const CLoadLine& line : LoadLines()) {
        const std::size_t first = d.load.size();
        for (const CLoadValue& v : line.values)
            std::visit(
                [&](auto member) { d.load.emplace_back(typename LoadValueType<decltype(member)>::type{}); },
                v.member);
        std::vector<Field> fields;
        for (std::size_t i = first; i < d.load.size(); ++i)
            fields.push_back(std::visit(
                [](auto& value) {
                    using T = std::remove_reference_t<decltype(value)>;
                    if constexpr (std::is_same_v<T, int>)
                        return IntField(value);
                    else if constexpr (std::is_same_v<T, float>)
                        return FloatField(value);
                    else
                        return DoubleField(value);
                },
                d.load[i]));
        if (!ReadNumberLine(in, line.what, fields))
            return false;
    }
    return true;
}

// Title, counts (and the composite's constant), load lines and materials.
bool ReadHead(CLineReader& in, bool fgm, ProjectData& d) {
    const auto title = in.Next("the title line");
    if (!title)
        return false;
    d.title = std::string(*title);
    int nMaterials = 0;
    const bool counts =
        fgm ? ReadNumberLine(in, "layers, materials", {IntField(d.nLayers), IntField(nMaterials)})
            : ReadNumberLine(in, "layers, materials, constant",
                             {IntField(d.nLayers), IntField(nMaterials), DoubleField(d.dimConst)});
    return counts && CheckCounts(in, d.nLayers, nMaterials) && ReadLoadLines(in, d) &&
           ReadMaterials(in, nMaterials, d.materials);
}

bool ReadComLayer(CLineReader& in, std::string_view line, ProjectData& d) {
    CLayer layer;
    const auto text = ReadTextThenNumbers(
        in, line, 2, {IntField(layer.m_nMaterial), FloatField(layer.m_fThickness), IntField(layer.m_nSublayers)});
    if (!text || !SplitLabelAndMaterial(in, *text, layer))
        return false;
    d.layers.push_back(std::move(layer));
    return true;
}

bool ReadFGMLayer(CLineReader& in, std::string_view line, ProjectData& d) {
    CFGMLayer layer;
    const auto label = ReadTextThenNumbers(
        in, line, 1, {IntField(layer.m_nMaterial), FloatField(layer.m_fVolFraction), FloatField(layer.m_fThickness)});
    if (!label)
        return false;
    layer.m_strLayer = std::string(*label);
    d.fgmLayers.push_back(std::move(layer));
    return true;
}

// Layer lines run up to the first line with a single field: the composite's structure-model
// line, the FGM's last-layer volume fraction. Returns that line.
std::optional<std::string_view> ReadLayers(CLineReader& in, bool fgm, ProjectData& d) {
    const char* const end = fgm ? "the last-layer volume fraction line" : "the structure-model line";
    for (;;) {
        const auto line = in.Next(end);
        if (!line)
            return std::nullopt;
        const auto tokens = Tokens(*line);
        if (tokens.size() == 1)
            return line;
        if (tokens.size() < 3) {
            in.Fail(fgm ? "expected a layer line or the last-layer volume fraction"
                        : "expected a layer line or the structure-model line");
            return std::nullopt;
        }
        if (!(fgm ? ReadFGMLayer(in, *line, d) : ReadComLayer(in, *line, d)))
            return std::nullopt;
    }
}

// The FGM's last-layer volume fraction, then its own structure-model line.
std::optional<std::string_view> ReadFGMTail(CLineReader& in, std::string_view lastLine, ProjectData& d) {
    if (!ReadField(in, Tokens(lastLine)[0].text, FloatField(d.lastVolFraction)))
        return std::nullopt;
    const auto plate = in.Next("the structure-model line");
    if (!plate)
        return std::nullopt;
    if (Tokens(*plate).size() != 1) {
        in.Fail("expected 1 value (structure model), found " + std::to_string(Tokens(*plate).size()));
        return std::nullopt;
    }
    return plate;
}

bool Parse(CLineReader& in, bool fgm, ProjectData& d) {
    if (!ReadHead(in, fgm, d))
        return false;
    std::optional<std::string_view> plate = ReadLayers(in, fgm, d);
    if (plate && fgm)
        plate = ReadFGMTail(in, *plate, d);
    return plate && ReadPlateAndRadius(in, *plate, d.bPlate, d.hasRadius, d.radius);
}

}  // namespace

bool ParseProject(const CProjectKind& kind, std::string_view text, ProjectData& out, ProjectReadError* error) {
    out = ProjectData{};
    CLineReader in(text);
    const bool ok = Parse(in, kind.kind == EProjectKind::FGM, out);
    if (!ok && error)
        *error = in.Error();
    return ok;
}
