// The curve view as a plot: zoom and pan read back pixel by pixel on real OpenGL (Mesa under
// Xvfb), labels of small and large amplitudes, the read-out in a real status bar, added curves
// from real files, CSV and SVG exports parsed back.

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFontMetrics>
#include <QMainWindow>
#include <QAbstractButton>
#include <QMessageBox>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTimer>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QXmlStreamReader>
#include <QtTest>

#include <cmath>
#include <fstream>
#include <functional>
#include <memory>

#include "../ScriptedModal.h"
#include "CommandIds.h"
#include "CurveSources.h"
#include "ImageExportDialog.h"
#include "OstrelDoc.h"
#include "OstrelView.h"
#include "ResultFiles.h"
#include "PlotPainter.h"
#include "SeriesCsv.h"
#include "../GuiTestMain.h"

namespace {

struct CollectedMessages : IMessageSink {
    std::vector<std::string> texts;
    void ShowMessage(const std::string& text) override { texts.push_back(text); }
};

QColor At(const QImage& image, int x, int y) { return QColor(image.pixel(x, image.height() - 1 - y)); }

bool Near(const QColor& c, QColor want, int tolerance = 2) {
    return std::abs(c.red() - want.red()) <= tolerance && std::abs(c.green() - want.green()) <= tolerance &&
           std::abs(c.blue() - want.blue()) <= tolerance;
}

// Pixels of one colour in a rectangle given in OpenGL window coordinates (y from the bottom).
int CountIn(const QImage& image, QRect glRect, QColor colour) {
    glRect = glRect.intersected(QRect(0, 0, image.width(), image.height()));
    int n = 0;
    for (int y = glRect.top(); y <= glRect.bottom(); ++y)
        for (int x = glRect.left(); x <= glRect.right(); ++x)
            n += Near(At(image, x, y), colour) ? 1 : 0;
    return n;
}

// The colour within one pixel of (x, y): rasterised lines land on either side of a boundary.
bool NearPixel(const QImage& image, int x, int y, QColor colour) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (Near(At(image, x + dx, y + dy), colour))
                return true;
    return false;
}

struct FixedFile : IFileChooser {
    std::string path;
    std::vector<FileDialogRequest> requests;
    std::optional<std::string> ChooseFile(const FileDialogRequest& request) override {
        requests.push_back(request);
        return path;
    }
};

struct SvgParts {
    std::vector<std::vector<QPointF>> lines;  // every polyline's points
    QStringList texts;
    QString text;  // the whole file
};

SvgParts ReadSvg(const QString& path) {
    SvgParts parts;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return parts;
    parts.text = QString::fromUtf8(file.readAll());
    QXmlStreamReader xml(parts.text);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("polyline")) {
            std::vector<QPointF> points;
            for (const QString& pair : xml.attributes().value("points").toString().split(' ', Qt::SkipEmptyParts)) {
                const QStringList xy = pair.split(',');
                points.emplace_back(xy[0].toDouble(), xy[1].toDouble());
            }
            parts.lines.push_back(points);
        } else if (xml.name() == QLatin1String("text")) {
            parts.texts << xml.readElementText().trimmed();
        }
    }
    return parts;
}

const QColor kBlue(0, 0, 255);
const QColor kFrame(26, 128, 26);

void LoadCurve(COstrelDoc& doc, const std::vector<CCurvePoint>& points) {
    doc.m_curve = points;
    doc.m_nPoints = int(points.size());
    float x0 = points[0].m_fX, x1 = x0, y0 = points[0].m_fY, y1 = y0;
    for (const CCurvePoint& p : points) {
        x0 = std::min(x0, p.m_fX), x1 = std::max(x1, p.m_fX);
        y0 = std::min(y0, p.m_fY), y1 = std::max(y1, p.m_fY);
    }
    doc.m_fXMin = doc.m_fFullXMin = x0;
    doc.m_fXMax = doc.m_fFullXMax = x1;
    doc.m_fYMin = doc.m_fFullYMin = y0;
    doc.m_fYMax = doc.m_fFullYMax = y1;
    doc.m_nLabelComp = 1;
    doc.m_bCurveLoaded = 1;
}

