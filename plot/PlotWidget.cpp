#include "PlotWidget.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

namespace plot {

namespace {
// A line farther from the pointer than this is not the one it points at: its read-out waits.
constexpr double kReadoutPixels = 8;
}

PlotWidget::PlotWidget(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(160, 120);
    m_style.font = font();
    m_view.SetFullRange(Range{0, 1, 0, 1});
}

Range PlotWidget::FullRangeOf(const PlotContent& content) const {
    std::optional<Range> r = DataRange(content.series);
    if (content.grid && content.grid->nx > 0 && content.grid->ny > 0)
        r = Union(r, content.grid->extent);
    if (!r)
        return Range{0, 1, 0, 1};
    // A colour grid fills its extent exactly; curves get a little room.
    return content.series.empty() ? Padded(*r, 0.0) : Padded(*r, 0.02);
}

void PlotWidget::SetContent(PlotContent content) {
    m_content = std::move(content);
    m_view.SetFullRange(FullRangeOf(m_content));
    Changed();
}

void PlotWidget::UpdateContent(PlotContent content) {
    m_content = std::move(content);
    const Range shown = m_view.Shown();
    m_view.SetFullRange(FullRangeOf(m_content));
    m_view.SetShown(shown);
    update();
}

void PlotWidget::SetStyle(const PlotStyle& style) {
    m_style = style;
    update();
}

QRectF PlotWidget::PlotArea() const { return PlotRect(QRectF(rect()), m_content, m_view.Shown(), m_style); }

void PlotWidget::Overview() {
    m_view.Overview();
    Changed();
}

void PlotWidget::ZoomIn() {
    m_gestures.Key(m_view, Qt::Key_Plus, Qt::NoModifier);
    Changed();
}

void PlotWidget::ZoomOut() {
    m_gestures.Key(m_view, Qt::Key_Minus, Qt::NoModifier);
    Changed();
}

void PlotWidget::Changed() {
    update();
    emit viewChanged();
}

bool PlotWidget::ExportCsv(const QString& path, QString* error) const {
    const std::string text = SeriesCsvText(m_content.series, m_content.x);
    return SaveFileAtomically(path, QByteArray::fromStdString(text), error);
}

bool PlotWidget::ExportImage(const QString& path, QSize size, QString* error, bool gridLines) const {
    PlotStyle style = m_style;
    style.gridLines = style.gridLines || gridLines;
    return ExportPlotImage(path, size, m_content, m_view.Shown(), style, error);
}

QImage PlotWidget::RenderImage(QSize size) const {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    PaintPlot(painter, QRectF(QPointF(0, 0), QSizeF(size)), m_content, m_view.Shown(), m_style);
    return image;
}

void PlotWidget::CopyImage() const {
    if (QClipboard* clipboard = QApplication::clipboard())
        clipboard->setImage(RenderImage(size()));
}

void PlotWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintPlot(painter, QRectF(rect()), m_content, m_view.Shown(), m_style);
    if (const std::optional<QRectF> band = m_gestures.RubberBand()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(*band);
    }
}

void PlotWidget::wheelEvent(QWheelEvent* event) {
    if (m_gestures.Wheel(m_view, PlotArea(), event->position(), event->angleDelta().y(), event->modifiers()))
        Changed();
    event->accept();
}

void PlotWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        m_pressAt = event->position();
    if (!m_gestures.Press(PlotArea(), event->position(), event->button()))
        QWidget::mousePressEvent(event);
}

void PlotWidget::mouseMoveEvent(QMouseEvent* event) {
    if (m_gestures.Move(m_view, PlotArea(), event->position())) {
        if (!m_gestures.RubberBand())
            emit viewChanged();
        update();
    }
    UpdateReadout(event->position());
}

void PlotWidget::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = event->button() == Qt::LeftButton && m_pressAt &&
                       std::abs(event->position().x() - m_pressAt->x()) < PlotGestures::kClickPixels &&
                       std::abs(event->position().y() - m_pressAt->y()) < PlotGestures::kClickPixels;
    if (event->button() == Qt::LeftButton)
        m_pressAt.reset();
    if (m_gestures.Release(m_view, PlotArea(), event->position(), event->button()))
        Changed();
    update();  // the rubber band goes
    const QRectF area = PlotArea();
    if (click && area.contains(event->position())) {
        const Mapping map{m_view.Shown(), area};
        const Point p = map.ToData(event->position());
        emit clicked(QPointF(p.x, p.y));
        const std::optional<Nearest> nearest = NearestPoint(m_content.series, p, map.PixelsPerX(), map.PixelsPerY(),
                                                            m_view.Shown(), kReadoutPixels);
        if (nearest)
            emit pointClicked(int(nearest->series), int(nearest->index));
    }
}

void PlotWidget::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && m_gestures.Dragging()) {
        m_gestures.Cancel();
        update();
        return;
    }
    if (m_gestures.Key(m_view, event->key(), event->modifiers()))
        Changed();
    else
        QWidget::keyPressEvent(event);
}

void PlotWidget::leaveEvent(QEvent* event) {
    if (!m_readout.isEmpty()) {
        m_readout.clear();
        emit readoutChanged(m_readout);
    }
    if (m_hovered.first >= 0) {
        m_hovered = {-1, -1};
        emit hoveredPoint(-1, -1);
    }
    QWidget::leaveEvent(event);
}

void PlotWidget::UpdateReadout(QPointF pos) {
    const QRectF area = PlotArea();
    QString text;
    std::optional<Nearest> nearest;
    if (area.contains(pos)) {
        const Mapping map{m_view.Shown(), area};
        const Point p = map.ToData(pos);
        nearest = NearestLine(m_content.series, p, map.PixelsPerX(), map.PixelsPerY(), m_view.Shown(), kReadoutPixels);
        text = ReadoutText(m_content, m_view.Shown(), p, nearest);
    }
    const std::pair<int, int> hovered = nearest ? std::pair{int(nearest->series), int(nearest->index)} : std::pair{-1, -1};
    if (hovered != m_hovered) {
        m_hovered = hovered;
        emit hoveredPoint(hovered.first, hovered.second);
    }
    if (text != m_readout) {
        m_readout = text;
        emit readoutChanged(m_readout);
    }
}

}  // namespace plot
