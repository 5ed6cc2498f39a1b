#pragma once
// The text of the composite and FGM project files and solver inputs, without any file or
// directory work: formatters that turn a document into the exact bytes of each file, and
// readers that turn project-file text into a complete set of values or refuse it with the
// line at fault. Nothing here touches a document until a reader has succeeded.

#include <string>
#include <string_view>
#include <vector>

#include "MateCon.h"

class COstrelDoc;

// Number text as "%.<decimals>f" and "%d" in the "C" convention, whatever the locale.
std::string FormatFixed(double value, int decimals);
std::string FormatInt(int value);

// The four files, byte for byte ("\n" line ends).
std::string FormatComProject(const COstrelDoc& doc);
std::string FormatComSolverInput(const COstrelDoc& doc);
std::string FormatFGMProject(const COstrelDoc& doc);
std::string FormatFGMSolverInput(const COstrelDoc& doc);

// A name that holds a line break cannot be read back from a line-based file. Returns what is
// wrong ("the title", "the name of material 2", ...) or an empty string when all names fit.
std::string ComProjectNameProblem(const COstrelDoc& doc);
std::string FGMProjectNameProblem(const COstrelDoc& doc);

// Why a project file was refused: the 1-based line (one past the last line when the file
// ends too early) and a short English reason.
struct ProjectReadError {
    int line = 0;
    std::string reason;
};

// Everything a composite project file carries.
struct ComProjectData {
    std::string title;
    int nLayers = 1;
    double dimConst = 0;
    int loadType = 1;
    double frequency = 0;
    int loadDir = 1;
    int output = 1;
    float timeFrom = 0;
    float timeTo = 0;
    float receiverX = 0;
    std::vector<CMaterial> materials;  // as many as the header announces
    std::vector<CLayer> layers;        // the layer lines present, whatever nLayers says
    int bPlate = 1;
    bool hasRadius = false;            // the radius line follows only a shell (bPlate 0)
    float radius = 0;
};

// Everything an FGM project file carries.
struct FGMProjectData {
    std::string title;
    int nLayers = 1;
    int loadType = 1;
    double frequency = 0;
    int loadDir = 1;
    int output = 1;
    float timeFrom = 0;
    float timeTo = 0;
    float receiverX = 0;
    std::vector<CMaterial> materials;
    std::vector<CFGMLayer> layers;
    float lastVolFraction = 0;
    int bPlate = 1;
    bool hasRadius = false;
    float radius = 0;
};

// Read a whole project file (LF or CR LF line ends). On failure out is unspecified and
// *error says where and why. Any byte string is safe input.
bool ParseComProject(std::string_view text, ComProjectData& out, ProjectReadError* error);
bool ParseFGMProject(std::string_view text, FGMProjectData& out, ProjectReadError* error);

// Put what a file carried into the document: the members the file holds, the material list,
// and the layer list of its kind with its count. The other kind's block, the curve and
// m_nRunType stay as they are; the radius only changes when the file holds one.
void ApplyComProject(const ComProjectData& data, COstrelDoc& doc);
void ApplyFGMProject(const FGMProjectData& data, COstrelDoc& doc);
