#pragma once
// The curve view's picture in fixed-function OpenGL: frame, ticks and labels, the document's
// curve, the added curves with their legend, and the rubber band of a zoom. What it shows is
// described by a scene; the geometry (the plot in the middle half of the window, the labels at
// their pixel offsets) is PlotGeometry's.

#include <QFont>
#include <QRectF>
#include <QtGui/qopengl.h>

#include <optional>
#include <span>
#include <string>

#include "CurveLook.h"
#include "PlotGeometry.h"
#include "PlotModel.h"

class QOpenGLFunctions_1_1;

struct CGlCurveScene : CurveLook {
    int width = 0, height = 0;  // device pixels
    plot::Rgb curveColour = plot::MakeRgb(0, 0, 255);
    const CCurvePoint* curve = nullptr;  // the document's curve, read in place
    long long points = 0;
    std::span<const plot::Series> overlays;
    std::string mainName;                // the document's curve in the legend
    std::optional<QRectF> band;          // the rubber band, widget coordinates
    double pixelRatio = 1;
};

// Clears the window to the background colour (the first step of every frame).
void ClearCurveScene(QOpenGLFunctions_1_1& gl, plot::Rgb background);
// Draws the scene in the current context, the projection set to the window's pixels; font is
// the base of the label glyphs (BuildGlyphLists) made from labelFont.
void DrawCurveScene(QOpenGLFunctions_1_1& gl, GLuint font, const QFont& labelFont, const CGlCurveScene& scene);
