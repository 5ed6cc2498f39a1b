#include "ProjectFormat.h"

#include <charconv>
#include <cmath>
#include <optional>

#include "OstrelDoc.h"

namespace {

constexpr int kMaxLayers = 200;  // the range the layer-number form accepts

// Counts beyond the stored records would read past the lists; write what is there.
template <class T>
std::size_t ValidCount(const std::vector<T>& list, int count) {
    if (count <= 0)
        return 0;
    return std::min(list.size(), static_cast<std::size_t>(count));
}

void AppendMaterialLine(std::string& out, const CMaterial& m) {
    // The angle comes before the density on this line.
    out += m.m_strName + "  " + FormatInt(m.m_nNo) + "  ";
    for (double v : {m.m_dE1, m.m_dE2, m.m_dG12, m.m_dV12, m.m_dV23,
                     static_cast<double>(m.m_fAngle)})
        out += FormatFixed(v, 4) + "  ";
    out += FormatFixed(m.m_dDensity, 4) + "\n";
}

void AppendPlateAndRadius(std::string& out, int bPlate, float radius) {
    out += FormatInt(bPlate) + " \n";
    if (bPlate == 0)
        out += FormatFixed(radius, 2) + "\n";
}

void AppendLoadLines(std::string& out, int loadType, double frequency, int loadDir, int output,
                     float timeFrom, float timeTo, float receiverX) {
    out += FormatInt(loadType) + "    " + FormatFixed(frequency, 4) + "\n";
    out += FormatInt(loadDir) + "    " + FormatInt(output) + "\n";
    out += FormatFixed(timeFrom, 2) + "    " + FormatFixed(timeTo, 2) + "\n";
    out += FormatFixed(receiverX, 4) + "\n";
}

bool HasLineBreak(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos;
}

std::string MaterialNameProblem(const COstrelDoc& doc) {
    const std::size_t n = ValidCount(doc.m_materials, doc.m_nMaterials);
    for (std::size_t i = 0; i < n; ++i)
        if (HasLineBreak(doc.m_materials[i].m_strName))
            return "the name of material " + std::to_string(i + 1) + " holds a line break";
    return {};
}

// ---- reading ---------------------------------------------------------------------------

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
bool ReadNumberLine(CLineReader& in, const char* what, std::initializer_list<Field> fields) {
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

bool Finish(CLineReader& in, bool ok, ProjectReadError* error) {
    if (!ok && error)
        *error = in.Error();
    return ok;
}

bool ParseCom(CLineReader& in, ComProjectData& d) {
    const auto title = in.Next("the title line");
    if (!title)
        return false;
    d.title = std::string(*title);
    int nMaterials = 0;
    if (!ReadNumberLine(in, "layers, materials, constant",
                        {IntField(d.nLayers), IntField(nMaterials), DoubleField(d.dimConst)}) ||
        !CheckCounts(in, d.nLayers, nMaterials) ||
        !ReadNumberLine(in, "load type, frequency",
                        {IntField(d.loadType), DoubleField(d.frequency)}) ||
        !ReadNumberLine(in, "load direction, output", {IntField(d.loadDir), IntField(d.output)}) ||
        !ReadNumberLine(in, "time from, time to", {FloatField(d.timeFrom), FloatField(d.timeTo)}) ||
        !ReadNumberLine(in, "receiving point", {FloatField(d.receiverX)}) ||
        !ReadMaterials(in, nMaterials, d.materials))
        return false;
    // Layer lines run up to the structure-model line, the first line with a single field.
    for (;;) {
        const auto line = in.Next("the structure-model line");
        if (!line)
            return false;
        const auto tokens = Tokens(*line);
        if (tokens.size() == 1)
            return ReadPlateAndRadius(in, *line, d.bPlate, d.hasRadius, d.radius);
        if (tokens.size() < 3)
            return in.Fail("expected a layer line or the structure-model line");
        CLayer layer;
        const auto text = ReadTextThenNumbers(
            in, *line, 2,
            {IntField(layer.m_nMaterial), FloatField(layer.m_fThickness),
             IntField(layer.m_nSublayers)});
        if (!text || !SplitLabelAndMaterial(in, *text, layer))
            return false;
        d.layers.push_back(std::move(layer));
    }
}

bool ParseFGM(CLineReader& in, FGMProjectData& d) {
    const auto title = in.Next("the title line");
    if (!title)
        return false;
    d.title = std::string(*title);
    int nMaterials = 0;
    if (!ReadNumberLine(in, "layers, materials", {IntField(d.nLayers), IntField(nMaterials)}) ||
        !CheckCounts(in, d.nLayers, nMaterials) ||
        !ReadNumberLine(in, "load type, frequency",
                        {IntField(d.loadType), DoubleField(d.frequency)}) ||
        !ReadNumberLine(in, "load direction, output", {IntField(d.loadDir), IntField(d.output)}) ||
        !ReadNumberLine(in, "time from, time to", {FloatField(d.timeFrom), FloatField(d.timeTo)}) ||
        !ReadNumberLine(in, "receiving point", {FloatField(d.receiverX)}) ||
        !ReadMaterials(in, nMaterials, d.materials))
        return false;
    // Layer lines run up to the last-layer volume fraction, the first line with one field.
    for (;;) {
        const auto line = in.Next("the last-layer volume fraction line");
        if (!line)
            return false;
        const auto tokens = Tokens(*line);
        if (tokens.size() == 1) {
            if (!ReadField(in, tokens[0].text, FloatField(d.lastVolFraction)))
                return false;
            break;
        }
        if (tokens.size() < 3)
            return in.Fail("expected a layer line or the last-layer volume fraction");
        CFGMLayer layer;
        const auto label = ReadTextThenNumbers(
            in, *line, 1,
            {IntField(layer.m_nMaterial), FloatField(layer.m_fVolFraction),
             FloatField(layer.m_fThickness)});
        if (!label)
            return false;
        layer.m_strLayer = std::string(*label);
        d.layers.push_back(std::move(layer));
    }
    const auto plate = in.Next("the structure-model line");
    if (!plate)
        return false;
    if (Tokens(*plate).size() != 1)
        return in.Fail("expected 1 value (structure model), found " +
                       std::to_string(Tokens(*plate).size()));
    return ReadPlateAndRadius(in, *plate, d.bPlate, d.hasRadius, d.radius);
}

}  // namespace

std::string FormatFixed(double value, int decimals) {
    // std::to_chars formats as printf does in the "C" locale, without consulting any locale.
    char buffer[400];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (ec != std::errc())
        return std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
    return std::string(buffer, end);
}

std::string FormatInt(int value) {
    return std::to_string(value);
}

std::string FormatComProject(const COstrelDoc& doc) {
    std::string out;
    out += doc.m_strComTitle + "\n";
    out += FormatInt(doc.m_nLayers) + "    " +
           FormatInt(static_cast<int>(ValidCount(doc.m_materials, doc.m_nMaterials))) + "    " +
           FormatFixed(doc.m_dDimConst, 6) + "\n";
    AppendLoadLines(out, doc.m_nLoadType, doc.m_dFrequency, doc.m_nLoadDir, doc.m_nOutput,
                    doc.m_fTimeFrom, doc.m_fTimeTo, doc.m_fReceiverX);
    const std::size_t nMat = ValidCount(doc.m_materials, doc.m_nMaterials);
    for (std::size_t i = 0; i < nMat; ++i)
        AppendMaterialLine(out, doc.m_materials[i]);
    const std::size_t nLay = ValidCount(doc.m_layers, doc.m_nComLayerCount);
    for (std::size_t i = 0; i < nLay; ++i) {
        const CLayer& l = doc.m_layers[i];
        out += l.m_strLayer + "  " + l.m_strMaterial + "  " + FormatInt(l.m_nMaterial) + "  " +
               FormatFixed(l.m_fThickness, 4) + " " + FormatInt(l.m_nSublayers) + "\n";
    }
    AppendPlateAndRadius(out, doc.m_bPlate, doc.m_fRadius);
    return out;
}

std::string FormatComSolverInput(const COstrelDoc& doc) {
    const std::size_t nLay = ValidCount(doc.m_layers, doc.m_nComLayerCount);
    const std::size_t nMat = ValidCount(doc.m_materials, doc.m_nMaterials);
    std::string out;
    out += doc.m_strComTitle + "\n";
    out += FormatInt(static_cast<int>(nLay)) + "    " + FormatInt(static_cast<int>(nMat)) +
           "    " + FormatFixed(doc.m_dDimConst, 6) + "\n";
    for (std::size_t i = 0; i < nLay; ++i)
        out += FormatInt(doc.m_layers[i].m_nMaterial) + "    " +
               FormatFixed(doc.m_layers[i].m_fThickness, 4) + "\n";
    for (std::size_t i = 0; i < nMat; ++i)
        out += FormatFixed(doc.m_materials[i].m_fAngle, 4) + "\n";
    for (std::size_t i = 0; i < nMat; ++i)
        out += FormatFixed(doc.m_materials[i].m_dDensity, 4) + "\n";
    for (std::size_t i = 0; i < nLay; ++i)
        out += FormatInt(doc.m_layers[i].m_nSublayers) + " ";
    out += "\n";
    for (std::size_t i = 0; i < nMat; ++i) {
        const CMaterial& m = doc.m_materials[i];
        out += FormatFixed(m.m_dE1, 4) + "  " + FormatFixed(m.m_dE2, 4) + "  " +
               FormatFixed(m.m_dG12, 4) + "  " + FormatFixed(m.m_dV12, 4) + "  " +
               FormatFixed(m.m_dV23, 4) + "\n";
    }
    AppendPlateAndRadius(out, doc.m_bPlate, doc.m_fRadius);
    AppendLoadLines(out, doc.m_nLoadType, doc.m_dFrequency, doc.m_nLoadDir, doc.m_nOutput,
                    doc.m_fTimeFrom, doc.m_fTimeTo, doc.m_fReceiverX);
    return out;
}

std::string FormatFGMProject(const COstrelDoc& doc) {
    const std::size_t nMat = ValidCount(doc.m_materials, doc.m_nMaterials);
    std::string out;
    out += doc.m_strFGMTitle + "\n";
    // The two blanks after the line end open the load line.
    out += FormatInt(doc.m_nLayers) + "    " + FormatInt(static_cast<int>(nMat)) + "\n  ";
    AppendLoadLines(out, doc.m_nFGMLoadType, doc.m_dFGMFrequency, doc.m_nFGMLoadDir,
                    doc.m_nFGMOutput, doc.m_fFGMTimeFrom, doc.m_fFGMTimeTo, doc.m_fFGMReceiverX);
    for (std::size_t i = 0; i < nMat; ++i)
        AppendMaterialLine(out, doc.m_materials[i]);
    const std::size_t nLay = ValidCount(doc.m_fgmLayers, doc.m_nFGMLayerCount);
    for (std::size_t i = 0; i < nLay; ++i) {
        const CFGMLayer& l = doc.m_fgmLayers[i];
        out += l.m_strLayer + " " + FormatInt(l.m_nMaterial) + " " +
               FormatFixed(l.m_fVolFraction, 4) + " " + FormatFixed(l.m_fThickness, 4) + "\n";
    }
    out += FormatFixed(doc.m_fFGMLastVolFraction, 4) + "\n";
    AppendPlateAndRadius(out, doc.m_bFGMPlate, doc.m_fFGMRadius);
    return out;
}

std::string FormatFGMSolverInput(const COstrelDoc& doc) {
    const std::size_t nMat = ValidCount(doc.m_materials, doc.m_nMaterials);
    const std::size_t nLay = ValidCount(doc.m_fgmLayers, doc.m_nFGMLayerCount);
    std::string out;
    for (std::size_t i = 0; i < nMat; ++i) {
        const CMaterial& m = doc.m_materials[i];
        out += FormatFixed(m.m_dE1, 4) + "  " + FormatFixed(m.m_dDensity, 4) + "  " +
               FormatFixed(m.m_dV12, 4) + "\n";
    }
    out += FormatInt(static_cast<int>(nLay)) + "\n";
    for (std::size_t i = 0; i < nLay; ++i)
        out += FormatFixed(doc.m_fgmLayers[i].m_fVolFraction, 4) + "  " +
               FormatFixed(doc.m_fgmLayers[i].m_fThickness, 4) + "\n";
    out += FormatFixed(doc.m_fFGMLastVolFraction, 4) + " \n";
    AppendPlateAndRadius(out, doc.m_bFGMPlate, doc.m_fFGMRadius);
    AppendLoadLines(out, doc.m_nFGMLoadType, doc.m_dFGMFrequency, doc.m_nFGMLoadDir,
                    doc.m_nFGMOutput, doc.m_fFGMTimeFrom, doc.m_fFGMTimeTo, doc.m_fFGMReceiverX);
    return out;
}

std::string ComProjectNameProblem(const COstrelDoc& doc) {
    if (HasLineBreak(doc.m_strComTitle))
        return "the title holds a line break";
    const std::size_t n = ValidCount(doc.m_layers, doc.m_nComLayerCount);
    for (std::size_t i = 0; i < n; ++i)
        if (HasLineBreak(doc.m_layers[i].m_strLayer) || HasLineBreak(doc.m_layers[i].m_strMaterial))
            return "layer " + std::to_string(i + 1) + " holds a line break";
    return MaterialNameProblem(doc);
}

std::string FGMProjectNameProblem(const COstrelDoc& doc) {
    if (HasLineBreak(doc.m_strFGMTitle))
        return "the title holds a line break";
    const std::size_t n = ValidCount(doc.m_fgmLayers, doc.m_nFGMLayerCount);
    for (std::size_t i = 0; i < n; ++i)
        if (HasLineBreak(doc.m_fgmLayers[i].m_strLayer))
            return "layer " + std::to_string(i + 1) + " holds a line break";
    return MaterialNameProblem(doc);
}

bool ParseComProject(std::string_view text, ComProjectData& out, ProjectReadError* error) {
    out = ComProjectData{};
    CLineReader in(text);
    return Finish(in, ParseCom(in, out), error);
}

bool ParseFGMProject(std::string_view text, FGMProjectData& out, ProjectReadError* error) {
    out = FGMProjectData{};
    CLineReader in(text);
    return Finish(in, ParseFGM(in, out), error);
}

void ApplyComProject(const ComProjectData& d, COstrelDoc& doc) {
    doc.m_strComTitle = d.title;
    doc.m_nLayers = d.nLayers;
    doc.m_materials = d.materials;
    doc.m_nMaterials = static_cast<int>(d.materials.size());
    doc.m_dDimConst = d.dimConst;
    doc.m_nLoadType = d.loadType;
    doc.m_dFrequency = d.frequency;
    doc.m_nLoadDir = d.loadDir;
    doc.m_nOutput = d.output;
    doc.m_fTimeFrom = d.timeFrom;
    doc.m_fTimeTo = d.timeTo;
    doc.m_fReceiverX = d.receiverX;
    doc.m_layers = d.layers;
    doc.m_nComLayerCount = static_cast<int>(d.layers.size());
    doc.m_bPlate = d.bPlate;
    if (d.hasRadius)
        doc.m_fRadius = d.radius;
}

void ApplyFGMProject(const FGMProjectData& d, COstrelDoc& doc) {
    doc.m_strFGMTitle = d.title;
    doc.m_nLayers = d.nLayers;
    doc.m_materials = d.materials;
    doc.m_nMaterials = static_cast<int>(d.materials.size());
    doc.m_nFGMLoadType = d.loadType;
    doc.m_dFGMFrequency = d.frequency;
    doc.m_nFGMLoadDir = d.loadDir;
    doc.m_nFGMOutput = d.output;
    doc.m_fFGMTimeFrom = d.timeFrom;
    doc.m_fFGMTimeTo = d.timeTo;
    doc.m_fFGMReceiverX = d.receiverX;
    doc.m_fgmLayers = d.layers;
    doc.m_nFGMLayerCount = static_cast<int>(d.layers.size());
    doc.m_fFGMLastVolFraction = d.lastVolFraction;
    doc.m_bFGMPlate = d.bPlate;
    if (d.hasRadius)
        doc.m_fFGMRadius = d.radius;
}
