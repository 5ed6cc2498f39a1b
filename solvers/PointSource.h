#pragma once
// The response of a plate to a point load on its top surface at the origin, at receivers (x, y)
// on the top surface and over a rectangle at chosen times.
//
// A wave vector k (cos th, sin th) is the line-load problem along th: the plies turned by -th,
// the same eigenproblem, the top's displacement turned back to x, y, z. The synthesis is the
// two-dimensional transform on a periodic plate: wave vectors on a Cartesian grid of spacings
// (2 pi / Lx, 2 pi / Ly), the periods chosen so that no wave of a neighbouring image of the load
// reaches a receiver or the rectangle within the window. A stack symmetric about x and y (plies
// at 0 and 90 degrees) solves a quarter of the grid; an axisymmetric one (isotropic or
// transversely isotropic about z) solves one direction and sums Bessel terms (a Hankel
// transform) instead. The load is spread as the line load is: a Gaussian of half-width
// TaperWidth(kMax) around the origin, of unit total force.

#include <string>
#include <vector>

#include "ModeAtlas.h"
#include "SolverInput.h"
#include "Transient.h"

namespace numerics {

struct CPlanePoint {
    double x = 0, y = 0;  // mm
};

// The wave field: nX x nY points over [x0, x1] x [y0, y1] (both ends included; one point takes
// the lower end) at nT times from t0 to t1.
struct CFieldRequest {
    double dX0 = 0, dX1 = 0, dY0 = 0, dY1 = 0, dT0 = 0, dT1 = 0;
    int nX = 0, nY = 0, nT = 0;
    bool Wanted() const { return nX > 0 && nY > 0 && nT > 0; }
    double X(int i) const { return nX < 2 ? dX0 : dX0 + (dX1 - dX0) * i / (nX - 1); }
    double Y(int j) const { return nY < 2 ? dY0 : dY0 + (dY1 - dY0) * j / (nY - 1); }
    CTimeGrid Times() const;
};

// How the modes are summed at the receivers and over the field: the cheaper way, the plain sums
// (every term's curve at every time; a reference for checks) or binned in frequency (SourceBinning.h).
enum class ESourceSynthesis { kCheapest, kExact, kBinned };

struct CSourceRequest {
    std::vector<CPlanePoint> receivers;  // curves at the output times of the run
    CFieldRequest field;
    bool bEveryDirection = false;        // no axisymmetric shortcut (a reference for checks)
    bool bSingleLattice = false;         // a band-limited load's quasi-static part with the modes on
                                         // one lattice (the earlier synthesis; a reference for checks)
    double dDynamicRadius = 0;           // the split's disc (1/mm) once found; 0 not yet
    double dDynamicSpeed = 0;            // the fastest group velocity in it (mm/us) once found
    double dMarkedReach = 0;             // the split's mode atlas's marks' reach (1/mm) once searched
    ESourceSynthesis eSynthesis = ESourceSynthesis::kCheapest;
    EModeSource modes = EModeSource::kChosen;  // the split's in-band modes: atlas or exact solves
    CAtlasSettings atlas;
};

enum class ESourceSymmetry { kNone, kMirror, kAxisymmetric };
// The symmetry that every stiffness of the model has (checked, never assumed).
ESourceSymmetry FindSourceSymmetry(const CThicknessModel& model);

// The synthesis grid of a run.
struct CSourceGrid {
    ESourceSymmetry symmetry = ESourceSymmetry::kNone;
    double dKMax = 0;                   // the cut-off wavenumber (1/mm); the taper is zero beyond
    double dPeriodX = 0, dPeriodY = 0;  // mm
    double dkx = 0, dky = 0;            // 2 pi / period; axisymmetric: dkx the radial spacing
    long nMaxX = 0, nMaxY = 0;          // |m| <= nMaxX, |n| <= nMaxY on the grid
    int nFftX = 0, nFftY = 0;           // the field's transform sizes (0 without a field)
    double dWaveVectors = 0;            // wave vectors (radial wavenumbers) whose modes are found
    double dEntries = 0;                // terms of the synthesis: those and their mirror images
    // A band-limited load on a lattice: the dynamic part on this grid within dDynamicRadius, the
    // quasi-static part on a small lattice of its own (SourceNearField.h).
    bool bSplit = false;
    double dDynamicRadius = 0;
    double dSpeed = 0;                  // the fastest front the periods allow for (mm/us)
    double dNearVectors = 0;            // the near field's wave vectors at its largest period
    double dNearPeriod = 0;             // the period it took (set by the run)
};

// Empty on success, else why the run cannot be made.
std::string MakeSourceGrid(const CProblem& problem, const CSourceRequest& request, CSourceGrid& grid);
// Empty when the run stays within the bounds (grid, work, memory), else why not. Finds the split's
// disc (request.dDynamicRadius) where the run has one.
std::string CheckSourceRunSize(const CProblem& problem, CSourceRequest& request, int points);

struct CSourceResult {
    std::vector<double> time;                  // the output times of the receivers' curves
    std::vector<std::vector<double>> curves;   // one per receiver
    std::vector<double> field;                 // [nT][nY][nX], x fastest
    CSourceGrid grid;
    int nUnknowns = 0;
    double dAssemblySeconds = 0, dEigenSeconds = 0, dSynthesisSeconds = 0;
    bool bBinned = false;                      // the receivers' modes were binned in frequency
    // The split's atlas of in-band modes (ModeAtlas.h), where it took one: its nodes, the nodes
    // marked near a crossing, the disc's vectors solved exactly all the same, its build time.
    size_t nAtlasNodes = 0, nAtlasMarked = 0, nExactVectors = 0;
    double dAtlasSeconds = 0;
    std::string error;
};

CSourceResult SolvePointSource(const CProblem& problem, const CSourceRequest& request, const CRunOptions& options);

// The most wave vectors of a run and the most values of the field's transform (per time); the
// field's memory is bounded by kMaxFieldBytes (SourceField.h).
inline constexpr double kMaxWaveVectors = 4e6;
inline constexpr double kMaxFieldTransform = double(1 << 26);

// About how many modes each term of a run's field carries (for its memory bound): the modes below
// the highest frequency synthesised, counted along x over the disc of the wave vectors.
double FieldModesEstimate(const CProblem& problem, const CSourceGrid& grid);

}  // namespace numerics
