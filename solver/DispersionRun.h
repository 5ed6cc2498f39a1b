#pragma once
// The "Dispersion curves..." run: the document's stack (composite or FGM, plate or shell) is
// written as solver input into "bin/dispersion" (or "binFGM/dispersion"), so the project's own
// input and result in "bin" stay as they are; the solver runs there with --dispersion over the
// range, through the same runner (progress window and Cancel) as Execute, and its table is read.

#include <memory>
#include <string>
#include <vector>

#include "SolverInput.h"

class COstrelDoc;

struct CDispersionSettings {
    int nProject = 0;            // 0 composite, 1 FGM
    bool bPerThickness = true;   // the range is frequency times thickness (MHz mm), else MHz
    double dFrom = 0;
    double dTo = 2;
    int nPoints = 200;           // wavenumbers sampled
    int nModes = 8;
    int nElementOrder = 0;       // through the thickness: 0 the solver's choice, else fixed
};

struct CDispersionMode {
    std::string strName;                       // "A0", "SH1", "M3"
    std::vector<double> frequency, wavenumber;  // MHz, 1/mm
    std::vector<double> phase, group;           // mm/us
    // Energy velocity along and across the wave vector (mm/us), the skew angle between them
    // (degrees) and the mass-normalised mode's top displacement (U, V, W): all 0 in a table of
    // four numbers a line.
    std::vector<double> energyX, energyY, skew;
    std::vector<double> top[3];
};

struct CDispersionTable {
    std::vector<CDispersionMode> modes;
    double dThickness = 0;  // mm, for frequency-thickness axes
    bool bMirrorSymmetric = false;  // the table's first line says so: families S and A
    // The stack the table was computed for, as the solver saw it (for mode shapes), and the
    // project's load direction and output component (0 x, 1 y, 2 z).
    std::shared_ptr<const numerics::CProblem> stack;
    int nLoad = 2, nOutput = 2;
};

// Why the settings cannot be run (a sentence), empty when they can.
std::string CheckDispersionSettings(const CDispersionSettings& s);
// The solver's arguments for the settings, the table going to `output`; "--order P" last for a
// fixed element order.
std::vector<std::string> DispersionArguments(const CDispersionSettings& s, const std::string& output);
// Reads the table the solver writes; empty on success, else the line at fault and why.
std::string ParseDispersionTable(const std::string& text, CDispersionTable& out);
// The solver input of a stack parsed as a dispersion run parses it (no output times): empty on
// success, else why the stack cannot be computed.
std::string ParseStack(const std::string& text, int project, int order, numerics::CProblem& problem);

enum class DispersionOutcome { Done, Refused, Cancelled, Failed };
// The whole run; every failure is told to the user through the document's messages.
DispersionOutcome RunDispersion(COstrelDoc& doc, const CDispersionSettings& s, CDispersionTable& out);

inline constexpr const char* kDispersionDir = "dispersion";
inline constexpr const char* kDispersionFile = "dispersion.dat";
