// The composite project reader against any bytes: it refuses with a line inside the file or one
// past it, and whatever it takes in is written back and read again to the same document.

#include <cstdint>

#include "FuzzCheck.h"
#include "OstrelDoc.h"
#include "ProjectFormat.h"

namespace {

std::string Describe(const ComProjectData& d) {
    std::string s = "title=[" + fuzzcheck::Shown(d.title) + "] layers=" + std::to_string(d.nLayers) +
                    " plate=" + std::to_string(d.bPlate) + " materials=" + std::to_string(d.materials.size()) +
                    " layerLines=" + std::to_string(d.layers.size());
    for (const CMaterial& m : d.materials)
        s += "\n  material [" + fuzzcheck::Shown(m.m_strName) + "] " + std::to_string(m.m_nNo);
    for (const CLayer& l : d.layers)
        s += "\n  layer [" + fuzzcheck::Shown(l.m_strLayer) + "] [" + fuzzcheck::Shown(l.m_strMaterial) +
             "] " + std::to_string(l.m_nMaterial) + " " + std::to_string(l.m_nSublayers);
    return s;
}

// What the file holds exactly (names, codes, counts); numbers written with fixed decimals are
// compared through the second writing instead.
bool SameExactParts(const ComProjectData& a, const ComProjectData& b) {
    if (a.title != b.title || a.nLayers != b.nLayers || a.loadType != b.loadType || a.loadDir != b.loadDir ||
        a.output != b.output || a.bPlate != b.bPlate || a.hasRadius != b.hasRadius ||
        a.materials.size() != b.materials.size() || a.layers.size() != b.layers.size())
        return false;
    for (size_t i = 0; i < a.materials.size(); ++i)
        if (a.materials[i].m_strName != b.materials[i].m_strName || a.materials[i].m_nNo != b.materials[i].m_nNo)
            return false;
    for (size_t i = 0; i < a.layers.size(); ++i)
        if (a.layers[i].m_strLayer != b.layers[i].m_strLayer ||
            a.layers[i].m_strMaterial != b.layers[i].m_strMaterial ||
            a.layers[i].m_nMaterial != b.layers[i].m_nMaterial ||
            a.layers[i].m_nSublayers != b.layers[i].m_nSublayers)
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ComProjectData first;
    ProjectReadError error;
    if (!ParseComProject(text, first, &error)) {
        FUZZ_CHECK(!error.reason.empty(), "refused without a reason");
        FUZZ_CHECK(error.line >= 1 && error.line <= fuzzcheck::LineCount(text) + 1,
                   "line " + std::to_string(error.line) + ": " + error.reason);
        return 0;
    }
    COstrelDoc doc;
    ApplyComProject(first, doc);
    FUZZ_CHECK(doc.m_nMaterials == static_cast<int>(first.materials.size()) &&
                   doc.m_nComLayerCount == static_cast<int>(first.layers.size()),
               Describe(first));
    // A stray carriage return inside a line is read but refused by the writer with a message.
    if (!ComProjectNameProblem(doc).empty())
        return 0;

    const std::string written = FormatComProject(doc);
    ComProjectData second;
    ProjectReadError again;
    FUZZ_CHECK(ParseComProject(written, second, &again),
               "own text refused, line " + std::to_string(again.line) + ": " + again.reason + "\n" +
                   fuzzcheck::Shown(written));
    FUZZ_CHECK(SameExactParts(first, second), Describe(first) + "\n---\n" + Describe(second));

    COstrelDoc reread;
    ApplyComProject(second, reread);
    const std::string rewritten = FormatComProject(reread);
    FUZZ_CHECK(rewritten == written, fuzzcheck::Shown(written) + "\n---\n" + fuzzcheck::Shown(rewritten));
    return 0;
}
