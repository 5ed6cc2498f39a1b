#pragma once
// The curve view's picture drawn with QPainter instead of OpenGL, for "Export image..." (PNG,
// and SVG where frame, labels and curves are vector elements). Same geometry as the screen:
// the plot in the middle half, the labels at their pixel offsets, the same colours and widths.

#include <QFont>
#include <QSize>

#include <vector>

#include "PlotGeometry.h"
#include "PlotModel.h"

class QPainter;

// What the screen and the exported picture share: the view's colours and line width, the range
// on show, the axis letter and how segments meet the frame.
struct CurveLook {
    plot::Rgb background = plot::MakeRgb(255, 255, 255);
    float lineWidth = 0.5f;
    float xMin = 0, xMax = 0, yMin = 0, yMax = 0;  // the range on show
    int labelComp = 0;
    bool cutAtFrame = false;  // zoomed: segments are cut at the frame (else skipped whole)
};

struct CurvePicture : CurveLook {
    bool loaded = false;                // without a curve only the background is drawn
    std::vector<plot::Series> series;  // [0] the document's curve, then the added ones
    bool legend = false;
};

// Paints the picture onto a device of the given size (one unit a pixel).
void PaintCurvePicture(QPainter& painter, QSize size, const CurvePicture& picture, const QFont& font);
// The picture as an image file (PNG, or SVG by the suffix; plot::ExportImageFile).
bool ExportCurvePicture(const QString& path, QSize size, const CurvePicture& picture, const QFont& font,
                        const QString& title, QString* error);

// Whether the segment p-q of a curve is drawn under the view's rules: whole when both ends lie
// in the range [xMin, xMax] x [yMin, yMax]; when cut (a zoomed view), also the part of it
// inside the range (p and q are then moved onto the frame). Non-finite ends are never drawn.
bool VisibleSegment(plot::Point& p, plot::Point& q, float xMin, float xMax, float yMin, float yMax, bool cut);
