#pragma once
// What the wave-field window shows, without the window: a frame of the field as a colour grid
// with the source and the picked point marked, the time series of one point, the nearest grid
// point under the pointer, a range with equal millimetres on both axes, and the names of the
// numbered frame images.

#include <QString>

#include <optional>
#include <utility>

#include "FieldFile.h"
#include "PlotPainter.h"

// One point of the field's grid: column ix of /x, row iy of /y.
struct CFieldPoint {
    int ix = 0;
    int iy = 0;
    bool operator==(const CFieldPoint&) const = default;
};

// How the colours are scaled: to the largest |value| of every frame (fronts keep their colour as
// they spread and fade) or of the frame shown (a faint late frame still shows its fronts).
enum class EWaveFieldScale { AllFrames, ThisFrame };

// The largest |value| of one frame, or of all of them (frame -1).
double WaveFieldPeak(const numerics::CFieldFile& field, int frame);

// Frame `frame` as a grid of cells centred on the points (a single row or column gets the other
// axis' step, a single point 1 mm), titled by its time, on a symmetric scale; the source at the
// origin is marked when it lies in the rectangle, and so is the picked point.
plot::PlotContent WaveFieldFrameContent(const numerics::CFieldFile& field, int frame, EWaveFieldScale scale,
                                        const std::optional<CFieldPoint>& picked);

// The grid point nearest to p; none outside the cells.
std::optional<CFieldPoint> WaveFieldPointAt(const numerics::CFieldFile& field, plot::Point p);

// The time series of one point ("W at (x, y) mm") with a vertical line at the frame's time.
plot::PlotContent WaveFieldSeriesContent(const numerics::CFieldFile& field, CFieldPoint point, int frame);

// r widened on one axis, about its middle, so that a millimetre takes as many pixels across as
// up on a plot rectangle of the given size.
// The time of a frame as read-outs write it (against the field's last time: "0", not "1e-17").
QString FrameTimeText(const numerics::CFieldFile& field, int frame);

plot::Range EqualAspect(const plot::Range& r, QSizeF pixels);

// "<dir>/<stem>_0001.png" for the first of count frames, from the chosen "<dir>/<stem>.png":
// at least four digits, more when count needs them, so that the files sort in their order.
QString FrameFileName(const QString& chosen, int index, int count);
