#pragma once
// The "Dispersion curves..." run: the document's stack (composite or FGM, plate or shell) is
// written as solver input into "bin/dispersion" (or "binFGM/dispersion"), so the project's own
// input and result in "bin" stay as they are; the solver runs there with --dispersion over the
// range, through the same runner (progress window and Cancel) as Execute, and its table is read.

#include <string>
#include <vector>

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
};

struct CDispersionTable {
    std::vector<CDispersionMode> modes;
    double dThickness = 0;  // mm, for frequency-thickness axes
};

// Why the settings cannot be run (a sentence), empty when they can.
std::string CheckDispersionSettings(const CDispersionSettings& s);
// The solver's arguments for the settings, the table going to `output`; "--order P" last for a
// fixed element order.
std::vector<std::string> DispersionArguments(const CDispersionSettings& s, const std::string& output);
// Reads the table the solver writes; empty on success, else the line at fault and why.
std::string ParseDispersionTable(const std::string& text, CDispersionTable& out);

enum class DispersionOutcome { Done, Refused, Cancelled, Failed };
// The whole run; every failure is told to the user through the document's messages.
DispersionOutcome RunDispersion(COstrelDoc& doc, const CDispersionSettings& s, CDispersionTable& out);

inline constexpr const char* kDispersionDir = "dispersion";
inline constexpr const char* kDispersionFile = "dispersion.dat";
