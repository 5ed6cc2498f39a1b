#pragma once
// The two solver inputs, read exactly as the program writes them ("input.d" for laminates,
// "inputfgm.dat" for graded plates), checked, and turned into one problem description.
// Every failure is a message that names the file and the line.

#include <functional>
#include <string>
#include <vector>

#include "ElementOrder.h"
#include "LoadBand.h"
#include "LoadResponse.h"
#include "ThicknessModel.h"

namespace numerics {

// The output times of a run unless told otherwise.
inline constexpr int kDefaultPoints = 1001;

// One layer of a stack before it becomes elements: its material at a height (mm) above the
// layer's bottom.
struct CLayerPlan {
    double dThickness = 0;
    int nElements = 1;
    std::function<void(double height, Voigt& stiffness, double& density)> material;
    // Layers of one uniform material share a key (0 and up), so its wave speeds are found once;
    // -1 for a graded layer, sampled through its thickness.
    int nUniformMaterial = -1;
};

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
    std::vector<int> layerOrders;  // the element order of each layer, in the file's order
    CLoadBand band;           // the load's band: which modes are synthesised (PlanLoadBand)
    std::vector<CLayerPlan> layerPlans;  // the stack from the bottom, to rebuild the model for a band
};

struct CFgmOptions {
    int nSublayers = 0;       // elements per layer; 0 chooses from the cut-off
    bool bMoriTanaka = false; // otherwise the rule of mixtures
    double dCutoffConst = 3.113646;
    int nOrder = kAutomaticOrder;  // element order, or chosen per layer
    int nPoints = kDefaultPoints;  // output times of the run (0: none, a dispersion run)
};

// Both return an empty string on success. `text` is the whole file; `name` is used in messages.
// `order` is the element order of every layer, or kAutomaticOrder to choose per layer; the
// automatic order also resolves every frequency a curve of `points` output times can show
// (0 for a run without output times).
std::string ParseCompositeInput(const std::string& text, const std::string& name, CProblem& problem,
                                int order = kAutomaticOrder, int points = kDefaultPoints);
std::string ParseFgmInput(const std::string& text, const std::string& name,
                          const CFgmOptions& options, CProblem& problem);

// Effective isotropic constants of a two-phase mixture with volume fraction v1 of phase 1.
struct CIsotropic {
    double dE = 0, dNu = 0, dDensity = 0;
};
CIsotropic MixRuleOfMixtures(const CIsotropic& one, const CIsotropic& two, double v1);
CIsotropic MixMoriTanaka(const CIsotropic& inclusion, const CIsotropic& matrix, double v1);


// The elements of the layers (listed from the bottom up), of the given order or of the orders
// ChooseOrders picks for the highest frequency: that of the fastest front at the cut-off
// wavenumber, or the highest frequency the output times show (pi over their step), whichever
// is higher. The orders per layer go to orders from the top layer down, as the files list them.
// A band frequency above 0 replaces both: the highest frequency a band-limited run synthesises.
// The automatic orders are at most orderCap.
CThicknessModel BuildThicknessModel(const std::vector<CLayerPlan>& layers, double cutoffConst,
                                    double shownFrequency, int order, std::vector<int>& orders,
                                    double bandFrequency = 0, int orderCap = kMaxOrder);
// The problem's model built again with the automatic order for its load's band (PlanLoadBand),
// when that band is limited; a fixed order keeps the model.
void FitModelToBand(CProblem& problem, int order);
// The problem's model built again with the automatic order, every order at most orderCap: for
// the band of a band-limited load, else for what `points` output times show.
void RebuildAutomaticModel(CProblem& problem, int points, int orderCap);
// pi over the step of `points` output times over the window, or 0 without output times.
double ShownFrequency(double timeFrom, double timeTo, int points);

}  // namespace numerics
