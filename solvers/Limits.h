#pragma once
// Every bound the solvers put on their input, in one place (docs/solvers.md lists them). A value
// outside its bound is physically absurd or would overflow the arithmetic; a run larger than the
// work bounds would not finish in reasonable time on a desktop machine. All are refused with a
// message before anything is computed.

#include <cstddef>

namespace numerics {

// Per field of the input files.
inline constexpr double kMinLength = 1e-9;       // thickness of a layer, shell radius (mm)
inline constexpr double kMaxLength = 1e6;
inline constexpr double kMaxAngle = 360;         // fibre angle, degrees either way
inline constexpr double kMinModulus = 1e-9;      // E1, E2, G12, E (GPa)
inline constexpr double kMaxModulus = 1e7;
inline constexpr double kMaxPoisson = 10;        // |v12| of a ply (v23 and the FGM v have tighter ones)
inline constexpr double kMinDensity = 1e-6;      // g/cm3
inline constexpr double kMaxDensity = 1e3;
inline constexpr double kMinCutoff = 1e-3;       // the dimensionless cut-off constant
inline constexpr double kMaxCutoff = 1e3;
inline constexpr double kMaxTime = 1e6;          // |t| of the window and of the load samples (us)
inline constexpr double kMaxFrequency = 1e6;     // |omega| of a cosine or sine load (rad/us)
inline constexpr double kMaxDistance = 1e6;      // |x| of the receiving point (mm)
inline constexpr double kMaxCount = 1e9;         // any count in a file; above it "too large"
inline constexpr double kMaxMaterials = 100000;  // the material count of "input.d"

// The sampled load ("ft.dat").
inline constexpr double kMaxLoadValue = 1e12;
inline constexpr double kMinLoadStep = 1e-9;     // us between two samples
inline constexpr size_t kMaxLoadSamples = 2000000;

// Files read.
inline constexpr size_t kMaxInputBytes = 16u << 20;   // "input.d", "inputfgm.dat"
inline constexpr size_t kMaxLoadBytes = 128u << 20;   // "ft.dat"

// Model and run size.
inline constexpr size_t kMaxElements = 500;           // elements through the thickness in all
inline constexpr int kMaxOrder = 64;                  // polynomial order of an element (--order)
inline constexpr int kMaxUnknowns = 3003;             // unknowns of the model (three per node)
inline constexpr size_t kMaxWavenumbers = 400000;     // wavenumbers or circumferential orders
inline constexpr int kMaxPoints = 100000;             // --points
inline constexpr int kMaxThreads = 256;               // --threads
inline constexpr int kMaxModes = 10000;               // --modes
inline constexpr double kMaxKappa = 1e6;              // a --dispersion KAPPA, either sign
// Work of a run, as counted by EstimateRunWork (RunWork.h) in units of about a nanosecond of
// processor time on one core of the development machine: about half an hour of it (a quarter of
// an hour on its two cores).
inline constexpr double kMaxRunWork = 2e12;

}  // namespace numerics
