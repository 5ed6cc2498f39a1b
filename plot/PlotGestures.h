#pragma once
// Mouse and keyboard gestures on a plot, shared by every plot window (the QPainter PlotWidget
// and the OpenGL curve view), so zooming feels the same everywhere:
//   wheel                 zooms the x axis about the pointer (Ctrl: the y axis);
//   left drag             zooms to the dragged rectangle (a drag under 4 pixels is a click);
//   middle drag           pans, the data following the pointer;
//   + / -                 zoom x in / out about the middle (Ctrl: y);
//   arrow keys            pan by a tenth of the shown range;
//   Home                  Overview (the full range).
// The caller owns the ViewState and the plot rectangle (in widget pixels, y down), feeds the
// events and repaints when a call returns true.

#include <QPoint>
#include <QPointF>
#include <QRectF>
#include <Qt>

#include <optional>

#include "PlotModel.h"

namespace plot {

class PlotGestures {
public:
    static constexpr double kWheelFactor = 0.8;  // shown extent per wheel notch (120 units) forwards
    static constexpr double kKeyFactor = 0.8;
    static constexpr double kPanFraction = 0.1;
    static constexpr double kClickPixels = 4;    // a left drag shorter than this is a click

    // angleDelta in the units of QWheelEvent::angleDelta().y() (120 per notch).
    bool Wheel(ViewState& view, const QRectF& plotRect, QPointF pos, int angleDelta, Qt::KeyboardModifiers modifiers);
    // Starts a drag when the press is inside the plot rectangle; true when one started.
    bool Press(const QRectF& plotRect, QPointF pos, Qt::MouseButton button);
    // Follows the pointer: a pan changes the view at once (true); a rectangle only grows.
    bool Move(ViewState& view, const QRectF& plotRect, QPointF pos);
    // Ends a drag; a rectangle zoom happens here (true when the view changed).
    bool Release(ViewState& view, const QRectF& plotRect, QPointF pos, Qt::MouseButton button);
    // Qt::Key_... values; true when the key was one of ours (the view may not have changed).
    bool Key(ViewState& view, int key, Qt::KeyboardModifiers modifiers);
    void Cancel() { m_drag = Drag::None; }

    // The rectangle being dragged out (widget pixels), for drawing a rubber band.
    std::optional<QRectF> RubberBand() const;
    bool Dragging() const { return m_drag != Drag::None; }

private:
    enum class Drag { None, Rectangle, Pan };
    Drag m_drag = Drag::None;
    QPointF m_start;
    QPointF m_last;
};

}  // namespace plot
