// The curve view on a real OpenGL context (Mesa under Xvfb), read back pixel by pixel.

#include <QApplication>
#include <QColorDialog>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QOpenGLContext>
#include <QOpenGLFunctions_1_1>
#include <QOpenGLVersionFunctionsFactory>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <fstream>
#include <functional>
#include <memory>

#include "CommandIds.h"
#include "LineWidth.h"
#include "OstrelDoc.h"
#include "OstrelView.h"
#include "../GuiTestMain.h"

namespace {

struct CollectedMessages : IMessageSink {
    std::vector<std::string> texts;
    void ShowMessage(const std::string& text) override { texts.push_back(text); }
};

struct RedrawViews : IViewNotifier {
    std::vector<COstrelView*> views;
    void UpdateAllViews() override {
        for (COstrelView* v : views)
            v->update();
    }
};

struct FixedFile : IFileChooser {
    std::string path;
    std::optional<std::string> ChooseFile(const FileDialogRequest&) override { return path; }
};

// Pixels are addressed as OpenGL does: x from the left, y from the bottom.
QColor At(const QImage& image, int x, int y) {
    return QColor(image.pixel(x, image.height() - 1 - y));
}

bool Near(const QColor& c, int r, int g, int b, int tolerance = 2) {
    return std::abs(c.red() - r) <= tolerance && std::abs(c.green() - g) <= tolerance &&
           std::abs(c.blue() - b) <= tolerance;
}

bool IsFrameColour(const QColor& c) { return Near(c, 26, 128, 26); }
bool IsWhite(const QColor& c) { return Near(c, 255, 255, 255, 0); }

// A pixel at (x, y) or its neighbour below/left has the colour: a line on a pixel boundary
// lands on one side of it by the rasterisation rule.
bool LineAt(const QImage& image, int x, int y, bool vertical,
            const std::function<bool(const QColor&)>& is) {
    return is(At(image, x, y)) || (vertical ? is(At(image, x - 1, y)) : is(At(image, x, y - 1)));
}

int CountIn(const QImage& image, QRect glRect, const std::function<bool(const QColor&)>& is) {
    glRect = glRect.intersected(QRect(0, 0, image.width(), image.height()));
    int count = 0;
    for (int y = glRect.top(); y <= glRect.bottom(); ++y)
        for (int x = glRect.left(); x <= glRect.right(); ++x)
            count += is(At(image, x, y)) ? 1 : 0;
    return count;
}

void LoadCurve(COstrelDoc& doc, const std::vector<CCurvePoint>& points, float xMin, float xMax,
               float yMin, float yMax) {
    doc.m_curve = points;
    if (doc.m_curve.size() < 200)
        doc.m_curve.resize(200);
    doc.m_nPoints = int(points.size());
    doc.m_fXMin = doc.m_fFullXMin = xMin;
    doc.m_fXMax = doc.m_fFullXMax = xMax;
    doc.m_fYMin = doc.m_fFullYMin = yMin;
    doc.m_fYMax = doc.m_fFullYMax = yMax;
    doc.m_nLabelComp = 1;
    doc.m_bCurveLoaded = 1;
}

// Runs `action` on the next modal dialog of type T once it is up.
template <class T>
void WhenModal(std::function<void(T*)> action) {
    QTimer::singleShot(0, [action] {
        for (int tries = 0; tries < 200; ++tries) {
            if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
                action(dialog);
                return;
            }
            QTest::qWait(10);
        }
        qFatal("no modal dialog appeared");
    });
}

}  // namespace

class TestView : public QObject {
    Q_OBJECT

    std::unique_ptr<COstrelView> Show(COstrelDoc& doc, int w, int h) {
        auto view = std::make_unique<COstrelView>(&doc);
        view->resize(w, h);
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get()))
            qFatal("view not exposed");
        return view;
    }

    static std::array<double, 16> Matrix(COstrelView& view, GLenum which) {
        std::array<double, 16> m{};
        view.makeCurrent();
        auto* gl = QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_1_1>(view.context());
        gl->glGetDoublev(which, m.data());
        view.doneCurrent();
        return m;
    }

