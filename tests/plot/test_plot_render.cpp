// The QPainter plot on real paint devices: PNG pixels, SVG elements parsed back, the widget
// driven with real mouse and key events.

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QXmlStreamReader>
#include <QtTest>

#include <cmath>

#include "PlotWidget.h"
#include "../GuiTestMain.h"

using namespace plot;

namespace {

PlotContent Sine(double amplitude) {
    PlotContent c;
    c.x = {"t", "us"};
    c.y = {"W", "mm"};
    Series s;
    s.name = "W";
    s.unit = "mm";
    s.colour = MakeRgb(0, 0, 255);
    for (int i = 0; i <= 40; ++i)
        s.points.push_back({i * 0.25, amplitude * std::sin(i * 0.25)});
    c.series.push_back(s);
    return c;
}

struct SvgContents {
    std::vector<std::vector<QPointF>> polylines;  // in the user space of the document
    QStringList texts;
};

std::vector<QPointF> ParsePoints(const QString& text) {
    std::vector<QPointF> points;
    for (const QString& pair : text.split(' ', Qt::SkipEmptyParts)) {
        const QStringList xy = pair.split(',');
        if (xy.size() == 2)
            points.emplace_back(xy[0].toDouble(), xy[1].toDouble());
    }
    return points;
}

SvgContents ReadSvg(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot open %s", qPrintable(path));
    SvgContents out;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("polyline"))
            out.polylines.push_back(ParsePoints(xml.attributes().value("points").toString()));
        else if (xml.name() == QLatin1String("text"))
            out.texts << xml.readElementText().trimmed();
    }
    if (xml.hasError())
        qFatal("SVG does not parse: %s", qPrintable(xml.errorString()));
    return out;
}

// Pixels of the blue curve, antialiased edges included.
int CountBlue(const QImage& image, const QRect& r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += c.blue() > 200 && c.red() < 160 && c.green() < 160;
        }
    return n;
}

