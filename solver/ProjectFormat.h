#pragma once
// The text of the project files and solver inputs of both kinds, without any file or directory
// work: formatters that turn a document into the exact bytes of each file, and a reader that
// turns project-file text into a complete set of values or refuses it with the line at fault.
// Nothing here touches a document until a reader has succeeded. The blocks both kinds share
// (load, materials, structure model) are written and read once; only the layer lines and the
// head of each file differ between the kinds.

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "MateCon.h"
#include "ProjectKind.h"

class COstrelDoc;

// Number text as "%.<decimals>f" and "%d" in the "C" convention, whatever the locale.
std::string FormatFixed(double value, int decimals);
std::string FormatInt(int value);

// The kind's project file and solver input, byte for byte ("\n" line ends).
std::string FormatProject(const CProjectKind& kind, const COstrelDoc& doc);
std::string FormatSolverInput(const CProjectKind& kind, const COstrelDoc& doc);

// A name that holds a line break cannot be read back from a line-based file. Returns what is
// wrong in the kind's project ("the title", "the name of material 2", ...) or an empty string
// when all names fit.
std::string ProjectNameProblem(const CProjectKind& kind, const COstrelDoc& doc);

// Why a project file was refused: the 1-based line (one past the last line when the file
// ends too early) and a short English reason.
struct ProjectReadError {
    int line = 0;
    std::string reason;
};

// Everything a project file carries.
struct ProjectData {
    std::string title;
    int nLayers = 1;
    double dimConst = 0;               // composite only
    std::vector<std::variant<int, float, double>> load;  // the load block's values, in LoadLines() order
    std::vector<CMaterial> materials;  // as many as the header announces
    std::vector<CLayer> layers;        // composite: the layer lines present, whatever nLayers says
    std::vector<CFGMLayer> fgmLayers;  // FGM: likewise
    float lastVolFraction = 0;         // FGM only
    int bPlate = 1;
    bool hasRadius = false;            // the radius line follows only a shell (bPlate 0)
    float radius = 0;
};

// The value a file gave one load value, named by the kind's member it goes to
// (LoadValueOf(data, &CProjectKind::output)); T{} when the data holds none.
template <class T>
T LoadValueOf(const ProjectData& data, T COstrelDoc::* CProjectKind::* member) {
    std::size_t i = 0;
    for (const CLoadLine& line : LoadLines())
        for (const CLoadValue& v : line.values) {
            if (const auto* m = std::get_if<T COstrelDoc::* CProjectKind::*>(&v.member); m && *m == member)
                return i < data.load.size() && std::holds_alternative<T>(data.load[i]) ? std::get<T>(data.load[i]) : T{};
            ++i;
        }
    return T{};
}

// Reads a whole project file of the kind (LF or CR LF line ends). On failure out is unspecified
// and *error says where and why. Any byte string is safe input.
bool ParseProject(const CProjectKind& kind, std::string_view text, ProjectData& out, ProjectReadError* error);

// Puts what a file carried into the document: the kind's members, the material list, and the
// kind's layer list with its count. The other kind's block, the curve and m_nRunType stay as
// they are; the radius only changes when the file holds one.
void ApplyProject(const CProjectKind& kind, const ProjectData& data, COstrelDoc& doc);
