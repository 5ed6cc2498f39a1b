#pragma once
// What the curve view's screen picture is drawn from besides the curves: the view's colours and
// line width, the range on show, the axis letter and how segments meet the frame; and the rule
// by which a segment is drawn.

#include "PlotModel.h"

struct CurveLook {
    plot::Rgb background = plot::MakeRgb(255, 255, 255);
    float lineWidth = 0.5f;
    float xMin = 0, xMax = 0, yMin = 0, yMax = 0;  // the range on show
    int labelComp = 0;
    bool cutAtFrame = false;  // zoomed: segments are cut at the frame (else skipped whole)
};

// Whether the segment p-q of a curve is drawn under the view's rules: whole when both ends lie
// in the range [xMin, xMax] x [yMin, yMax]; when cut (a zoomed view), also the part of it
// inside the range (p and q are then moved onto the frame). Non-finite ends are never drawn.
bool VisibleSegment(plot::Point& p, plot::Point& q, float xMin, float xMax, float yMin, float yMax, bool cut);