// A pointer move delivered at once (QTest::mouseMove goes through the window system and may
// arrive late when the machine is busy).
void MoveTo(QWidget* w, QPoint pos, Qt::MouseButtons buttons = Qt::NoButton) {
    QMouseEvent e(QEvent::MouseMove, QPointF(pos), w->mapToGlobal(QPointF(pos)), Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

}  // namespace

class TestPlotRender : public QObject {
    Q_OBJECT
private slots:
    void svgHoldsTheCurvePointsAndLabelsAsElements() {
        QTemporaryDir dir;
        const PlotContent content = Sine(2e-6);
        ViewState view;
        view.SetFullRange({0, 10, -2e-6, 2e-6});
        PlotStyle style;
        const QString path = dir.filePath("plot.svg");
        QString error;
        QVERIFY2(ExportPlotImage(path, QSize(640, 400), content, view.Shown(), style, &error), qPrintable(error));

        const SvgContents svg = ReadSvg(path);
        // The curve is one polyline whose vertices are the series points mapped onto the frame.
        const Mapping map{view.Shown(), PlotRect(QRectF(0, 0, 640, 400), content, view.Shown(), style)};
        const std::vector<QPointF>* curve = nullptr;
        for (const auto& line : svg.polylines)
            if (line.size() == content.series[0].points.size())
                curve = &line;
        QVERIFY2(curve, "no polyline with the curve's 41 points");
        for (std::size_t i = 0; i < curve->size(); ++i) {
            const QPointF expected = map.ToPixel(content.series[0].points[i]);
            QVERIFY2(std::abs((*curve)[i].x() - expected.x()) < 0.01 && std::abs((*curve)[i].y() - expected.y()) < 0.01,
                     qPrintable(QString("point %1").arg(i)));
        }
        // Labels are text: the axis titles, the power of ten, scaled tick labels.
        QVERIFY2(svg.texts.contains("t (us)"), qPrintable(svg.texts.join('|')));
        QVERIFY(svg.texts.contains("W (mm)"));
        QVERIFY(svg.texts.contains("x 1e-6"));
        QVERIFY2(svg.texts.contains("2"), qPrintable(svg.texts.join("|")));
        QVERIFY(svg.texts.contains("-1"));
        QVERIFY(svg.texts.contains("10"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"plot.svg"});
    }

    void tickLabelsOfANarrowPlotStandApart() {
        // A mode shape's amplitude axis from -1 to 1 in a narrow panel: six ticks' labels
        // ("-1.0-0.8-0.6...") would run together; fewer stand apart with room between them.
        PlotContent c;
        c.x = {"amplitude", ""};
        c.y = {"z", "mm"};
        Series s;
        s.points = {{-1, 0}, {1, 1}};
        c.series.push_back(s);
        const Range shown{-1.02, 1.02, 0, 1};
        PlotStyle style;
        for (const int width : {200, 260, 640}) {
            QImage image(width, 300, QImage::Format_RGB32);
            {
                QPainter painter(&image);
                PaintPlot(painter, QRectF(0, 0, width, 300), c, shown, style);
            }
            const QRectF frame = PlotRect(QRectF(0, 0, width, 300), c, shown, style);
            const QFontMetricsF fm(style.font);
            // The columns of the label row that hold any text, grouped where a gap of more than
            // one digit's width parts them (from the frame's left edge on, past the value labels).
            std::vector<std::pair<int, int>> labels;
            int lastInk = -100;
            for (int x = int(frame.left()) + 1; x < width; ++x) {
                bool ink = false;
                for (int y = int(frame.bottom()) + 3; y < int(frame.bottom() + 3 + fm.height()); ++y)
                    ink = ink || image.pixelColor(x, y).lightness() < 200;
                if (!ink) continue;
                if (x - lastInk > fm.horizontalAdvance(QLatin1Char('0'))) labels.push_back({x, x});
                labels.back().second = x;
                lastInk = x;
            }
            QVERIFY2(labels.size() >= 3, qPrintable(QString("%1 px: %2 labels").arg(width).arg(labels.size())));
            for (const auto& [from, to] : labels)
                QVERIFY2(to - from < fm.horizontalAdvance(QStringLiteral("-0.00")) + 2,
                         qPrintable(QString("%1 px: labels run together over %2 to %3").arg(width).arg(from).arg(to)));
            if (width == 640) QVERIFY(labels.size() >= 5);  // wide enough for the usual count
        }
    }

    void zoomedPngCutsTheCurveAtTheFrame() {
        PlotContent content = Sine(1.0);
        content.series[0].lineWidth = 1;
        ViewState view;
        view.SetFullRange({0, 10, -1, 1});
        view.ZoomTo({2, -0.5}, {4, 0.5});  // the sine leaves through the top edge
        QImage image(400, 300, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            PaintPlot(painter, image.rect(), content, view.Shown(), PlotStyle{});
        }
        const QRectF frame = PlotRect(image.rect(), content, view.Shown(), PlotStyle{});
        const QRect inside = frame.toAlignedRect().adjusted(2, 2, -2, -2);
        const QRect above(inside.left(), 0, inside.width(), int(frame.top()) - 2);
        QVERIFY(CountBlue(image, inside) > 20);  // the middle of the curve is drawn
        QCOMPARE(CountBlue(image, above), 0);     // nothing leaks out of the frame
        // sin(2) = 0.909 is above the shown range: the left part of the frame has no curve.
        const Mapping map{view.Shown(), frame};
        const int leftEnd = int(map.ToPixel({2.3, 0}).x());
        QCOMPARE(CountBlue(image, QRect(inside.left(), inside.top(), leftEnd - inside.left(), inside.height())), 0);
    }

    void pngAndBadPathsReportWhatFailed() {
        QTemporaryDir dir;
        const PlotContent content = Sine(1);
        const Range shown{0, 10, -1, 1};
        QString error;
        QVERIFY(ExportPlotImage(dir.filePath("a.png"), QSize(300, 200), content, shown, PlotStyle{}, &error));
        QCOMPARE(QImage(dir.filePath("a.png")).size(), QSize(300, 200));
        QVERIFY(!ExportPlotImage(dir.filePath("a.png"), QSize(0, 200), content, shown, PlotStyle{}, &error));
        QVERIFY(!ExportPlotImage(dir.filePath("a.xyz"), QSize(30, 20), content, shown, PlotStyle{}, &error));
        QVERIFY(error.contains("xyz"));
        QVERIFY(!ExportPlotImage(dir.filePath("no/a.png"), QSize(30, 20), content, shown, PlotStyle{}, &error));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.png"});
    }

    void gridIsColourMappedWithABar() {
        PlotContent c;
        Grid g;
        g.nx = 2;
        g.ny = 1;
        g.extent = {0, 2, 0, 1};
        g.values = {-1, 1};
        c.grid = g;
        QImage image(300, 200, QImage::Format_RGB32);
        {
            QPainter painter(&image);
            PaintPlot(painter, image.rect(), c, g.extent, PlotStyle{});
        }
        const QRectF frame = PlotRect(image.rect(), c, g.extent, PlotStyle{});
        const QColor left = image.pixelColor(int(frame.left() + frame.width() / 4), int(frame.center().y()));
        const QColor right = image.pixelColor(int(frame.left() + 3 * frame.width() / 4), int(frame.center().y()));
        QVERIFY(left.blue() > 150 && left.red() < 50);   // -1: blue end
        QVERIFY(right.red() > 150 && right.blue() < 50);  // +1: red end
    }

    void legendOfManyLinesStandsBesideTheFrame() {
        // Thirty dispersion-like lines: the legend goes beside the frame, in columns, and no
        // entry lies over the frame (where it would hide curves and tick labels).
        PlotContent c;
        c.x = {"f h", "MHz mm"};
        c.y = {"c_p", "mm/us"};
        for (int i = 0; i < 30; ++i) {
            Series s;
            s.name = std::string(i % 2 ? "A" : "S") + std::to_string(i / 2);
            SetSeriesLook(s, std::size_t(i));
            for (int k = 0; k <= 20; ++k)
                s.points.push_back({k * 0.1, 1.0 + i * 0.2 + 0.01 * k});
            c.series.push_back(std::move(s));
        }
        const Range shown = Padded(*DataRange(c.series), 0.02);
        const QSize size(900, 600);
        const QRectF frame = PlotRect(QRectF(QPointF(0, 0), QSizeF(size)), c, shown, PlotStyle{});
        QVERIFY(frame.width() > 0.55 * size.width());  // the legend takes no more than its share
        QTemporaryDir dir;
        const QString path = dir.filePath("modes.svg");
        QString error;
        QVERIFY2(ExportPlotImage(path, size, c, shown, PlotStyle{}, &error), qPrintable(error));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QStringList names;
        double leftmost = 1e9;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("text"))
                continue;
            const double x = xml.attributes().value("x").toDouble();
            const QString text = xml.readElementText().trimmed();
            if (text.startsWith('A') || text.startsWith('S')) {
                names << text;
                leftmost = std::min(leftmost, x);
            }
        }
        QCOMPARE(names.size(), 30);
        QVERIFY2(leftmost > frame.right(), qPrintable(QString("legend text at %1, frame ends at %2").arg(leftmost).arg(frame.right())));
    }

    void widgetZoomsPansAndReadsOut() {
        PlotWidget w;
        w.resize(500, 350);
        w.SetContent(Sine(1.0));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const Range full = w.View().FullRange();
        const QRectF area = w.PlotArea();

        // Wheel forwards about the middle: x narrows about the pointer, y stays.
        const QPointF middle = area.center();
        const Point before = Mapping{w.View().Shown(), area}.ToData(middle);
        QWheelEvent wheel(middle, w.mapToGlobal(middle), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(&w, &wheel);
        QVERIFY(w.View().Shown().Width() < full.Width() * 0.81);
        QCOMPARE(w.View().Shown().Height(), full.Height());
        const Point after = Mapping{w.View().Shown(), w.PlotArea()}.ToData(middle);
        QVERIFY(std::abs(after.x - before.x) < 1e-9);

        // Home: the overview.
        QTest::keyClick(&w, Qt::Key_Home);
        QCOMPARE(w.View().Shown(), full);

        // A left drag zooms to the rectangle.
        const QRectF a = w.PlotArea();
        const QPoint p1 = (a.topLeft() + QPointF(a.width() * 0.25, a.height() * 0.25)).toPoint();
        const QPoint p2 = (a.topLeft() + QPointF(a.width() * 0.75, a.height() * 0.5)).toPoint();
        QTest::mousePress(&w, Qt::LeftButton, Qt::NoModifier, p1);
        MoveTo(&w, p2, Qt::LeftButton);
        QTest::mouseRelease(&w, Qt::LeftButton, Qt::NoModifier, p2);
        QVERIFY(std::abs(w.View().Shown().Width() - full.Width() / 2) < full.Width() * 0.02);
        QVERIFY(std::abs(w.View().Shown().Height() - full.Height() / 4) < full.Height() * 0.02);

        // Arrow right pans by a tenth.
        const Range zoomed = w.View().Shown();
        QTest::keyClick(&w, Qt::Key_Right);
        QVERIFY(std::abs(w.View().Shown().xMin - (zoomed.xMin + zoomed.Width() / 10)) < 1e-9);

        // The read-out names the values under the pointer and the nearest point.
        QTest::keyClick(&w, Qt::Key_Home);
        QSignalSpy spy(&w, &PlotWidget::readoutChanged);
        const QPointF onCurve = Mapping{w.View().Shown(), w.PlotArea()}.ToPixel({2.5, std::sin(2.5)});
        MoveTo(&w, onCurve.toPoint());
        QTRY_VERIFY(!spy.isEmpty());
        const QString text = w.Readout();
        QVERIFY2(text.startsWith("t = ") && text.contains(" us, W = ") && text.contains("nearest: W (2.5 us, 0.5985 mm)"),
                 qPrintable(text));
        // Away from the line the pointer's values alone: no curve is named.
        const QPointF away = Mapping{w.View().Shown(), w.PlotArea()}.ToPixel({2.5, std::sin(2.5) - 0.6});
        MoveTo(&w, away.toPoint());
        QTRY_VERIFY(!w.Readout().isEmpty() && !w.Readout().contains("nearest"));

        // Another test on the same X server may take the clipboard in between: try again then.
        for (int tries = 0; tries < 5; ++tries) {
            w.CopyImage();
            if (QApplication::clipboard()->image().size() == w.size())
                break;
        }
        QCOMPARE(QApplication::clipboard()->image().size(), w.size());
    }
};

PEMBLAR_GUI_TEST_MAIN(TestPlotRender)
#include "test_plot_render.moc"
