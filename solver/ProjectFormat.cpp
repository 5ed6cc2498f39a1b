#include "ProjectFormat.h"

#include <charconv>
#include <cmath>
#include <type_traits>

#include "OstrelDoc.h"
#include "ProjectKind.h"

namespace {

// Counts beyond the stored records would read past the lists; write what is there.
template <class T>
std::size_t ValidCount(const std::vector<T>& list, int count) {
    if (count <= 0)
        return 0;
    return std::min(list.size(), static_cast<std::size_t>(count));
}

std::size_t MaterialCount(const COstrelDoc& doc) { return ValidCount(doc.m_materials, doc.m_nMaterials); }
std::size_t ComLayerCount(const COstrelDoc& doc) { return ValidCount(doc.m_layers, doc.m_nComLayerCount); }
std::size_t FGMLayerCount(const COstrelDoc& doc) { return ValidCount(doc.m_fgmLayers, doc.m_nFGMLayerCount); }

bool IsFGM(const CProjectKind& k) { return k.kind == EProjectKind::FGM; }

void AppendMaterialLine(std::string& out, const CMaterial& m) {
    // The angle comes before the density on this line.
    out += m.m_strName + "  " + FormatInt(m.m_nNo) + "  ";
    for (double v : {m.m_dE1, m.m_dE2, m.m_dG12, m.m_dV12, m.m_dV23, static_cast<double>(m.m_fAngle)})
        out += FormatFixed(v, 4) + "  ";
    out += FormatFixed(m.m_dDensity, 4) + "\n";
}

void AppendPlateAndRadius(std::string& out, const CProjectKind& k, const COstrelDoc& doc) {
    out += FormatInt(doc.*k.plate) + " \n";
    if (doc.*k.plate == 0)
        out += FormatFixed(doc.*k.radius, 2) + "\n";
}

// The load block (LoadLines): the same lines in both kinds' project files and solver inputs.
void AppendLoadLines(std::string& out, const CProjectKind& k, const COstrelDoc& doc) {
    for (const CLoadLine& line : LoadLines()) {
        const char* separator = "";
        for (const CLoadValue& v : line.values) {
            out += separator;
            std::visit(
                [&](auto member) {
                    const auto value = doc.*(k.*member);
                    if constexpr (std::is_same_v<decltype(value), const int>)
                        out += FormatInt(value);
                    else
                        out += FormatFixed(value, v.decimals);
                },
                v.member);
            separator = "    ";
        }
        out += "\n";
    }
}

// ---- the composite layout ----

void AppendComProjectHead(std::string& out, const COstrelDoc& doc) {
    out += FormatInt(doc.m_nLayers) + "    " + FormatInt(static_cast<int>(MaterialCount(doc))) + "    " +
           FormatFixed(doc.m_dDimConst, 6) + "\n";
}

void AppendComProjectLayers(std::string& out, const COstrelDoc& doc) {
    for (std::size_t i = 0; i < ComLayerCount(doc); ++i) {
        const CLayer& l = doc.m_layers[i];
        out += l.m_strLayer + "  " + l.m_strMaterial + "  " + FormatInt(l.m_nMaterial) + "  " +
               FormatFixed(l.m_fThickness, 4) + " " + FormatInt(l.m_nSublayers) + "\n";
    }
}

void AppendComSolverStack(std::string& out, const COstrelDoc& doc) {
    const std::size_t nLay = ComLayerCount(doc);
    const std::size_t nMat = MaterialCount(doc);
    out += doc.m_strComTitle + "\n";
    out += FormatInt(static_cast<int>(nLay)) + "    " + FormatInt(static_cast<int>(nMat)) + "    " +
           FormatFixed(doc.m_dDimConst, 6) + "\n";
    for (std::size_t i = 0; i < nLay; ++i)
        out += FormatInt(doc.m_layers[i].m_nMaterial) + "    " + FormatFixed(doc.m_layers[i].m_fThickness, 4) + "\n";
    for (std::size_t i = 0; i < nMat; ++i)
        out += FormatFixed(doc.m_materials[i].m_fAngle, 4) + "\n";
    for (std::size_t i = 0; i < nMat; ++i)
        out += FormatFixed(doc.m_materials[i].m_dDensity, 4) + "\n";
    for (std::size_t i = 0; i < nLay; ++i)
        out += FormatInt(doc.m_layers[i].m_nSublayers) + " ";
    out += "\n";
    for (std::size_t i = 0; i < nMat; ++i) {
        const CMaterial& m = doc.m_materials[i];
        out += FormatFixed(m.m_dE1, 4) + "  " + FormatFixed(m.m_dE2, 4) + "  " + FormatFixed(m.m_dG12, 4) + "  " +
               FormatFixed(m.m_dV12, 4) + "  " + FormatFixed(m.m_dV23, 4) + "\n";
    }
}

// ---- the FGM layout ----

void AppendFGMProjectHead(std::string& out, const COstrelDoc& doc) {
    // The two blanks after the line end open the load line.
    out += FormatInt(doc.m_nLayers) + "    " + FormatInt(static_cast<int>(MaterialCount(doc))) + "\n  ";
}

void AppendFGMProjectLayers(std::string& out, const COstrelDoc& doc) {
    for (std::size_t i = 0; i < FGMLayerCount(doc); ++i) {
        const CFGMLayer& l = doc.m_fgmLayers[i];
        out += l.m_strLayer + " " + FormatInt(l.m_nMaterial) + " " + FormatFixed(l.m_fVolFraction, 4) + " " +
               FormatFixed(l.m_fThickness, 4) + "\n";
    }
    out += FormatFixed(doc.m_fFGMLastVolFraction, 4) + "\n";
}

void AppendFGMSolverStack(std::string& out, const COstrelDoc& doc) {
    for (std::size_t i = 0; i < MaterialCount(doc); ++i) {
        const CMaterial& m = doc.m_materials[i];
        out += FormatFixed(m.m_dE1, 4) + "  " + FormatFixed(m.m_dDensity, 4) + "  " + FormatFixed(m.m_dV12, 4) + "\n";
    }
    const std::size_t nLay = FGMLayerCount(doc);
    out += FormatInt(static_cast<int>(nLay)) + "\n";
    for (std::size_t i = 0; i < nLay; ++i)
        out += FormatFixed(doc.m_fgmLayers[i].m_fVolFraction, 4) + "  " +
               FormatFixed(doc.m_fgmLayers[i].m_fThickness, 4) + "\n";
    out += FormatFixed(doc.m_fFGMLastVolFraction, 4) + " \n";
}

bool HasLineBreak(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos;
}

// The first layer (1-based) whose names hold a line break, 0 when none does.
std::size_t LayerWithLineBreak(const CProjectKind& k, const COstrelDoc& doc) {
    if (IsFGM(k)) {
        for (std::size_t i = 0; i < FGMLayerCount(doc); ++i)
            if (HasLineBreak(doc.m_fgmLayers[i].m_strLayer))
                return i + 1;
        return 0;
    }
    for (std::size_t i = 0; i < ComLayerCount(doc); ++i)
        if (HasLineBreak(doc.m_layers[i].m_strLayer) || HasLineBreak(doc.m_layers[i].m_strMaterial))
            return i + 1;
    return 0;
}

}  // namespace