void WriteText(const QString& path, const std::string& text) {
    std::ofstream(path.toStdString(), std::ios::binary) << text;
}

std::string ReadText(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll().toStdString();
}

void Wheel(QWidget* w, QPointF pos, int delta, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWheelEvent e(pos, w->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton, mods, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

// A pointer move delivered at once (QTest::mouseMove goes through the window system and may
// arrive late when the machine is busy).
void MoveTo(QWidget* w, QPoint pos, Qt::MouseButtons buttons = Qt::NoButton) {
    QMouseEvent e(QEvent::MouseMove, QPointF(pos), w->mapToGlobal(QPointF(pos)), Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

}  // namespace

class TestViewPlot : public QObject {
    Q_OBJECT

    std::unique_ptr<COstrelView> Show(COstrelDoc& doc, int w = 400, int h = 300) {
        auto view = std::make_unique<COstrelView>(&doc);
        view->resize(w, h);
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get()))
            qFatal("view not exposed");
        for (int i = 0; i < 100 && view->m_nWidth != w; ++i)
            QTest::qWait(10);
        return view;
    }

private slots:
    void initTestCase() { QVERIFY2(QOpenGLContext().create(), "no OpenGL here: run under xvfb-run with Mesa"); }

    // 400 x 300: the plot is x 100..300, y 75..225 (OpenGL, from the bottom).
    void rectangleZoomCutsTheCurveAtTheFrame() {
        COstrelDoc doc;
        LoadCurve(doc, {{0, 0}, {10, 1}});  // one segment, corner to corner
        auto view = Show(doc);
        // Drag from (t 0, v 0.5) to (t 5, v 0): widget y runs down, so v 0.5 is y 150.
        QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 150));
        MoveTo(view.get(), QPoint(200, 225), Qt::LeftButton);
        QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 225));
        QCOMPARE(doc.m_fXMin, 0.0f);
        QCOMPARE(doc.m_fXMax, 5.0f);
        QCOMPARE(doc.m_fYMin, 0.0f);
        QCOMPARE(doc.m_fYMax, 0.5f);
        const QImage image = view->grabFramebuffer();
        // The segment now runs from the lower-left corner to the upper-right one, cut at t 5;
        // the skip-whole rule of the overview would have dropped it.
        for (int x = 110; x <= 290; x += 20) {
            const int y = 75 + (x - 100) * 150 / 200;
            QVERIFY2(NearPixel(image, x, y, kBlue), qPrintable(QString("x %1").arg(x)));
        }
        // Nothing outside the frame (the blue axis letters aside: "T" lower right, "U" upper left).
        QCOMPARE(CountIn(image, QRect(302, 100, 98, 200), kBlue), 0);
        QCOMPARE(CountIn(image, QRect(120, 227, 280, 73), kBlue), 0);
        // The frame is where it always is.
        QVERIFY(NearPixel(image, 200, 75, kFrame));
        QVERIFY(NearPixel(image, 100, 150, kFrame));

        // Home is Overview: the whole curve again, drawn by the usual rule.
        QTest::keyClick(view.get(), Qt::Key_Home);
        QCOMPARE(doc.m_fXMax, 10.0f);
        QCOMPARE(doc.m_fYMax, 1.0f);
        QVERIFY(NearPixel(view->grabFramebuffer(), 200, 150, kBlue));
    }

    void wheelKeysAndMiddleDragMoveTheRange() {
        COstrelDoc doc;
        LoadCurve(doc, {{0, -1}, {10, 1}});
        auto view = Show(doc);
        // A notch forwards at t 2.5 (x 150): the time span shrinks to 0.8 about it.
        Wheel(view.get(), QPointF(150, 150), 120);
        QVERIFY(std::abs(doc.m_fXMin - 0.5f) < 1e-5f);
        QVERIFY(std::abs(doc.m_fXMax - 8.5f) < 1e-5f);
        QCOMPARE(doc.m_fYMin, -1.0f);
        // Ctrl+wheel: the value axis, about v 0 (y 150).
        Wheel(view.get(), QPointF(150, 150), -120, Qt::ControlModifier);
        QVERIFY(std::abs(doc.m_fYMax - 1.25f) < 1e-5f);
        QVERIFY(std::abs(doc.m_fYMin + 1.25f) < 1e-5f);
        // Arrow right: a tenth of the span to the right.
        QTest::keyClick(view.get(), Qt::Key_Right);
        QVERIFY(std::abs(doc.m_fXMin - 1.3f) < 1e-5f);
        // Middle drag by 20 pixels left: the curve follows, the range moves right by 20/200 of the span.
        const float before = doc.m_fXMin;
        QTest::mousePress(view.get(), Qt::MiddleButton, Qt::NoModifier, QPoint(200, 150));
        MoveTo(view.get(), QPoint(180, 150), Qt::MiddleButton);
        QTest::mouseRelease(view.get(), Qt::MiddleButton, Qt::NoModifier, QPoint(180, 150));
        QVERIFY(std::abs(doc.m_fXMin - (before + 0.8f)) < 1e-4f);
        // Zoom commands and Overview through the command interface.
        QVERIFY(view->OnCommand(Cmd::kPlotOverview));
        QCOMPARE(doc.m_fXMin, 0.0f);
        QVERIFY(view->OnCommand(Cmd::kPlotZoomIn));
        QVERIFY(std::abs((doc.m_fXMax - doc.m_fXMin) - 8.0f) < 1e-5f);
        QVERIFY(view->OnCommand(Cmd::kPlotZoomOut));
        QVERIFY(std::abs((doc.m_fXMax - doc.m_fXMin) - 10.0f) < 1e-5f);
        // A click (no drag) changes nothing.
        QTest::keyClick(view.get(), Qt::Key_Home);
        QTest::mouseClick(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(150, 150));
        QCOMPARE(doc.m_fXMax, 10.0f);
    }

    void zoomingOutStopsWhereTheDocumentsFloatsEnd() {
        COstrelDoc doc;
        LoadCurve(doc, {{0, -3e38f}, {10, 3e38f}});
        auto view = Show(doc);
        for (int i = 0; i < 10; ++i)
            Wheel(view.get(), QPointF(150, 150), -120, Qt::ControlModifier);
        QVERIFY(std::isfinite(doc.m_fYMin) && std::isfinite(doc.m_fYMax));
        QCOMPARE(doc.m_fYMax, 3e38f);  // one more step would leave the floats: not taken
        QVERIFY(!view->grabFramebuffer().isNull());
    }

    void nothingToZoomBeforeACurve() {
        COstrelDoc doc;
        auto view = Show(doc);
        Wheel(view.get(), QPointF(150, 150), 120);
        QTest::keyClick(view.get(), Qt::Key_Plus);
        QCOMPARE(doc.m_fXMax, 0.0f);
        QCOMPARE(view->OnUpdateCommand(Cmd::kPlotZoomIn), std::optional<bool>(false));
        QCOMPARE(view->OnUpdateCommand(Cmd::kPlotRemoveCurves), std::optional<bool>(false));
        QCOMPARE(view->OnUpdateCommand(Cmd::kPlotExportData), std::optional<bool>(false));
        QCOMPARE(view->OnUpdateCommand(Cmd::kFileSave), std::optional<bool>(true));
    }

    void smallAmplitudeLabelsTakeAPowerOfTen() {
        COstrelDoc doc;
        LoadCurve(doc, {{0, -1e-6f}, {10, 1e-6f}});
        auto view = Show(doc);
        const QImage image = view->grabFramebuffer();
        const QFontMetrics fm(view->font());
        // "x 1e-6" above the value axis, 15 pixels right of its left edge (x 115, y 235).
        const QRect power(115, 235 - fm.descent(), fm.horizontalAdvance("x 1e-6"), fm.height());
        QVERIFY(CountIn(image, power, kFrame) > 10);
        // The labels "-1.00" and "1.00" start 40 pixels left of the edge.
        const QRect top(60, 222 - fm.descent(), 37, fm.height());
        QVERIFY(CountIn(image, top, kFrame) > 5);
        QCOMPARE(ValueAxisLabels(doc.m_fYMin, doc.m_fYMax, 150).labels[4].text, std::string("1.00"));
    }

    void largeAmplitudeLabelsKeepTheFixedFormat() {
        COstrelDoc doc;
        LoadCurve(doc, {{0, -1000}, {10, 1000}});
        auto view = Show(doc, 500, 300);  // room for "-1000.0000"
        const QImage image = view->grabFramebuffer();
        const QFontMetrics fm(view->font());
        // No power of ten above the axis: only the letter "U" is drawn there.
        QCOMPARE(CountIn(image, QRect(125 + 15, 235 - fm.descent(), 60, fm.height()), kFrame), 0);
        // "1000.0000" from 55 pixels left of the edge, at the top tick.
        QVERIFY(CountIn(image, QRect(125 - 55, 222 - fm.descent(), 50, fm.height()), kFrame) > 5);
        QCOMPARE(ValueAxisLabels(-1000, 1000, 150).labels[4].text, std::string("1000.0000"));
    }

    void readoutInTheStatusBar() {
        COstrelDoc doc;
        LoadCurve(doc, {{0, -1}, {2.5f, 0.5f}, {5, 1}, {10, -1}});
        QMainWindow window;
        auto* view = new COstrelView(&doc);
        window.setCentralWidget(view);
        window.statusBar();
        window.resize(400, 300 + window.statusBar()->sizeHint().height());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy spy(view, &COstrelView::ReadoutChanged);
        const QRectF area = view->PlotArea();
        // Over the point (2.5, 0.5).
        const QPoint over = plot::Mapping{view->ShownRange(), area}.ToPixel({2.5, 0.5}).toPoint();
        MoveTo(view, over);
        QTRY_VERIFY(!spy.isEmpty());
        const QString text = view->Readout();
        QVERIFY2(text.startsWith("t = 2.5") && text.contains(" us, U = ") &&
                     text.endsWith("nearest point of U: t = 2.5 us, U = 0.5 mm"),
                 qPrintable(text));
        QCOMPARE(window.statusBar()->currentMessage(), text);
        // Outside the plot the status bar says what is shown.
        MoveTo(view, QPoint(10, 10));
        QTRY_COMPARE(view->Readout(), QStringLiteral("U (mm)"));
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("U (mm)"));
    }

    void addedCurvesFromFilesWithLegendAndRemove() {
        QTemporaryDir dir;
        CollectedMessages messages;
        COstrelDoc doc;
        doc.m_services.messages = &messages;
        LoadCurve(doc, {{0, 0}, {10, 0}});
        auto view = Show(doc);
        // A kept result in the solver's format and a measured signal as CSV.
        WriteText(dir.filePath("result_w.dat"), "0 3\n0 -2\n5 -2\n10 -2\n");
        WriteText(dir.filePath("scope.csv"), "time (us),signal (mm)\n0,2\n10,2\n");
        QVERIFY(view->AddCurveFile(dir.filePath("result_w.dat").toStdString()));
        QVERIFY(view->AddCurveFile(dir.filePath("scope.csv").toStdString()));
        QVERIFY(messages.texts.empty());
        QCOMPARE(view->m_overlays.size(), std::size_t(2));
        QCOMPARE(view->m_overlays[1].name, std::string("scope.csv"));
        // The range covers all three.
        QCOMPARE(doc.m_fYMin, -2.0f);
        QCOMPARE(doc.m_fYMax, 2.0f);
        const QImage image = view->grabFramebuffer();
        const QColor first = QColor(plot::RgbRed(OverlayColour(0)), plot::RgbGreen(OverlayColour(0)), plot::RgbBlue(OverlayColour(0)));
        const QColor second = QColor(plot::RgbRed(OverlayColour(1)), plot::RgbGreen(OverlayColour(1)), plot::RgbBlue(OverlayColour(1)));
        QVERIFY(NearPixel(image, 150, 75, first));    // -2 is the bottom edge
        QVERIFY(NearPixel(image, 150, 225, second));  // +2 the top edge
        QVERIFY(NearPixel(image, 150, 150, kBlue));   // the document's curve in the middle
        // The legend in the top-right corner holds a sample of each colour.
        const QRect legend(180, 150, 118, 73);
        QVERIFY(CountIn(image, legend, kBlue) >= 10);
        QVERIFY(CountIn(image, legend, first) >= 10);
        QVERIFY(CountIn(image, legend, second) >= 10);
        // Saved bitmaps and prints take the same frame.
        QCOMPARE(view->CaptureFrame(), image);

        QCOMPARE(view->OnUpdateCommand(Cmd::kPlotRemoveCurves), std::optional<bool>(true));
        QVERIFY(view->OnCommand(Cmd::kPlotRemoveCurves));
        QVERIFY(view->m_overlays.empty());
        QCOMPARE(doc.m_fYMin, 0.0f);
        QCOMPARE(CountIn(view->grabFramebuffer(), legend, first), 0);

        // A file that is neither: a message, nothing added.
        WriteText(dir.filePath("notes.txt"), "hello\nworld\n");
        QVERIFY(!view->AddCurveFile(dir.filePath("notes.txt").toStdString()));
        QCOMPARE(messages.texts.size(), std::size_t(1));
        QVERIFY(!view->AddCurveFile(dir.filePath("missing.dat").toStdString()));
        QVERIFY(view->m_overlays.empty());
    }

    void exportDataWritesEveryCurveAndReadsBackByteForByte() {
        QTemporaryDir dir;
        COstrelDoc doc;
        LoadCurve(doc, {{0, 0}, {0.5f, 1.25e-5f}, {1, -3e-7f}});
        doc.m_nLabelComp = 3;
        auto view = Show(doc);
        WriteText(dir.filePath("m.csv"), "0.5,0.1\n2,0.2\n");
        QVERIFY(view->AddCurveFile(dir.filePath("m.csv").toStdString()));
        const QString path = dir.filePath("out.csv");
        QVERIFY(view->ExportDataTo(path.toStdString()));
        const std::string expected =
            "t (us),W (mm),m.csv\n"
            "0,0,\n"
            "0.5,1.25e-05,0.1\n"
            "1,-3e-07,\n"
            "2,,0.2\n";
        QCOMPARE(ReadText(path), expected);
        // Read back and written again: the same bytes.
        const plot::CsvReadResult read = plot::ReadSeriesCsv(expected);
        QVERIFY(read.ok());
        std::vector<plot::Series> again = read.series;
        again[0].singlePrecision = true;
        QCOMPARE(plot::SeriesCsvText(again, read.x), expected);
        // A folder that does not exist: a message, no file.
        CollectedMessages messages;
        doc.m_services.messages = &messages;
        QVERIFY(!view->ExportDataTo(dir.filePath("no/out.csv").toStdString()));
        QCOMPARE(messages.texts.size(), std::size_t(1));
    }

    void exportImageIsAFigureForAReport() {
        QTemporaryDir dir;
        COstrelDoc doc;
        LoadCurve(doc, {{0, -0.7f}, {2.5f, 0.5f}, {5, 1.3f}, {7.5f, 0}, {10, -0.7f}});
        doc.m_nCurveFamily = 1;
        doc.m_fReceiverX = 100;
        doc.m_nLoadType = 4;
        auto view = Show(doc);
        const QString path = dir.filePath("plot.svg");
        QVERIFY(view->ExportImageTo(path.toStdString(), QSize(800, 600)));
        const SvgParts svg = ReadSvg(path);
        // The curve fills the picture: the frame, not the middle half of it.
        bool found = false;
        for (const auto& line : svg.lines) {
            if (line.size() != 5)
                continue;
            found = true;
            QVERIFY2(line.front().x() < 120 && line.back().x() > 680, "the curve does not fill the width");
            QVERIFY2(line[2].y() < 100 && line.front().y() > 480, "the curve does not fill the height");
        }
        QVERIFY2(found, "no polyline with the five curve points");
        // Axis titles with units and the title; round tick values, zero labelled as zero.
        for (const char* text : {"t (us)", "U (mm)", "U (mm) at x = 100 mm, Any f(t) load"})
            QVERIFY2(svg.texts.contains(text), text);
        int numbers = 0;
        bool zero = false;
        for (const QString& t : svg.texts) {
            bool ok = false;
            const double v = t.toDouble(&ok);
            if (!ok)
                continue;
            ++numbers;
            zero = zero || v == 0;
            QVERIFY2(std::abs(v * 2 - std::round(v * 2)) < 1e-9, qPrintable("not a round tick: " + t));
        }
        QVERIFY(numbers >= 8);
        QVERIFY(zero);
        QVERIFY(!svg.text.contains("#e1e1e1"));  // no grid unless asked
        QVERIFY(view->ExportImageTo(dir.filePath("grid.svg").toStdString(), QSize(800, 600), true));
        QVERIFY(ReadSvg(dir.filePath("grid.svg")).text.contains("#e1e1e1"));
        // Save bitmap stays the screen's picture: this is for the figure alone.
        QVERIFY(view->ExportImageTo(dir.filePath("plot.png").toStdString(), QSize(320, 200)));
        QCOMPARE(QImage(dir.filePath("plot.png")).size(), QSize(320, 200));
        CollectedMessages messages;
        doc.m_services.messages = &messages;
        QVERIFY(!view->ExportImageTo(dir.filePath("x/plot.png").toStdString(), QSize(320, 200)));
        QCOMPARE(messages.texts.size(), std::size_t(1));
    }

    void exportDataWritesTheFilesValuesOneRowPerTime() {
        QTemporaryDir dir;
        // A result as the solvers write it: 2001 times of "%.6f", values of "%.8e".
        std::string result = "3 2001\n";
        char line[64];
        for (int i = 0; i <= 2000; ++i) {
            std::snprintf(line, sizeof line, "%.6f %.8e\n", i * 0.1, 1.23456789e-5 * std::sin(i));
            result += line;
        }
        WriteText(dir.filePath("result_w.dat"), result);
        COstrelDoc doc;
        const CResultRead read = ReadResultAt(dir.filePath("result_w.dat").toStdString(), "cannot open");
        QVERIFY(read.outcome == CResultRead::Outcome::Read);
        QCOMPARE(ApplyResult(doc, read.text, "result_w.dat"), 1);
        doc.m_nLabelComp = 3;
        auto view = Show(doc);
        // A measurement at the same times, written short.
        std::string measured = "t,m\n";
        for (int i = 0; i <= 2000; ++i)
            measured += QString::number(i * 0.1, 'g', 10).toStdString() + ",1\n";
        WriteText(dir.filePath("m.csv"), measured);
        QVERIFY(view->AddCurveFile(dir.filePath("m.csv").toStdString()));
        const QString path = dir.filePath("out.csv");
        QVERIFY(view->ExportDataTo(path.toStdString()));
        const std::string text = ReadText(path);
        QCOMPARE(std::count(text.begin(), text.end(), '\n'), 2002L);
        QVERIFY(text.find("\n60.3,") != std::string::npos);
        QVERIFY(text.find("60.29999") == std::string::npos);
        std::snprintf(line, sizeof line, "%.8e", 1.23456789e-5 * std::sin(603));
        QVERIFY2(text.find(std::string("\n60.3,") + line + ",1\n") != std::string::npos, line);
        // The span on show alone, when asked: t from 10 to 20 us.
        doc.m_fXMin = 10;
        doc.m_fXMax = 20;
        QVERIFY(view->ExportDataTo(path.toStdString(), true));
        const std::string span = ReadText(path);
        QCOMPARE(std::count(span.begin(), span.end(), '\n'), 102L);
        QVERIFY(span.find("\n10,") != std::string::npos && span.find("\n20,") != std::string::npos);
        // Through the command, zoomed: the user is asked through the program's dialog runner,
        // over the view's window, and the span is what "Shown span" gives.
        FixedFile files;
        files.path = dir.filePath("asked.csv").toStdString();
        doc.m_services.files = &files;
        CScriptedModal modals;
        view->SetModalRunner(&modals);
        QString asked;
        QWidget* owner = nullptr;
        const auto answer = [&](const QString& button) {
            modals.Play([&, button](QDialog& dialog) {
                auto* box = qobject_cast<QMessageBox*>(&dialog);
                if (!box) return int(QDialog::Rejected);
                asked = box->text();
                owner = box->parentWidget() ? box->parentWidget()->window() : nullptr;
                for (QAbstractButton* b : box->buttons())
                    if (b->text() == button) b->click();
                return box->result();
            });
        };
        answer(QStringLiteral("Shown span"));
        QVERIFY(view->OnCommand(Cmd::kPlotExportData));
        QCOMPARE(asked, QStringLiteral("Export the time span shown (t = 10 to 20 us) or the whole curves?"));
        QCOMPARE(owner, view->window());
        QCOMPARE(ReadText(dir.filePath("asked.csv")), span);
        // "Whole curves" writes every time; Cancel asks for no file and writes nothing.
        answer(QStringLiteral("Whole curves"));
        QVERIFY(view->OnCommand(Cmd::kPlotExportData));
        const std::string whole = ReadText(dir.filePath("asked.csv"));
        QCOMPARE(std::count(whole.begin(), whole.end(), '\n'), 2002L);
        files.requests.clear();
        QFile::remove(dir.filePath("asked.csv"));
        answer(QStringLiteral("Cancel"));
        QVERIFY(view->OnCommand(Cmd::kPlotExportData));
        QVERIFY(files.requests.empty());
        QVERIFY(!QFile::exists(dir.filePath("asked.csv")));
        view->SetModalRunner(nullptr);
    }

    void exportImageAsksForTheSizeThenTheFile() {
        QTemporaryDir dir;
        COstrelDoc doc;
        FixedFile files;
        files.path = dir.filePath("asked.svg").toStdString();
        doc.m_services.files = &files;
        LoadCurve(doc, {{0, 0}, {10, 1}});
        auto view = Show(doc, 320, 240);
        CScriptedModal modals;
        view->SetModalRunner(&modals);
        QSize offered;
        modals.Play([&](QDialog& d) {
            auto* dialog = qobject_cast<plot::ImageExportDialog*>(&d);
            if (!dialog || dialog->GridLines()) return int(QDialog::Rejected);
            offered = dialog->ChosenSize();
            dialog->findChild<QSpinBox*>("width")->setValue(640);
            dialog->findChild<QSpinBox*>("height")->setValue(480);
            return int(QDialog::Accepted);
        });
        QVERIFY(view->OnCommand(Cmd::kPlotExportImage));
        QCOMPARE(offered, QSize(320, 240));  // starts at the view's size
        QCOMPARE(files.requests.size(), std::size_t(1));
        QVERIFY(files.requests[0].save);
        QCOMPARE(files.requests[0].filter, std::string(plot::kImageFilter));
        QFile svg(dir.filePath("asked.svg"));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        QVERIFY(svg.readAll().contains("viewBox=\"0 0 640 480\""));
        // Export data through its command, into the chosen file.
        files.path = dir.filePath("asked.csv").toStdString();
        QVERIFY(view->OnCommand(Cmd::kPlotExportData));
        QCOMPARE(ReadText(dir.filePath("asked.csv")), std::string("t (us),U (mm)\n0,0\n10,1\n"));
    }

    void copyPutsTheFrameOnTheClipboard() {
        COstrelDoc doc;
        LoadCurve(doc, {{0, 0}, {10, 1}});
        auto view = Show(doc, 320, 240);
        // Another test on the same X server may take the clipboard in between: try again then.
        for (int tries = 0; tries < 5; ++tries) {
            QVERIFY(view->OnCommand(Cmd::kPlotCopy));
            if (QApplication::clipboard()->image().size() == QSize(320, 240))
                break;
        }
        QCOMPARE(QApplication::clipboard()->image().size(), QSize(320, 240));
    }

    void displayCommandNamesTheSourceInTheDescription() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("bin"));
        WriteText(dir.filePath("bin/result_w.dat"), "0 2\n0 0\n1 1e-4\n");
        COstrelDoc doc;
        doc.m_szStartDir = dir.path().toStdString();
        doc.m_fReceiverX = 10;
        doc.m_nLoadType = 1;
        auto view = Show(doc);
        QSignalSpy spy(view.get(), &COstrelView::DescriptionChanged);
        QVERIFY(view->OnCommand(Cmd::kDisplayComCurrentW));
        QCOMPARE(doc.m_nCurveFamily, 1);
        QCOMPARE(view->Description(), std::string("W (mm) at x = 10 mm, H(t) load"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("W (mm) at x = 10 mm, H(t) load"));
    }
};

PEMBLAR_GUI_TEST_MAIN(TestViewPlot)
#include "test_view_plot.moc"
