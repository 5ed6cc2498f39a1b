#include "PlotGestures.h"

#include <cmath>

#include "PlotPainter.h"

namespace plot {

namespace {
}

bool PlotGestures::Wheel(ViewState& view, const QRectF& plotRect, QPointF pos, int angleDelta,
                         Qt::KeyboardModifiers modifiers) {
    if (angleDelta == 0 || !plotRect.isValid())
        return false;
    const double factor = std::pow(kWheelFactor, angleDelta / 120.0);
    const Point about = Mapping{view.Shown(), plotRect}.ToData(pos);
    const Range before = view.Shown();
    if (modifiers & Qt::ControlModifier)
        view.ZoomAbout(about, 1.0, factor);
    else
        view.ZoomAbout(about, factor, 1.0);
    return !(view.Shown() == before);
}

bool PlotGestures::Press(const QRectF& plotRect, QPointF pos, Qt::MouseButton button) {
    if (!plotRect.contains(pos) || (button != Qt::LeftButton && button != Qt::MiddleButton))
        return false;
    m_drag = button == Qt::LeftButton ? Drag::Rectangle : Drag::Pan;
    m_start = m_last = pos;
    return true;
}

bool PlotGestures::Move(ViewState& view, const QRectF& plotRect, QPointF pos) {
    if (m_drag == Drag::None)
        return false;
    if (m_drag == Drag::Rectangle) {
        m_last = pos;
        return true;  // the rubber band moved
    }
    const Mapping map{view.Shown(), plotRect};
    const Point a = map.ToData(m_last);
    const Point b = map.ToData(pos);
    m_last = pos;
    view.Pan(a.x - b.x, a.y - b.y);
    return true;
}

bool PlotGestures::Release(ViewState& view, const QRectF& plotRect, QPointF pos, Qt::MouseButton button) {
    const Drag drag = m_drag;
    if (drag == Drag::None || (drag == Drag::Rectangle) != (button == Qt::LeftButton))
        return false;
    if (drag == Drag::Pan) {
        const bool moved = Move(view, plotRect, pos);
        m_drag = Drag::None;
        return moved;
    }
    m_drag = Drag::None;
    // Only the part inside the plot counts; a click or a thin stroke changes nothing on that axis.
    const QPointF end(std::clamp(pos.x(), plotRect.left(), plotRect.right()),
                      std::clamp(pos.y(), plotRect.top(), plotRect.bottom()));
    const bool wide = std::abs(end.x() - m_start.x()) >= kClickPixels;
    const bool tall = std::abs(end.y() - m_start.y()) >= kClickPixels;
    if (!wide && !tall)
        return false;
    const Mapping map{view.Shown(), plotRect};
    Point a = map.ToData(m_start);
    Point b = map.ToData(end);
    if (!wide)
        b.x = a.x;
    if (!tall)
        b.y = a.y;
    view.ZoomTo(a, b);
    return true;
}

bool PlotGestures::Key(ViewState& view, int key, Qt::KeyboardModifiers modifiers) {
    const Range& r = view.Shown();
    const Point centre{0.5 * (r.xMin + r.xMax), 0.5 * (r.yMin + r.yMax)};
    const bool valueAxis = modifiers & Qt::ControlModifier;
    auto zoom = [&](double f) {
        if (valueAxis)
            view.ZoomAbout(centre, 1.0, f);
        else
            view.ZoomAbout(centre, f, 1.0);
    };
    switch (key) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: zoom(kKeyFactor); return true;
    case Qt::Key_Minus: zoom(1.0 / kKeyFactor); return true;
    case Qt::Key_Left: view.PanByFraction(-kPanFraction, 0); return true;
    case Qt::Key_Right: view.PanByFraction(kPanFraction, 0); return true;
    case Qt::Key_Up: view.PanByFraction(0, kPanFraction); return true;
    case Qt::Key_Down: view.PanByFraction(0, -kPanFraction); return true;
    case Qt::Key_Home: view.Overview(); return true;
    default: return false;
    }
}

std::optional<QRectF> PlotGestures::RubberBand() const {
    if (m_drag != Drag::Rectangle)
        return std::nullopt;
    return QRectF(m_start, m_last).normalized();
}

}  // namespace plot
