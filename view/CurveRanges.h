#pragma once
// The curve view's range and read-out in plot types: the document keeps the range on show and
// its full range in 32-bit floats; the view adds curves of its own, which the full range must
// cover. No widgets, so the rules are tested alone.

#include <QPointF>
#include <QRectF>
#include <QString>

#include <span>

#include "PlotModel.h"

class COstrelDoc;

// The range the document shows.
plot::Range ShownRangeOf(const COstrelDoc& doc);
// The document's full range widened to cover every added curve.
plot::Range FullRangeOf(const COstrelDoc& doc, std::span<const plot::Series> added);
// Whether the range on show is other than the full one (compared in the document's floats).
bool IsZoomed(const COstrelDoc& doc, std::span<const plot::Series> added);
// Makes r the document's range on show.
void WriteShownRange(COstrelDoc& doc, const plot::Range& r);
// Whether the document's 32-bit floats can hold r.
bool FitsInFloats(const plot::Range& r);

// The status-bar text for the pointer at pos inside the plot rectangle area (widget pixels):
// the values under it and the nearest point of any curve on show, measured on screen.
QString CurveReadoutText(const COstrelDoc& doc, std::span<const plot::Series> added, const QRectF& area,
                         QPointF pos);
