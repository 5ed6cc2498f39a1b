#pragma once
// The "Wave field..." run: the project's stack with a point source at the origin of its top
// surface is solved in "bin/wavefield" (or "binFGM/wavefield"), beside the project's own run,
// through the same runner (progress window and Cancel) as Execute; the solver writes the surface
// displacement over the rectangle at the frames' times as an HDF5 file, which is read back.

#include <string>
#include <string_view>
#include <vector>

#include "FieldFile.h"
#include "ProjectKind.h"
#include "WaveFieldSettings.h"

class COstrelDoc;

// Why the settings cannot be run (a sentence), empty when they can.
std::string CheckWaveFieldSettings(const CWaveFieldSettings& s);
// What the form offers for a project that has no wave field yet: its own load direction and
// output component, its time window, a square of 100 mm about the source.
CWaveFieldSettings DefaultWaveField(const CProjectKind& kind, const COstrelDoc& doc);
// The end of the run's time window: the last frame, rounded up to the input's two decimals (the
// solver's plate is as large as that window needs, no larger).
float WaveFieldWindowEnd(const CWaveFieldSettings& s);
// The solver's arguments, the field going to `output`; "--order P" last for a fixed order.
std::vector<std::string> WaveFieldArguments(const CWaveFieldSettings& s, const std::string& output, int elementOrder);

// The settings as lines of the project's settings file ("wave-field-x -50 50 101", ...), and one
// such line read back: false when the key is not one of them. Finish says whether every line was
// there and the whole is runnable; anything less offers the defaults again.
std::string FormatWaveFieldLines(const CWaveFieldSettings& s);
class CWaveFieldLines {
public:
    bool Read(std::string_view key, std::string_view value);
    // The settings read, m_bDefined when complete and runnable.
    CWaveFieldSettings Finish() const;

private:
    CWaveFieldSettings m_settings;
    unsigned m_seen = 0;
    bool m_bad = false;
};

struct CWaveFieldResult {
    numerics::CFieldFile field;
    std::string path;  // the file read, absolute
};

enum class WaveFieldOutcome { Done, Refused, Cancelled, Failed };
// The whole run of the kind's project; every failure is told through the document's messages.
WaveFieldOutcome RunWaveField(COstrelDoc& doc, const CProjectKind& kind, const CWaveFieldSettings& s,
                              CWaveFieldResult& out);

inline constexpr const char* kWaveFieldDir = "wavefield";
inline constexpr const char* kWaveFieldFile = "wavefield.h5";