private slots:
    void initTestCase() {
        QVERIFY2(QOpenGLContext().create(), "no OpenGL here: run under xvfb-run with Mesa");
    }

    void newViewStartsWithItsDefaults() {
        COstrelDoc doc;
        COstrelView view(&doc);
        QCOMPARE(view.m_clrBackground, plot::MakeRgb(255, 255, 255));
        QCOMPARE(view.m_clrCurve, plot::MakeRgb(0, 0, 255));
        QCOMPARE(view.m_fLineWidth, 0.5f);
        QCOMPARE(view.m_nWidth, 0);
        QCOMPARE(view.m_nHeight, 0);
        QCOMPARE(view.m_nFontListBase, 0u);
        QCOMPARE(view.format().profile(), QSurfaceFormat::CompatibilityProfile);
        QCOMPARE(view.format().depthBufferSize(), 16);
        QCOMPARE(view.format().redBufferSize(), 8);
    }

    void clearsToBackgroundAtAnySize() {
        COstrelDoc doc;
        for (const QSize size : {QSize(64, 48), QSize(300, 200), QSize(517, 333)}) {
            auto view = Show(doc, size.width(), size.height());
            QImage image = view->grabFramebuffer();
            QCOMPARE(image.size(), size);
            QCOMPARE(view->m_nWidth, size.width());
            QCOMPARE(view->m_nHeight, size.height());
            QCOMPARE(CountIn(image, image.rect(), IsWhite), size.width() * size.height());

            view->m_clrBackground = plot::MakeRgb(10, 200, 30);
            image = view->grabFramebuffer();
            QCOMPARE(CountIn(image, image.rect(), [](const QColor& c) { return Near(c, 10, 200, 30, 0); }),
                     size.width() * size.height());
        }
        QVERIFY(!COstrelView::PaintInProgress());
    }

    void projectionIsOnePixelPerUnit() {
        COstrelDoc doc;
        auto view = Show(doc, 400, 300);
        view->grabFramebuffer();
        const auto p = Matrix(*view, GL_PROJECTION_MATRIX);
        // glOrtho(0, 400, 0, 300, -5, 5) followed by a translation by (0, 0, -4).
        const double expected[16] = {2.0 / 400, 0, 0, 0, 0, 2.0 / 300, 0, 0,
                                     0, 0, -0.2, 0, -1, -1, 0.8, 1};
        for (int i = 0; i < 16; ++i)
            QVERIFY2(std::abs(p[i] - expected[i]) < 1e-7,  // the driver keeps floats
                     qPrintable(QString("element %1: %2").arg(i).arg(p[i])));
        const auto mv = Matrix(*view, GL_MODELVIEW_MATRIX);
        for (int i = 0; i < 16; ++i)  // the frame restores what the plot translated
            QCOMPARE(mv[i], (i % 5 == 0) ? 1.0 : 0.0);
    }

    void zeroSizeResizeChangesNothing() {
        COstrelDoc doc;
        LoadCurve(doc, {{0, 0}, {10, 1}}, 0, 10, -1, 1);
        auto view = Show(doc, 400, 300);
        const QImage before = view->grabFramebuffer();
        const auto projection = Matrix(*view, GL_PROJECTION_MATRIX);

        for (const QSize empty : {QSize(0, 0), QSize(300, 0), QSize(0, 200)}) {
            view->resize(empty);
            QApplication::processEvents();
            QCOMPARE(view->m_nWidth, 400);
            QCOMPARE(view->m_nHeight, 300);
            QVERIFY(Matrix(*view, GL_PROJECTION_MATRIX) == projection);
        }
        view->resize(400, 300);
        // A top-level resize is confirmed by the X server later, not at once.
        QTRY_COMPARE(view->size(), QSize(400, 300));
        QCOMPARE(view->grabFramebuffer(), before);
    }

    void frameEdgesAndTicks() {
        COstrelDoc doc;
        LoadCurve(doc, {}, 0, 10, -1, 1);
        auto view = Show(doc, 400, 300);
        const QImage image = view->grabFramebuffer();
        // Frame at x 100 and 300, y 75 and 225.
        for (int y = 80; y <= 220; y += 10) {
            QVERIFY2(LineAt(image, 100, y, true, IsFrameColour), qPrintable(QString("left %1").arg(y)));
            QVERIFY2(LineAt(image, 300, y, true, IsFrameColour), qPrintable(QString("right %1").arg(y)));
        }
        for (int x = 105; x <= 295; x += 10) {
            QVERIFY2(LineAt(image, x, 75, false, IsFrameColour), qPrintable(QString("bottom %1").arg(x)));
            QVERIFY2(LineAt(image, x, 225, false, IsFrameColour), qPrintable(QString("top %1").arg(x)));
        }
        // Nothing of the frame colour inside, away from the ticks.
        QCOMPARE(CountIn(image, QRect(110, 90, 30, 120), IsFrameColour), 0);
        // Time ticks at x 150, 200, 250, 5 pixels up from the bottom edge, and no longer.
        for (int x : {150, 200, 250}) {
            QVERIFY(LineAt(image, x, 78, true, IsFrameColour));
            QVERIFY(!IsFrameColour(At(image, x, 84)) && !IsFrameColour(At(image, x - 1, 84)));
        }
        // Value ticks at y 112.5, 150, 187.5, 5 pixels in from the left edge.
        for (int y : {112, 150, 187}) {
            QVERIFY(LineAt(image, 103, y + 1, false, IsFrameColour) ||
                    LineAt(image, 103, y, false, IsFrameColour));
            QVERIFY(!IsFrameColour(At(image, 108, y)) && !IsFrameColour(At(image, 108, y + 1)));
        }
        // A loaded curve without points draws no curve pixel.
        QCOMPARE(CountIn(image, image.rect(), [](const QColor& c) { return Near(c, 0, 0, 255, 0); }) > 0,
                 true);  // the axis letters are the highlight blue
        QCOMPARE(CountIn(image, QRect(101, 76, 198, 148),
                         [](const QColor& c) { return Near(c, 0, 0, 255, 0); }),
                 0);
    }

    void resizeRescalesThePlot() {
        COstrelDoc doc;
        LoadCurve(doc, {}, 0, 10, -1, 1);
        auto view = Show(doc, 400, 300);
        view->grabFramebuffer();
        view->resize(600, 400);
        QTRY_COMPARE(view->m_nWidth, 600);
        const QImage image = view->grabFramebuffer();
        QCOMPARE(image.size(), QSize(600, 400));
        for (int y = 110; y <= 290; y += 20) {
            QVERIFY(LineAt(image, 150, y, true, IsFrameColour));
            QVERIFY(LineAt(image, 450, y, true, IsFrameColour));
        }
        QVERIFY(LineAt(image, 300, 100, false, IsFrameColour));
        QVERIFY(LineAt(image, 300, 300, false, IsFrameColour));
        QVERIFY(!LineAt(image, 100, 200, true, IsFrameColour));  // where the old edge was
    }

    void curvePixelsAndSkippedSegment() {
        COstrelDoc doc;
        // Flat at 0 except a spike at t = 5 above the range: both segments touching it go.
        LoadCurve(doc, {{0, 0}, {4, 0}, {5, 5}, {6, 0}, {10, 0}}, 0, 10, -1, 1);
        auto view = Show(doc, 400, 300);
        view->m_clrCurve = plot::MakeRgb(200, 0, 100);
        const QImage image = view->grabFramebuffer();
        auto isCurve = [](const QColor& c) { return Near(c, 200, 0, 100, 1); };
        // Value 0 maps to y 150; times 0..4 to x 100..180, 6..10 to 220..300.
        for (int x = 110; x <= 175; x += 5)
            QVERIFY2(LineAt(image, x, 150, false, isCurve), qPrintable(QString("x %1").arg(x)));
        for (int x = 225; x <= 290; x += 5)
            QVERIFY2(LineAt(image, x, 150, false, isCurve), qPrintable(QString("x %1").arg(x)));
        QCOMPARE(CountIn(image, QRect(185, 76, 30, 148), isCurve), 0);   // the gap
        QCOMPARE(CountIn(image, QRect(0, 226, 400, 74), isCurve), 0);    // nothing cut at the edge
        // The default width 0.5 draws a one-pixel line.
        QCOMPARE(CountIn(image, QRect(140, 140, 1, 20), isCurve), 1);
    }

    void lineWidthOfTheCurveOnly() {
        COstrelDoc doc;
        LoadCurve(doc, {{0, 0}, {10, 0}}, 0, 10, -1, 1);
        auto view = Show(doc, 400, 300);
        auto isCurve = [](const QColor& c) { return Near(c, 0, 0, 255, 1); };
        view->m_fLineWidth = 3;
        QImage image = view->grabFramebuffer();
        QCOMPARE(CountIn(image, QRect(140, 140, 1, 20), isCurve), 3);
        QCOMPARE(CountIn(image, QRect(99, 140, 2, 20), IsFrameColour), 20);  // frame 1 wide
        QCOMPARE(CountIn(image, QRect(95, 150, 10, 1), IsFrameColour), 1);
        // A width OpenGL refuses leaves the frame's 1 pixel.
        view->m_fLineWidth = 0;
        image = view->grabFramebuffer();
        QCOMPARE(CountIn(image, QRect(140, 140, 1, 20), isCurve), 1);
        view->m_fLineWidth = -2;
        image = view->grabFramebuffer();
        QCOMPARE(CountIn(image, QRect(140, 140, 1, 20), isCurve), 1);
    }

    void emptyRangeDrawsALineThroughTheMiddle() {
        COstrelDoc doc;
        LoadCurve(doc, {{0, 2}, {5, 2}, {10, 2}}, 0, 10, 2, 2);
        auto view = Show(doc, 400, 300);
        const QImage image = view->grabFramebuffer();
        auto isCurve = [](const QColor& c) { return Near(c, 0, 0, 255, 1); };
        for (int x = 110; x <= 290; x += 10)
            QVERIFY(LineAt(image, x, 150, false, isCurve));
        QCOMPARE(CountIn(image, QRect(101, 76, 198, 70), isCurve), 0);
    }

    void glyphListsWaitForTheFirstFrameWithACurve() {
        COstrelDoc doc;
        auto view = Show(doc, 300, 200);
        view->grabFramebuffer();
        view->grabFramebuffer();
        QCOMPARE(view->m_nFontListBase, 0u);

        LoadCurve(doc, {{0, 0}, {10, 1}}, 0, 10, 0, 1);
        view->grabFramebuffer();
        const GLuint base = view->m_nFontListBase;
        QVERIFY(base != 0);
        view->makeCurrent();
        auto* gl = QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_1_1>(view->context());
        QVERIFY(gl->glIsList(base) && gl->glIsList(base + '0') && gl->glIsList(base + 255));
        view->doneCurrent();
        view->grabFramebuffer();
        QCOMPARE(view->m_nFontListBase, base);  // built once, reused
    }

    void drawsOnAfterMovingToAnotherWindow() {
        // Moving into another top-level window (as a document window does) gives the widget a
        // new context: the glyph lists and the projection must follow.
        COstrelDoc doc;
        LoadCurve(doc, {{0, 0}, {10, 1}}, 0, 10, 0, 1);
        auto view = Show(doc, 400, 300);
        const QImage before = view->grabFramebuffer();
        QVERIFY(view->m_nFontListBase != 0);

        QWidget window;
        window.resize(400, 300);
        auto release = qScopeGuard([&] { view->setParent(nullptr); });
        view->setParent(&window);
        view->move(0, 0);
        view->show();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QImage after = view->grabFramebuffer();
        QVERIFY(view->m_nFontListBase != 0);
        QCOMPARE(after, before);

        // Made as a child before its window is first shown, as a document window makes it.
        QWidget frame;
        frame.resize(400, 300);
        auto* child = new COstrelView(&doc, &frame);
        child->resize(400, 300);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QCOMPARE(child->grabFramebuffer(), before);

        // In a maximised document window of a multiple-document area.
        QMdiArea area;
        area.resize(800, 600);
        auto* inMdi = new COstrelView(&doc);
        QMdiSubWindow* sub = area.addSubWindow(inMdi);
        sub->showMaximized();
        area.show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));
        const QImage mdi = inMdi->grabFramebuffer();
        QCOMPARE(inMdi->m_nWidth, mdi.width());
        QVERIFY(LineAt(mdi, mdi.width() / 4, mdi.height() / 2, true, IsFrameColour));
        QVERIFY(LineAt(mdi, 3 * mdi.width() / 4, mdi.height() / 2, true, IsFrameColour));
    }

    void labelsAppearAtTheirPositions() {
        COstrelDoc doc;
        // Values of which four decimals show three digits: the fixed formats and offsets hold.
        LoadCurve(doc, {}, 0, 10, -0.02f, 0.02f);
        doc.m_nLabelComp = 2;
        auto view = Show(doc, 400, 300);
        const QImage image = view->grabFramebuffer();
        const QFontMetrics metrics(view->font());
        const int ascent = metrics.ascent();
        const int descent = metrics.descent();
        auto box = [&](const PlotLabel& label, double x0, double y0) {
            const int x = int(std::floor(x0 + label.x));
            const int y = int(std::floor(y0 + label.y));
            const int width = metrics.horizontalAdvance(QString::fromStdString(label.text));
            return QRect(x, y - descent, width + 1, descent + ascent);
        };
        auto isBlue = [](const QColor& c) { return Near(c, 0, 0, 255, 1); };
        for (const PlotLabel& label : TimeLabels(0, 10, 200)) {
            QRect r = box(label, 100, 75);
            r.setBottom(std::min(r.bottom(), 72));  // below the frame's bottom edge
            QVERIFY2(CountIn(image, r, IsFrameColour) > 3, label.text.c_str());
        }
        for (const PlotLabel& label : ValueLabels(-0.02f, 0.02f, 150)) {
            QRect r = box(label, 100, 75);
            r.setRight(std::min(r.right(), 97));  // left of the frame's left edge
            QVERIFY2(CountIn(image, r, IsFrameColour) > 3, label.text.c_str());
        }
        QVERIFY(CountIn(image, box(*VerticalAxisLetter(2, 150), 100, 75), isBlue) > 3);
        QVERIFY(CountIn(image, box(HorizontalAxisLetter(200), 100, 75), isBlue) > 3);
        // Nothing drawn where no label is: left of the value labels, right of the letter "T".
        QCOMPARE(CountIn(image, QRect(0, 0, 40, 300), IsFrameColour), 0);
        QCOMPARE(CountIn(image, QRect(330, 0, 70, 300), isBlue), 0);

        // 200 wide: the value labels would start 5 pixels left of the window and are dropped
        // whole; the shorter "0.0" still starts inside and is drawn.
        view->resize(200, 300);
        QTRY_COMPARE(view->m_nWidth, 200);
        const QImage narrow = view->grabFramebuffer();
        const auto values = ValueLabels(-0.02f, 0.02f, 150);
        for (int i : {0, 1, 3, 4})
            QVERIFY2(CountIn(narrow, box(values[i], 50, 75).intersected(QRect(0, 0, 47, 300)),
                             IsFrameColour) == 0,
                     values[i].text.c_str());
        QVERIFY(CountIn(narrow, box(values[2], 50, 75).intersected(QRect(0, 0, 47, 300)),
                        IsFrameColour) > 3);
    }

    void twoViewsKeepTheirOwnColours() {
        COstrelDoc doc;
        LoadCurve(doc, {{0, 0}, {10, 0}}, 0, 10, -1, 1);
        auto first = Show(doc, 300, 200);
        auto second = Show(doc, 300, 200);

        WhenModal<QColorDialog>([](QColorDialog* d) {
            d->setCurrentColor(QColor(40, 50, 60));
            d->accept();
        });
        QVERIFY(first->OnCommand(Cmd::kBackgroundColor));
        WhenModal<QColorDialog>([](QColorDialog* d) {
            d->setCurrentColor(QColor(250, 10, 10));
            d->accept();
        });
        QVERIFY(first->OnCommand(Cmd::kCurveColor));
        QCOMPARE(first->m_clrBackground, plot::MakeRgb(40, 50, 60));
        QCOMPARE(first->m_clrCurve, plot::MakeRgb(250, 10, 10));
        QCOMPARE(second->m_clrBackground, plot::MakeRgb(255, 255, 255));
        QCOMPARE(second->m_clrCurve, plot::MakeRgb(0, 0, 255));

        const QImage a = first->grabFramebuffer();
        const QImage b = second->grabFramebuffer();
        QVERIFY(Near(At(a, 5, 5), 40, 50, 60, 0));
        QVERIFY(IsWhite(At(b, 5, 5)));
        QVERIFY(LineAt(a, 150, 100, false, [](const QColor& c) { return Near(c, 250, 10, 10, 1); }));
        QVERIFY(LineAt(b, 150, 100, false, [](const QColor& c) { return Near(c, 0, 0, 255, 1); }));

        // Cancel changes nothing.
        WhenModal<QColorDialog>([](QColorDialog* d) {
            d->setCurrentColor(QColor(1, 2, 3));
            d->reject();
        });
        first->OnCommand(Cmd::kBackgroundColor);
        QCOMPARE(first->m_clrBackground, plot::MakeRgb(40, 50, 60));
    }

    void lineWidthFormLayoutAndOpening() {
        CLineWidth dialog;
        QCOMPARE(dialog.m_fWidth, 0.0f);
        dialog.m_fWidth = 0.5f;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QString("Dialog"));
        QLineEdit* edit = dialog.WidthEdit();
        QCOMPARE(edit->text(), QString("0.5"));
        const auto labels = dialog.findChildren<QLabel*>();
        QCOMPARE(labels.size(), 1);
        QCOMPARE(labels[0]->text(), QString("Line width :"));
        auto* ok = dialog.findChild<QPushButton*>("1");
        auto* cancel = dialog.findChild<QPushButton*>("2");
        QVERIFY(ok && cancel);
        QCOMPARE(ok->text(), QString("OK"));
        QCOMPARE(cancel->text(), QString("Cancel"));
        QVERIFY(ok->isDefault());
        // Label left of the field on one line; the buttons side by side below, same size.
        QVERIFY(labels[0]->geometry().right() < edit->geometry().left());
        // The label's whole text fits, " :" included, with a font of any width.
        QVERIFY2(labels[0]->width() >= labels[0]->fontMetrics().horizontalAdvance(labels[0]->text()),
                 qPrintable(QString::number(labels[0]->width())));
        QVERIFY(labels[0]->height() >= labels[0]->fontMetrics().height());
        QCOMPARE(ok->geometry().top(), cancel->geometry().top());
        QCOMPARE(ok->size(), cancel->size());
        QVERIFY(ok->geometry().top() > edit->geometry().bottom());
        QVERIFY(ok->geometry().right() < cancel->geometry().left());
        QVERIFY(dialog.rect().contains(cancel->geometry()));
        QVERIFY(dialog.rect().contains(edit->geometry()));
        // 178 by 79 dialog units, a unit across being about half a unit down.
        const double aspect = double(dialog.width()) / dialog.height();
        QVERIFY2(aspect > 1.6 && aspect < 2.8, qPrintable(QString::number(aspect)));
        dialog.reject();

        CLineWidth two;
        two.m_fWidth = 2;
        two.show();
        QCOMPARE(two.WidthEdit()->text(), QString("2"));
        two.reject();
    }

    void lineWidthNumberTest() {
        CollectedMessages messages;
        for (const char* refused : {".0", "-0", "3x", "", "  ", "0x"}) {
            CLineWidth dialog(nullptr, &messages);
            dialog.m_fWidth = 1;
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            dialog.WidthEdit()->setText(refused);
            messages.texts.clear();
            QTest::mouseClick(dialog.findChild<QPushButton*>("1"), Qt::LeftButton);
            QVERIFY2(dialog.isVisible(), refused);
            QCOMPARE(messages.texts, std::vector<std::string>{"Please enter a number."});
            QCOMPARE(dialog.m_fWidth, 1.0f);
            QCOMPARE(dialog.WidthEdit()->selectedText(), QString(refused));
            // Focus arrives through the X server's events: under load a moment after the click.
            QTRY_VERIFY(dialog.WidthEdit()->hasFocus() || QApplication::focusWidget() == dialog.WidthEdit());
            dialog.reject();
        }
        const std::pair<const char*, float> accepted[] = {
            {"0.5", 0.5f}, {".5", 0.5f}, {"0", 0.0f}, {" \t3 \t", 3.0f}, {"-2", -2.0f}, {"1e1", 10.0f}};
        for (const auto& [text, value] : accepted) {
            CLineWidth dialog(nullptr, &messages);
            dialog.show();
            dialog.WidthEdit()->setText(text);
            messages.texts.clear();
            QTest::mouseClick(dialog.findChild<QPushButton*>("1"), Qt::LeftButton);
            QVERIFY2(!dialog.isVisible(), text);
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(dialog.m_fWidth, value);
            QVERIFY(messages.texts.empty());
        }
    }

    void lineStyleCommandSetsTheViewsWidth() {
        COstrelDoc doc;
        CollectedMessages messages;
        doc.m_services.messages = &messages;
        auto view = Show(doc, 200, 150);
        WhenModal<CLineWidth>([](CLineWidth* d) {
            QCOMPARE(d->WidthEdit()->text(), QString("0.5"));
            d->WidthEdit()->setText("3x");
            d->accept();  // refused, stays open
            QVERIFY(d->isVisible());
            d->WidthEdit()->setText(" 4 ");
            d->accept();
        });
        QVERIFY(view->OnCommand(Cmd::kLineStyle));
        QCOMPARE(view->m_fLineWidth, 4.0f);
        QCOMPARE(messages.texts, std::vector<std::string>{"Please enter a number."});

        WhenModal<CLineWidth>([](CLineWidth* d) {
            QCOMPARE(d->WidthEdit()->text(), QString("4"));
            d->WidthEdit()->setText("7");
            d->reject();
        });
        view->OnCommand(Cmd::kLineStyle);
        QCOMPARE(view->m_fLineWidth, 4.0f);
    }

    void overviewRestoresTheFullRangeOnlyWithACurve() {
        COstrelDoc doc;
        doc.m_fFullXMin = -1;
        doc.m_fFullXMax = 20;
        doc.m_fFullYMin = -3;
        doc.m_fFullYMax = 3;
        doc.m_fXMin = 1;
        doc.m_fXMax = 2;
        doc.m_fYMin = 0;
        doc.m_fYMax = 1;
        auto view = Show(doc, 300, 200);
        QVERIFY(view->OnCommand(Cmd::kOverview));
        QCOMPARE(doc.m_fXMin, 1.0f);
        QCOMPARE(doc.m_fXMax, 2.0f);
        QCOMPARE(doc.m_fYMin, 0.0f);
        QCOMPARE(doc.m_fYMax, 1.0f);
        QImage image = view->grabFramebuffer();
        QCOMPARE(CountIn(image, image.rect(), IsWhite), 300 * 200);

        doc.m_bCurveLoaded = 1;
        view->OnCommand(Cmd::kOverview);
        QCOMPARE(doc.m_fXMin, -1.0f);
        QCOMPARE(doc.m_fXMax, 20.0f);
        QCOMPARE(doc.m_fYMin, -3.0f);
        QCOMPARE(doc.m_fYMax, 3.0f);
    }

    void commandsCarriedAndAlwaysEnabled() {
        COstrelDoc doc;
        COstrelView view(&doc);
        const int carried[] = {32778, 32781, 32782, 32788, 32789, 32790, 32793, 32794, 32795,
                               32796, 32797, 32798, Cmd::kBackgroundColor, Cmd::kCurveColor,
                               Cmd::kLineStyle, Cmd::kOverview, Cmd::kFileSave, Cmd::kFilePrint,
                               Cmd::kFilePrintPreview};
        for (int id : carried) {
            QVERIFY2(view.Carries(id), qPrintable(QString::number(id)));
            QCOMPARE(view.OnUpdateCommand(id), std::optional<bool>(true));
        }
        for (int id : {Cmd::kFileNew, Cmd::kInputComposite, Cmd::kExecuteComposite, Cmd::kOpenFGM}) {
            QVERIFY(!view.Carries(id));
            QVERIFY(!view.OnUpdateCommand(id).has_value());
            QVERIFY(!view.OnCommand(id));
        }
    }

    void displayCommandsReadAndKeepTheCurveOnFailure() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::string root = dir.path().toStdString();
        QVERIFY(QDir(dir.path()).mkpath("bin"));
        {
            std::ofstream out(root + "/bin/result_v.dat");
            out << "3 3\n0 0\n5 0.5\n10 1\n";
        }
        COstrelDoc doc;
        doc.m_szStartDir = root;
        CollectedMessages messages;
        RedrawViews redraw;
        doc.m_services.messages = &messages;
        doc.m_services.views = &redraw;
        const QString home = QDir::currentPath();
        auto view = Show(doc, 400, 300);
        redraw.views.push_back(view.get());

        QVERIFY(view->OnCommand(Cmd::kDisplayComCurrentV));
        QCOMPARE(doc.m_nResultComp, 2);
        QCOMPARE(doc.m_nLabelComp, 2);
        QCOMPARE(doc.m_bCurveLoaded, 1);
        QCOMPARE(doc.m_nPoints, 3);
        QVERIFY(messages.texts.empty());
        QImage image = view->grabFramebuffer();
        // The curve runs corner to corner of the plot: (100, 75) to (300, 225).
        auto isCurve = [](const QColor& c) { return Near(c, 0, 0, 255, 1); };
        QVERIFY(CountIn(image, QRect(195, 145, 10, 10), isCurve) > 0);

        QVERIFY(view->OnCommand(Cmd::kDisplayComCurrentW));  // no W result here
        QCOMPARE(doc.m_nLabelComp, 3);
        QCOMPARE(doc.m_nResultComp, 3);
        QCOMPARE(doc.m_nPoints, 3);
        QCOMPARE(messages.texts.size(), size_t(1));
        image = view->grabFramebuffer();
        QVERIFY(CountIn(image, QRect(195, 145, 10, 10), isCurve) > 0);
        // Every read ends back in the document's working directory.
        QCOMPARE(QFileInfo(QDir::currentPath()).canonicalFilePath(), QFileInfo(dir.path()).canonicalFilePath());
        QDir::setCurrent(home);
    }

    void saveBitmapWritesTheDrawnFrame() {
        QTemporaryDir dir;
        COstrelDoc doc;
        doc.m_szStartDir = dir.path().toStdString();
        FixedFile file;
        file.path = (dir.path() + "/bmp_file/plot.bmp").toStdString();
        CollectedMessages messages;
        doc.m_services.files = &file;
        doc.m_services.messages = &messages;
        LoadCurve(doc, {{0, 0}, {10, 0}}, 0, 10, -1, 1);
        auto view = Show(doc, 301, 200);
        QVERIFY(view->OnCommand(Cmd::kFileSave));
        QVERIFY2(messages.texts.empty(), messages.texts.empty() ? "" : messages.texts[0].c_str());
        QImage saved(QString::fromStdString(file.path));
        QVERIFY(!saved.isNull());
        QCOMPARE(saved.size(), QSize(301, 200));
        const QImage drawn = view->grabFramebuffer();
        QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), drawn.convertToFormat(QImage::Format_RGB32));
    }

    void printAndPreviewGoThroughTheViewsPrinter() {
        QTemporaryDir dir;
        COstrelDoc doc;
        CollectedMessages messages;
        doc.m_services.messages = &messages;
        LoadCurve(doc, {{0, 0}, {10, 1}}, 0, 10, 0, 1);
        auto view = Show(doc, 320, 240);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        const QString pdf = dir.path() + "/page.pdf";
        printer.setOutputFileName(pdf);
        view->SetPrinter(&printer);

        bool previewShown = false;
        WhenModal<QPrintPreviewDialog>([&](QPrintPreviewDialog* d) {
            previewShown = true;
            d->reject();
        });
        QVERIFY(view->OnCommand(Cmd::kFilePrintPreview));
        QVERIFY(previewShown);
        QVERIFY(view->m_capture.IsEmpty());

        WhenModal<QPrintDialog>([](QPrintDialog* d) { d->accept(); });
        QVERIFY(view->OnCommand(Cmd::kFilePrint));
        QVERIFY2(messages.texts.empty(), messages.texts.empty() ? "" : messages.texts[0].c_str());
        QVERIFY(QFileInfo(pdf).size() > 0);
        QVERIFY(view->m_capture.IsEmpty());  // freed at the end of the job
    }
};

PEMBLAR_GUI_TEST_MAIN(TestView)
#include "test_view.moc"
