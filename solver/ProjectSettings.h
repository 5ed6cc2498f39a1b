#pragma once
// The program's own settings of a project, kept in one file beside its project file
// ("input/<title>.settings", "inputFGM/<title>.settings"), so that they travel with the project
// and the project file itself stays as it is: the element order its runs take through the
// thickness, the settings of its wave field and the sampled load that makes its "ft.dat". A ".load" file that earlier versions
// kept beside a project still reads, as its sampled load.

#include <string>

#include "ProjectKind.h"
#include "SampledLoad.h"
#include "WaveFieldSettings.h"

class COstrelDoc;

struct CProjectSettings {
    int elementOrder = 0;          // 0: the solvers choose; 1..kMaxElementOrder fixed
    bool hasElementOrder = false;  // a ".load" file from before names none
    CWaveFieldSettings waveField;  // m_bDefined when the project has them
    CSampledLoad sampledLoad;      // m_bDefined when the project has one
};

// "order N", the wave field's lines ("wave-field-x X0 X1 NX", ...), then the sampled load's own
// lines after "sampled-load". Settings that later
// versions add are other "key value" lines before it; a reader skips those it does not know.
std::string FormatProjectSettings(const CProjectSettings& settings);
// Empty on success, else the line at fault and why. An order the solvers would refuse reads
// as automatic, the safe choice.
std::string ParseProjectSettings(const std::string& text, CProjectSettings& out);

// "x/title.dat" -> "x/title.settings".
std::string ProjectSettingsPath(const std::string& projectPath);

// What the document holds for the kind's project.
CProjectSettings SettingsOf(const COstrelDoc& doc, const CProjectKind& kind);
// Writes them beside the kind's project file ("<projectDir>/<title>.settings"); a title that
// names no file has none. False with the reason.
bool WriteProjectSettings(const COstrelDoc& doc, const CProjectKind& kind, std::string* error);

// The settings beside a project file, or its ".load" file from before. False when it has
// neither; false with *error set when they cannot be read.
bool ReadProjectSettings(const std::string& projectPath, CProjectSettings& out, std::string* error);
// After a project file was opened: its settings into the document, and its "ft.dat" made
// again. Nothing happens without settings; settings that do not read are reported.
void RestoreProjectSettings(COstrelDoc& doc, const CProjectKind& kind, const std::string& projectPath);
