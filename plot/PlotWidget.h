#pragma once
// A ready plot window for curves and colour grids: paints a PlotContent with PaintPlot, zooms
// and pans with PlotGestures (wheel, Ctrl+wheel, left-drag rectangle, middle-drag pan, + - arrows
// Home), reports the value under the pointer and the nearest series point as a read-out text
// (connect readoutChanged to a status bar), and exports what it shows.
//
//   auto* w = new plot::PlotWidget;
//   plot::PlotContent c;  c.x = {"f", "MHz"};  c.y = {"c_p", "mm/us"};
//   c.series.push_back({"A0", "mm/us", plot::SeriesColour(0), 1.0, plot::Series::Style::Line, false, points});
//   w->SetContent(std::move(c));                 // shows the overview of all series
//   connect(w, &plot::PlotWidget::readoutChanged, statusBar, [=](const QString& t) { statusBar->showMessage(t); });
//   w->ExportCsv("modes.csv", &error);  w->ExportImage("modes.svg", QSize(800, 500), &error);  w->CopyImage();

#include <QWidget>

#include <optional>

#include "PlotGestures.h"
#include "PlotPainter.h"

namespace plot {

class PlotWidget : public QWidget {
    Q_OBJECT
public:
    explicit PlotWidget(QWidget* parent = nullptr);

    // Replaces what is shown; the full range becomes the data's (with 2 % room) and is shown.
    void SetContent(PlotContent content);
    // Replaces the content but keeps the range on show (for data that grows while a run goes).
    void UpdateContent(PlotContent content);
    const PlotContent& Content() const { return m_content; }

    ViewState& View() { return m_view; }
    const ViewState& View() const { return m_view; }
    void SetStyle(const PlotStyle& style);
    const PlotStyle& Style() const { return m_style; }

    // The frame's rectangle in widget pixels.
    QRectF PlotArea() const;

    void Overview();
    void ZoomIn();   // x axis, about the middle
    void ZoomOut();

    // CSV of all series (format in SeriesCsv.h); image by suffix (.png, .svg) at size.
    bool ExportCsv(const QString& path, QString* error) const;
    bool ExportImage(const QString& path, QSize size, QString* error, bool gridLines = false) const;
    // The plot as shown, at widget size, onto the clipboard.
    void CopyImage() const;
    QImage RenderImage(QSize size) const;

    // The last read-out (empty while the pointer is outside the plot).
    const QString& Readout() const { return m_readout; }

signals:
    void readoutChanged(const QString& text);
    // The line under the pointer (within a few pixels) and its point nearest to the pointer;
    // (-1, -1) when the pointer leaves it.
    void hoveredPoint(int series, int index);
    // A left click (press and release closer than PlotGestures::kClickPixels on both axes) near
    // a series point (within 30 pixels).
    void pointClicked(int series, int index);
    void viewChanged();
    // Any such click inside the plot, at this data point.
    void clicked(QPointF dataPoint);

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void Changed();
    void UpdateReadout(QPointF pos);
    Range FullRangeOf(const PlotContent& content) const;

    PlotContent m_content;
    PlotStyle m_style;
    ViewState m_view;
    PlotGestures m_gestures;
    QString m_readout;
    std::optional<QPointF> m_pressAt;  // where the left button went down, for a click
    std::pair<int, int> m_hovered{-1, -1};
};

}  // namespace plot
