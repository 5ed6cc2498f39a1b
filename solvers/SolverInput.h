#pragma once
// The two solver inputs, read exactly as the program writes them ("input.d" for laminates,
// "inputfgm.dat" for graded plates), checked, and turned into one problem description.
// Every failure is a message that names the file and the line.

#include <string>
#include <vector>

#include "LoadResponse.h"
#include "ThicknessModel.h"

namespace numerics {

struct CProblem {
    std::string strTitle;
    CThicknessModel model;
    double dCutoffConst = 3.113646;
    bool bShell = false;
    double dRadius = 0;       // outer radius of a shell (mm)
    CLoadFunction load;
    int nLoadDir = 1;         // 1 x, 2 y, 3 z
    int nOutput = 1;          // 1 u, 2 v, 3 w
    double dTimeFrom = 0;
    double dTimeTo = 10;
    double dReceiverX = 2;    // mm along the top surface (arc length on a shell)
};

struct CFgmOptions {
    int nSublayers = 0;       // elements per layer; 0 chooses from the cut-off
    bool bMoriTanaka = false; // otherwise the rule of mixtures
    double dCutoffConst = 3.113646;
};

// Both return an empty string on success. `text` is the whole file; `name` is used in messages.
std::string ParseCompositeInput(const std::string& text, const std::string& name, CProblem& problem);
std::string ParseFgmInput(const std::string& text, const std::string& name,
                          const CFgmOptions& options, CProblem& problem);

// Effective isotropic constants of a two-phase mixture with volume fraction v1 of phase 1.
struct CIsotropic {
    double dE = 0, dNu = 0, dDensity = 0;
};
CIsotropic MixRuleOfMixtures(const CIsotropic& one, const CIsotropic& two, double v1);
CIsotropic MixMoriTanaka(const CIsotropic& inclusion, const CIsotropic& matrix, double v1);

}  // namespace numerics
