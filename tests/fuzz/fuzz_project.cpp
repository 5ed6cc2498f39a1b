// The project reader of one kind against any bytes: it refuses with a line inside the file or one
// past it, and whatever it takes in is written back and read again to the same document. Built
// once per kind (PEMBLAR_FUZZ_FGM 0 or 1), each with its own corpus.

#include <cstdint>

#include "FuzzCheck.h"
#include "OstrelDoc.h"
#include "ProjectFormat.h"

namespace {

const CProjectKind& Kind() { return PEMBLAR_FUZZ_FGM ? FGMKind() : CompositeKind(); }

std::string Describe(const ProjectData& d) {
    std::string s = "title=[" + fuzzcheck::Shown(d.title) + "] layers=" + std::to_string(d.nLayers) +
                    " plate=" + std::to_string(d.bPlate) + " materials=" + std::to_string(d.materials.size()) +
                    " layerLines=" + std::to_string(d.layers.size() + d.fgmLayers.size());
    for (const CMaterial& m : d.materials)
        s += "\n  material [" + fuzzcheck::Shown(m.m_strName) + "] " + std::to_string(m.m_nNo);
    for (const CLayer& l : d.layers)
        s += "\n  layer [" + fuzzcheck::Shown(l.m_strLayer) + "] [" + fuzzcheck::Shown(l.m_strMaterial) +
             "] " + std::to_string(l.m_nMaterial) + " " + std::to_string(l.m_nSublayers);
    for (const CFGMLayer& l : d.fgmLayers)
        s += "\n  layer [" + fuzzcheck::Shown(l.m_strLayer) + "] " + std::to_string(l.m_nMaterial);
    return s;
}

bool SameLayer(const CLayer& a, const CLayer& b) {
    return a.m_strLayer == b.m_strLayer && a.m_strMaterial == b.m_strMaterial && a.m_nMaterial == b.m_nMaterial &&
           a.m_nSublayers == b.m_nSublayers;
}

bool SameLayer(const CFGMLayer& a, const CFGMLayer& b) {
    return a.m_strLayer == b.m_strLayer && a.m_nMaterial == b.m_nMaterial;
}

bool SameMaterial(const CMaterial& a, const CMaterial& b) {
    return a.m_strName == b.m_strName && a.m_nNo == b.m_nNo;
}

template <class T>
bool SameLists(const std::vector<T>& a, const std::vector<T>& b, bool (*same)(const T&, const T&)) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!same(a[i], b[i]))
            return false;
    return true;
}

// The integers of the load block (its codes); the other values are written with fixed decimals.
bool SameLoadCodes(const ProjectData& a, const ProjectData& b) {
    if (a.load.size() != b.load.size())
        return false;
    for (size_t i = 0; i < a.load.size(); ++i)
        if (std::holds_alternative<int>(a.load[i]) && a.load[i] != b.load[i])
            return false;
    return true;
}

// What the file holds exactly (names, codes, counts); numbers written with fixed decimals are
// compared through the second writing instead.
bool SameExactParts(const ProjectData& a, const ProjectData& b) {
    return a.title == b.title && a.nLayers == b.nLayers && SameLoadCodes(a, b) && a.bPlate == b.bPlate &&
           a.hasRadius == b.hasRadius &&
           SameLists(a.materials, b.materials, &SameMaterial) && SameLists<CLayer>(a.layers, b.layers, &SameLayer) &&
           SameLists<CFGMLayer>(a.fgmLayers, b.fgmLayers, &SameLayer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ProjectData first;
    ProjectReadError error;
    if (!ParseProject(Kind(), text, first, &error)) {
        FUZZ_CHECK(!error.reason.empty(), "refused without a reason");
        FUZZ_CHECK(error.line >= 1 && error.line <= fuzzcheck::LineCount(text) + 1,
                   "line " + std::to_string(error.line) + ": " + error.reason);
        return 0;
    }
    COstrelDoc doc;
    ApplyProject(Kind(), first, doc);
    // Only the kind's own layer list is filled.
    FUZZ_CHECK(doc.m_nMaterials == static_cast<int>(first.materials.size()) &&
                   doc.*Kind().layerCount == static_cast<int>(first.layers.size() + first.fgmLayers.size()) &&
                   (PEMBLAR_FUZZ_FGM ? first.layers.empty() : first.fgmLayers.empty()),
               Describe(first));
    // A stray carriage return inside a line is read but refused by the writer with a message.
    if (!ProjectNameProblem(Kind(), doc).empty())
        return 0;

    const std::string written = FormatProject(Kind(), doc);
    ProjectData second;
    ProjectReadError again;
    FUZZ_CHECK(ParseProject(Kind(), written, second, &again),
               "own text refused, line " + std::to_string(again.line) + ": " + again.reason + "\n" +
                   fuzzcheck::Shown(written));
    FUZZ_CHECK(SameExactParts(first, second), Describe(first) + "\n---\n" + Describe(second));

    COstrelDoc reread;
    ApplyProject(Kind(), second, reread);
    const std::string rewritten = FormatProject(Kind(), reread);
    FUZZ_CHECK(rewritten == written, fuzzcheck::Shown(written) + "\n---\n" + fuzzcheck::Shown(rewritten));
    return 0;
}