std::string FormatFixed(double value, int decimals) {
    // std::to_chars formats as printf does in the "C" locale, without consulting any locale.
    char buffer[400];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (ec != std::errc())
        return std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
    return std::string(buffer, end);
}

std::string FormatInt(int value) {
    return std::to_string(value);
}

std::string FormatProject(const CProjectKind& k, const COstrelDoc& doc) {
    std::string out = doc.*k.title + "\n";
    IsFGM(k) ? AppendFGMProjectHead(out, doc) : AppendComProjectHead(out, doc);
    AppendLoadLines(out, k, doc);
    for (std::size_t i = 0; i < MaterialCount(doc); ++i)
        AppendMaterialLine(out, doc.m_materials[i]);
    IsFGM(k) ? AppendFGMProjectLayers(out, doc) : AppendComProjectLayers(out, doc);
    AppendPlateAndRadius(out, k, doc);
    return out;
}

std::string FormatSolverInput(const CProjectKind& k, const COstrelDoc& doc) {
    std::string out;
    IsFGM(k) ? AppendFGMSolverStack(out, doc) : AppendComSolverStack(out, doc);
    AppendPlateAndRadius(out, k, doc);
    AppendLoadLines(out, k, doc);
    return out;
}

std::string ProjectNameProblem(const CProjectKind& k, const COstrelDoc& doc) {
    if (HasLineBreak(doc.*k.title))
        return "the title holds a line break";
    if (const std::size_t layer = LayerWithLineBreak(k, doc))
        return "layer " + std::to_string(layer) + " holds a line break";
    for (std::size_t i = 0; i < MaterialCount(doc); ++i)
        if (HasLineBreak(doc.m_materials[i].m_strName))
            return "the name of material " + std::to_string(i + 1) + " holds a line break";
    return {};
}

void ApplyProject(const CProjectKind& k, const ProjectData& d, COstrelDoc& doc) {
    doc.*k.title = d.title;
    doc.m_nLayers = d.nLayers;
    doc.m_materials = d.materials;
    doc.m_nMaterials = static_cast<int>(d.materials.size());
    std::size_t i = 0;
    for (const CLoadLine& line : LoadLines())
        for (const CLoadValue& v : line.values) {
            if (i < d.load.size())
                std::visit(
                    [&](auto member) {
                        using T = typename LoadValueType<decltype(member)>::type;
                        if (const T* value = std::get_if<T>(&d.load[i]))
                            doc.*(k.*member) = *value;
                    },
                    v.member);
            ++i;
        }
    if (IsFGM(k)) {
        doc.m_fgmLayers = d.fgmLayers;
        doc.m_fFGMLastVolFraction = d.lastVolFraction;
    } else {
        doc.m_dDimConst = d.dimConst;
        doc.m_layers = d.layers;
    }
    doc.*k.layerCount = static_cast<int>(IsFGM(k) ? d.fgmLayers.size() : d.layers.size());
    doc.*k.plate = d.bPlate;
    if (d.hasRadius)
        doc.*k.radius = d.radius;
}
