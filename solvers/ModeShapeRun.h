#pragma once
// --mode-shape: a named mode at a wavenumber or a frequency, its profiles through the thickness
// and its energy velocity, as a table.

#include <string>

#include "DispersionCurves.h"
#include "ModeShape.h"
#include "SolverInput.h"

namespace numerics {

struct CModeShapeRequest {
    std::string strName;                                 // "A0", "SH1", "M3"
    EDispersionRange axis = EDispersionRange::kFrequency;  // value is kappa or omega (rad/us)
    double dValue = 0;
    int nPerElement = 0;  // samples per element; 0 chooses from the element order
};

// The samples per element a mode shape takes by default: enough to draw the highest order's
// polynomial smoothly, at most about 20000 in all.
int DefaultShapeSamples(const CThicknessModel& model);

struct CModeShapeResult {
    CNamedPoint located;
    CModeShape shape;
    CEnergyFlow flow;
    std::string error;
};
CModeShapeResult ComputeModeShape(const CProblem& problem, const CModeShapeRequest& request);

}  // namespace numerics
