#pragma once
// What the curve view shows, in words and as plot series: the description in the title and
// status bar ("W (mm) at x = 10 mm, H(t) load"), the document's curve as a series, and the
// curves a user adds from files (a result file, or a CSV file such as a measured signal).
// No OpenGL and no widgets, so all of it is tested alone.

#include <string>
#include <vector>

#include "PlotGeometry.h"
#include "PlotModel.h"

class COstrelDoc;

// Units of the solvers' results: time in microseconds, displacement in millimetres.
inline constexpr const char* kTimeUnit = "us";
inline constexpr const char* kDisplacementUnit = "mm";

// "U", "V", "W" for 1, 2, 3; "" otherwise.
std::string ComponentLetter(int component);
// The load-type names of the parameter forms: 1 "H(t)", 2 "Deta(t)", 3 "Exp(iwt)", 4 "Any f(t)",
// 5 "Sin(wt)"; "" for anything else.
std::string LoadTypeName(int loadType);

// "W (mm) at x = 10 mm, H(t) load" for a current result (receiving point and load type of the
// project the result belongs to), "W (mm), kept composite result" for a kept copy whose
// project values are not known here, "W (mm)" when the source is unknown; "" without a curve.
std::string CurveDescription(const COstrelDoc& doc);

// The legend name of the document's curve: "W composite", "W FGM (kept)", or the letter alone.
std::string MainCurveName(const COstrelDoc& doc);
// The document's first m_nPoints points as a series in the given colour: the values its file
// holds where the document has them, else its 32-bit values (which a CSV export writes in
// their shortest form).
plot::Series MainSeries(const COstrelDoc& doc, plot::Rgb colour);

struct LoadedCurves {
    std::vector<plot::Series> series;  // named after the file (and the column, for several)
    std::string error;                 // a message for the user when nothing could be read
    std::string warning;               // a message for the user although curves were read
};
// Reads a curve file: the result format ("count0 count" then pairs of time and value) when
// the file begins with two integers and holds the points it announces, else CSV (see
// plot::ReadSeriesCsv): the first column is the time, every further column a curve.
// Files above maxBytes are refused, and tables of more than ten million rows.
LoadedCurves LoadCurveFile(const std::string& path, std::size_t maxBytes = std::size_t(256) << 20);

// The colour the k-th added curve gets (never the default curve blue).
plot::Rgb OverlayColour(std::size_t k);
