#pragma once
// "ft.dat" from the settings of the "Sampled load..." form, and the text of those settings (kept
// with the project's own settings, ProjectSettings.h). Samples are what the solver reads:
// "time value" per line, times in us.

#include <string>
#include <vector>

#include "ProjectKind.h"
#include "SampledLoad.h"

class COstrelDoc;

struct CLoadSamples {
    std::vector<double> times, values;
};

// The most samples a load may have (the solver carries every piece for every mode).
inline constexpr std::size_t kMaxLoadSamples = 200000;

// Empty when the settings make a load, else why not (one sentence for a message box).
std::string CheckSampledLoad(const CSampledLoad& load);
// The samples: a tone burst and a pulse from their start to their end, a step from its start
// to m_dEnd, an import as it was read. Empty when CheckSampledLoad refuses the settings.
CLoadSamples SampleLoad(const CSampledLoad& load);
// The sample interval the shape chooses when m_dInterval is 0.
double AutomaticInterval(const CSampledLoad& load);

// "ft.dat" text: one "%.10g %.10g" line per sample.
std::string FormatLoadSamples(const CLoadSamples& samples);

// A measurement: two columns (time in us, value) separated by blanks, tabs, a comma or a
// semicolon; blank lines and lines starting with '#' skipped, and a first line of column names.
// Times must increase. Empty on success, else the line at fault and why.
std::string ParseLoadTable(const std::string& text, CLoadSamples& out);

// The settings file: "key value" lines, the imported samples after "samples N".
std::string FormatLoadSettings(const CSampledLoad& load);
std::string ParseLoadSettings(const std::string& text, CSampledLoad& out);

// Writes "ft.dat" (atomically) into the kind's run directory and the settings beside its project
// file (ProjectSettings.h); stores the settings in the document. False with a message text on
// failure.
bool WriteSampledLoad(COstrelDoc& doc, const CProjectKind& kind, const CSampledLoad& load, std::string* error);
// Just "ft.dat" and the document's copy: for settings read back with the project.
bool WriteSampledLoadCurve(COstrelDoc& doc, const CProjectKind& kind, const CSampledLoad& load, std::string* error);
