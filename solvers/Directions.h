#pragma once
// Directional dispersion of a plate: at one frequency, every mode's wavenumber, phase velocity,
// slowness, energy velocity and skew angle against the direction of its wave vector in the
// plate's plane. Direction theta is the line-load problem of the plate turned by -theta (every
// stiffness turned about z), so x of the turned problem is the wave vector's direction.
//
// The modes are found at theta = 0 as a frequency range finds and names them (DispersionCurves.h),
// then each is followed from direction to direction: Newton steps on omega(k) - omega with the
// exact slope, each point a shift-and-invert on the banded matrices of the new direction started
// from the mode of the one before. A step is taken only when every line settles on a mode that
// keeps its character (mass-weighted overlap with the mode before at least 0.9) and no two lines
// land on one mode; otherwise it is halved for all of them, down to 1/64 of the direction step,
// beyond which the lines at fault end there. Directions theta and
// theta + pi are one problem (a turn by pi about z leaves every stiffness as it was), so with an
// even number of directions half of them are solved.

#include <string>
#include <vector>

#include "ThicknessModel.h"

namespace numerics {

struct CDirectionalPoint {
    double dAngle = 0;     // the wave vector's direction from x, radians, counter-clockwise
    double dKappa = 0;     // wavenumber, 1/mm
    double dPhase = 0;     // omega / k, mm/us
    double dSlowness = 0;  // k / omega, us/mm
    // The energy velocity along the wave vector (the group velocity there) and across it
    // (towards +90 degrees from it), mm/us.
    double dEnergyAlong = 0, dEnergyAcross = 0;
    double dSkew = 0;      // atan2(across, along), radians: the ray is at dAngle + dSkew
};

struct CDirectionalLine {
    std::string strName;  // as the dispersion curves name it at theta = 0; a backward branch's with '
    std::vector<CDirectionalPoint> points;  // ascending direction
};

struct CDirectionalRequest {
    double dOmega = 0;      // rad/us
    int nDirections = 360;  // evenly over the full turn from 0
    int nModes = 10;        // the lowest lines at theta = 0 (of a frequency range from 0)
    // Every mode that propagates at omega instead (nModes ignored). The lowest nModes lines at
    // theta = 0 need not be the lowest branches in another direction: where lines of a stack
    // that splits at 0 degrees cross, the turned stack's lines part, and a line followed round
    // may end up above branches it does not include.
    bool bEveryMode = false;
    int nThreads = 1;       // the result does not depend on it
};

struct CDirectionalCurves {
    double dOmega = 0;
    std::vector<CDirectionalLine> lines;
    std::string error;
};

// The most directions of one run.
inline constexpr int kMaxDirections = 36000;

// Empty when the request can be computed for the model, else why not (a shell has no direction
// in its plane to turn to).
std::string CheckDirectionalRequest(const CThicknessModel& model, const CDirectionalRequest& request);

CDirectionalCurves TraceDirections(const CThicknessModel& model, const CDirectionalRequest& request);

// The model with every stiffness turned about z by -theta: the line-load problem along theta.
CThicknessModel TurnedModel(const CThicknessModel& model, double theta);

// The table --directions writes: two comment lines, then one line per point, "name
// angle_deg wavenumber phase_velocity slowness energy_along energy_across energy_speed skew_deg
// ray_angle_deg", each mode's points together.
std::string FormatDirections(const CDirectionalCurves& curves);

}  // namespace numerics
