#include "OstrelView.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStatusTipEvent>
#include <QWheelEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions_1_1>
#include <QOpenGLVersionFunctionsFactory>
#include <QPainter>
#include <QPrinter>
#include <QScreen>
#include <QSurfaceFormat>

#include <cfloat>
#include <cmath>

#include "CommandIds.h"
#include "CurveSources.h"
#include "DisplayCommands.h"
#include "ImageSizeDlg.h"
#include "LineWidth.h"
#include "OstrelDoc.h"
#include "PlotPainter.h"
#include "SeriesCsv.h"
#include "ViewCommands.h"

namespace {

// One flag for the whole program: a paint request arriving while any view draws is dropped.
bool g_bPaintInProgress = false;

constexpr int kGlyphCount = 256;

const char kChooseFormatFailed[] = "ChoosePixelFormat failed";
const char kSetFormatFailed[] = "SetPixelFormat failed (no OpenGL compatible video mode)";

// Whether an OpenGL context of the requested kind can be had at all; asked once per program.
bool ContextAvailable() {
    static const bool available = [] {
        QOpenGLContext probe;
        probe.setFormat(COstrelView::RequestedFormat());
        return probe.create();
    }();
    return available;
}

// Colour chooser with no preset colour; the chosen colour, or none on Cancel.
std::optional<Colour> ChooseColour(QWidget* parent) {
    QColorDialog dialog(parent);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QColor c = dialog.selectedColor();
    return MakeColour(c.red(), c.green(), c.blue());
}

}  // namespace

COstrelView::COstrelView(COstrelDoc* doc, QWidget* parent)
    : QOpenGLWidget(parent), m_pDocument(doc) {
    setFormat(RequestedFormat());
    // The frame's own clear paints the background; nothing else should.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setUpdateBehavior(QOpenGLWidget::NoPartialUpdate);
    // Keys zoom and pan, the pointer is read out: the view takes focus and follows the mouse.
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
}

COstrelView::~COstrelView() {
    // The base class destroys the context after this body; its notice must not reach a view
    // that is already gone.
    if (m_hRC)
        disconnect(m_hRC, nullptr, this, nullptr);
    makeCurrent();
    ReleaseGL();
    doneCurrent();
    m_palette.clear();
    m_capture.FreeDIB();
}

QSurfaceFormat COstrelView::RequestedFormat() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setDepthBufferSize(16);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    return format;
}

bool COstrelView::PaintInProgress() { return g_bPaintInProgress; }

bool COstrelView::OpenGLAvailable() { return ContextAvailable(); }

// ---- Set-up and release ----------------------------------------------------------------

bool COstrelView::SetupPixelFormat() {
    if (!ContextAvailable()) {
        if (m_pDocument)
            m_pDocument->ShowMessage(kChooseFormatFailed);
        return false;
    }
    return true;
}

void COstrelView::BuildLogicalPalette() {
    // X11 visuals under OpenGL are true colour: the format never asks for a palette. The pure
    // function still decides, so an indexed format would get its entries.
    PixelFormatLayout layout;
    if (m_hRC) {
        const QSurfaceFormat f = m_hRC->format();
        layout.colorBits = f.redBufferSize() + f.greenBufferSize() + f.blueBufferSize();
        layout.redBits = f.redBufferSize();
        layout.greenBits = f.greenBufferSize();
        layout.blueBits = f.blueBufferSize();
    }
    m_palette = ::BuildLogicalPalette(layout);
}

void COstrelView::showEvent(QShowEvent* event) {
    if (!m_bSetUp) {
        m_bSetUp = true;
        m_bPixelFormatOk = SetupPixelFormat();
    }
    QOpenGLWidget::showEvent(event);
}

void COstrelView::initializeGL() {
    m_hRC = context();
    m_gl = m_bPixelFormatOk && m_hRC
               ? QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_1_1>(m_hRC)
               : nullptr;
    if (m_gl && !m_gl->initializeOpenGLFunctions())
        m_gl = nullptr;
    if (!m_gl) {
        if (m_bPixelFormatOk && m_pDocument)
            m_pDocument->ShowMessage(kSetFormatFailed);
        return;
    }
    BuildLogicalPalette();
    // A context made when the widget is shown or moved to another window gets no resize of
    // its own: give it the projection of the size the widget has now.
    resizeGL(width(), height());
    // The widget may get a new context (when it moves to another top-level window): the old
    // one's display lists go with it and are built again on the next frame that needs them.
    connect(m_hRC, &QOpenGLContext::aboutToBeDestroyed, this,
            [this] {
                makeCurrent();
                ReleaseGL();
                doneCurrent();
            });
}

void COstrelView::ReleaseGL() {
    if (m_gl && m_nFontListBase != 0 && QOpenGLContext::currentContext() == m_hRC)
        m_gl->glDeleteLists(m_nFontListBase, kGlyphCount);
    m_nFontListBase = 0;
    m_gl = nullptr;
    m_hRC = nullptr;
}

// ---- Resize and frame ------------------------------------------------------------------

void COstrelView::resizeGL(int w, int h) {
    // A minimised or collapsed window keeps the previous size and projection.
    const qreal ratio = devicePixelRatioF();
    const int cx = qRound(w * ratio);
    const int cy = qRound(h * ratio);
    if (cx <= 0 || cy <= 0)
        return;
    m_nWidth = cx;
    m_nHeight = cy;
    if (m_gl)
        SetupViewport(cx, cy);
    update();
}

void COstrelView::SetupViewport(int cx, int cy) {
    m_gl->glViewport(0, 0, cx, cy);
    m_gl->glMatrixMode(GL_PROJECTION);
    m_gl->glLoadIdentity();
    m_gl->glOrtho(0, cx, 0, cy, -5, 5);
    m_gl->glTranslatef(0.0f, 0.0f, -4.0f);
    m_gl->glMatrixMode(GL_MODELVIEW);
}

void COstrelView::paintGL() {
    if (!m_gl || g_bPaintInProgress)
        return;
    g_bPaintInProgress = true;
    const Rgb background = ColourToGl(m_clrBackground);
    m_gl->glClearColor(GLfloat(background.r), GLfloat(background.g), GLfloat(background.b), 1.0f);
    m_gl->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    m_gl->glMatrixMode(GL_MODELVIEW);
    m_gl->glPushMatrix();
    if (m_pDocument && m_pDocument->m_bCurveLoaded == 1)
        DrawScene();
    m_gl->glPopMatrix();
    m_gl->glFinish();
    g_bPaintInProgress = false;
    // Another view of the document may have loaded a new curve: the title follows, after the
    // frame (retitling reaches the frames, which must not happen while drawing).
    if (!m_bDescriptionPending && QString::fromStdString(Description()) != m_description) {
        m_bDescriptionPending = true;
        QMetaObject::invokeMethod(this, [this] { RefreshDescription(); }, Qt::QueuedConnection);
    }
}

// ---- The plot --------------------------------------------------------------------------

void COstrelView::DrawScene() {
    const PlotOrigin origin = ComputePlotOrigin(m_nWidth, m_nHeight);
    DrawFrame(origin.x0, origin.y0);
    DrawAxes(origin.x0, origin.y0);
    DrawCurve();
    // Additions over what the plot always shows; none of them in the view's first state.
    DrawOverlays();
    DrawLegend();
    DrawRubberBand(origin.x0, origin.y0);
}

void COstrelView::DrawFrame(double x0, double y0) {
    const Rgb c = Plot::kNormalColour;
    m_gl->glLineWidth(Plot::kFrameLineWidth);
    m_gl->glColor3f(GLfloat(c.r), GLfloat(c.g), GLfloat(c.b));
    m_gl->glBegin(GL_LINES);
    m_gl->glVertex3d(x0, y0, 0);
    m_gl->glVertex3d(3 * x0, y0, 0);
    m_gl->glVertex3d(x0, y0, 0);
    m_gl->glVertex3d(x0, 3 * y0, 0);
    m_gl->glVertex3d(3 * x0, 3 * y0, 0);
    m_gl->glVertex3d(3 * x0, y0, 0);
    m_gl->glVertex3d(3 * x0, 3 * y0, 0);
    m_gl->glVertex3d(x0, 3 * y0, 0);
    m_gl->glEnd();
}

void COstrelView::DrawAxes(double x0, double y0) {
    if (m_nFontListBase == 0)
        m_nFontListBase = BuildFontLists();

    m_gl->glTranslatef(GLfloat(x0), GLfloat(y0), 1.0f);
    const double wx = 2 * x0;
    const double wy = 2 * y0;
    const double h = Plot::kTickLength;
    const Rgb c = Plot::kNormalColour;

    m_gl->glColor3f(GLfloat(c.r), GLfloat(c.g), GLfloat(c.b));
    m_gl->glBegin(GL_LINES);
    for (int k = 1; k < Plot::kTickIntervals; ++k) {
        m_gl->glVertex3d(k * wx / Plot::kTickIntervals, 0, 0);
        m_gl->glVertex3d(k * wx / Plot::kTickIntervals, h, 0);
    }
    m_gl->glEnd();
    const COstrelDoc& doc = *m_pDocument;
    const AxisLabels timeAxis = TimeAxisLabels(doc.m_fXMin, doc.m_fXMax, wx);
    for (const PlotLabel& label : timeAxis.labels)
        DrawLabel(label.x, label.y, label.text, label.highlighted);
    if (timeAxis.power)
        DrawLabel(timeAxis.power->x, timeAxis.power->y, timeAxis.power->text, timeAxis.power->highlighted);

    m_gl->glColor3f(GLfloat(c.r), GLfloat(c.g), GLfloat(c.b));
    m_gl->glBegin(GL_LINES);
    for (int k = 1; k < Plot::kTickIntervals; ++k) {
        m_gl->glVertex3d(0, k * wy / Plot::kTickIntervals, 0);
        m_gl->glVertex3d(h, k * wy / Plot::kTickIntervals, 0);
    }
    m_gl->glEnd();
    const AxisLabels valueAxis = ValueAxisLabels(doc.m_fYMin, doc.m_fYMax, wy);
    for (const PlotLabel& label : valueAxis.labels)
        DrawLabel(label.x, label.y, label.text, label.highlighted);
    if (valueAxis.power)
        DrawLabel(valueAxis.power->x, valueAxis.power->y, valueAxis.power->text, valueAxis.power->highlighted);

    if (const std::optional<PlotLabel> letter = VerticalAxisLetter(doc.m_nLabelComp, wy))
        DrawLabel(letter->x, letter->y, letter->text, letter->highlighted);
    const PlotLabel time = HorizontalAxisLetter(wx);
    DrawLabel(time.x, time.y, time.text, time.highlighted);
}

void COstrelView::DrawCurve() {
    const COstrelDoc& doc = *m_pDocument;
    const PlotMapping mapping = ComputePlotMapping(doc.m_fXMin, doc.m_fXMax, doc.m_fYMin,
                                                   doc.m_fYMax, m_nWidth, m_nHeight);
    // A width OpenGL refuses (0 or less) leaves the frame's width in force.
    m_gl->glLineWidth(m_fLineWidth);
    const Rgb c = ColourToGl(m_clrCurve);
    m_gl->glColor3f(GLfloat(c.r), GLfloat(c.g), GLfloat(c.b));

    const std::vector<CCurvePoint>& curve = doc.m_curve;
    const long long n = std::min<long long>(doc.m_nPoints, static_cast<long long>(curve.size()));
    m_gl->glBegin(GL_LINES);
    if (!Zoomed()) {
        for (long long i = 0; i + 1 < n; ++i) {
            const CCurvePoint& p = curve[i];
            const CCurvePoint& q = curve[i + 1];
            if (!mapping.SegmentShown(p, q))
                continue;
            m_gl->glVertex3f(GLfloat(mapping.MapX(p.m_fX)), GLfloat(mapping.MapY(p.m_fY)), 0.0f);
            m_gl->glVertex3f(GLfloat(mapping.MapX(q.m_fX)), GLfloat(mapping.MapY(q.m_fY)), 0.0f);
        }
    } else {
        // Zoomed in, a segment crossing the frame is cut at it: skipping it would leave gaps at
        // every edge of the zoomed part.
        for (long long i = 0; i + 1 < n; ++i) {
            plot::Point p{curve[i].m_fX, curve[i].m_fY};
            plot::Point q{curve[i + 1].m_fX, curve[i + 1].m_fY};
            if (!VisibleSegment(p, q, doc.m_fXMin, doc.m_fXMax, doc.m_fYMin, doc.m_fYMax, true))
                continue;
            m_gl->glVertex3f(GLfloat(mapping.MapX(p.x)), GLfloat(mapping.MapY(p.y)), 0.0f);
            m_gl->glVertex3f(GLfloat(mapping.MapX(q.x)), GLfloat(mapping.MapY(q.y)), 0.0f);
        }
    }
    m_gl->glEnd();
}

void COstrelView::DrawOverlays() {
    if (m_overlays.empty())
        return;
    const COstrelDoc& doc = *m_pDocument;
    const PlotMapping mapping = ComputePlotMapping(doc.m_fXMin, doc.m_fXMax, doc.m_fYMin,
                                                   doc.m_fYMax, m_nWidth, m_nHeight);
    const bool cut = Zoomed();
    m_gl->glLineWidth(m_fLineWidth);
    for (const plot::Series& s : m_overlays) {
        m_gl->glColor3f(GLfloat(plot::RgbRed(s.colour) / 255.0), GLfloat(plot::RgbGreen(s.colour) / 255.0),
                        GLfloat(plot::RgbBlue(s.colour) / 255.0));
        m_gl->glBegin(GL_LINES);
        for (std::size_t i = 0; i + 1 < s.points.size(); ++i) {
            plot::Point p = s.points[i], q = s.points[i + 1];
            if (!VisibleSegment(p, q, doc.m_fXMin, doc.m_fXMax, doc.m_fYMin, doc.m_fYMax, cut))
                continue;
            m_gl->glVertex3d(mapping.MapX(p.x), mapping.MapY(p.y), 0.0);
            m_gl->glVertex3d(mapping.MapX(q.x), mapping.MapY(q.y), 0.0);
        }
        m_gl->glEnd();
    }
}

void COstrelView::DrawLegend() {
    if (m_overlays.empty() || m_nFontListBase == 0)
        return;
    const std::vector<plot::Series> entries = [this] {
        std::vector<plot::Series> names;  // names and colours only
        plot::Series main;
        main.name = MainCurveName(*m_pDocument);
        main.colour = ToRgb(m_clrCurve);
        names.push_back(main);
        for (const plot::Series& s : m_overlays) {
            plot::Series entry;
            entry.name = s.name;
            entry.colour = s.colour;
            names.push_back(entry);
        }
        return names;
    }();
    // The glyph lists hold Latin-1: names are drawn in it, advances summed glyph by glyph.
    const QFontMetrics metrics(font());
    std::vector<std::string> texts;
    std::vector<double> widths;
    for (const plot::Series& e : entries) {
        const QByteArray latin1 = QString::fromStdString(e.name).toLatin1();
        texts.emplace_back(latin1.constData(), std::size_t(latin1.size()));
        double w = 0;
        for (const char c : latin1)
            w += metrics.horizontalAdvance(QChar::fromLatin1(c));
        widths.push_back(w);
    }
    const PlotOrigin origin = ComputePlotOrigin(m_nWidth, m_nHeight);
    const LegendLayout legend = ComputeLegend(widths, metrics.height(), metrics.descent(), origin.Width(),
                                              origin.Height());
    const Rgb back = ColourToGl(m_clrBackground);
    const Rgb c = Plot::kNormalColour;
    m_gl->glColor3f(GLfloat(back.r), GLfloat(back.g), GLfloat(back.b));
    m_gl->glBegin(GL_QUADS);
    m_gl->glVertex3d(legend.left, legend.bottom, 0);
    m_gl->glVertex3d(legend.right, legend.bottom, 0);
    m_gl->glVertex3d(legend.right, legend.top, 0);
    m_gl->glVertex3d(legend.left, legend.top, 0);
    m_gl->glEnd();
    m_gl->glLineWidth(1.0f);
    m_gl->glColor3f(GLfloat(c.r), GLfloat(c.g), GLfloat(c.b));
    m_gl->glBegin(GL_LINE_LOOP);
    m_gl->glVertex3d(legend.left + 0.5, legend.bottom + 0.5, 0);
    m_gl->glVertex3d(legend.right - 0.5, legend.bottom + 0.5, 0);
    m_gl->glVertex3d(legend.right - 0.5, legend.top - 0.5, 0);
    m_gl->glVertex3d(legend.left + 0.5, legend.top - 0.5, 0);
    m_gl->glEnd();
    m_gl->glLineWidth(2.0f);
    for (std::size_t i = 0; i < legend.rows.size(); ++i) {
        const LegendRow& row = legend.rows[i];
        const plot::Rgb colour = entries[i].colour;
        m_gl->glColor3f(GLfloat(plot::RgbRed(colour) / 255.0), GLfloat(plot::RgbGreen(colour) / 255.0),
                        GLfloat(plot::RgbBlue(colour) / 255.0));
        m_gl->glBegin(GL_LINES);
        m_gl->glVertex3d(row.sampleX0, row.sampleY, 0);
        m_gl->glVertex3d(row.sampleX1, row.sampleY, 0);
        m_gl->glEnd();
        DrawLabel(row.textX, row.textY, texts[i], false);
    }
    m_gl->glLineWidth(1.0f);
}

void COstrelView::DrawRubberBand(double x0, double y0) {
    const std::optional<QRectF> band = m_gestures.RubberBand();
    if (!band)
        return;
    // Widget coordinates (y down, logical pixels) to plot coordinates (y up, device pixels).
    const double ratio = devicePixelRatioF();
    const double left = band->left() * ratio - x0;
    const double right = band->right() * ratio - x0;
    const double top = m_nHeight - band->top() * ratio - y0;
    const double bottom = m_nHeight - band->bottom() * ratio - y0;
    m_gl->glLineWidth(1.0f);
    m_gl->glColor3f(0.3f, 0.3f, 0.3f);
    m_gl->glBegin(GL_LINE_LOOP);
    m_gl->glVertex3d(left, bottom, 0);
    m_gl->glVertex3d(right, bottom, 0);
    m_gl->glVertex3d(right, top, 0);
    m_gl->glVertex3d(left, top, 0);
    m_gl->glEnd();
}

void COstrelView::DrawLabel(double x, double y, const std::string& text, bool highlighted) {
    const Rgb c = highlighted ? Plot::kHighlightColour : Plot::kNormalColour;
    m_gl->glColor3f(GLfloat(c.r), GLfloat(c.g), GLfloat(c.b));
    m_gl->glRasterPos3d(x, y, 0);
    PrintString(m_nFontListBase, text);
}

// ---- Label font ------------------------------------------------------------------------

GLuint COstrelView::BuildFontLists() {
    if (m_nFontListBase != 0 && m_gl) {
        m_gl->glDeleteLists(m_nFontListBase, kGlyphCount);
        m_nFontListBase = 0;
    }
    if (!m_gl)
        return 0;
    const GLuint base = m_gl->glGenLists(kGlyphCount);
    if (base == 0)
        return 0;
    if (!FillGlyphLists(base)) {
        m_gl->glDeleteLists(base, kGlyphCount);
        return 0;
    }
    return base;
}

// One glBitmap list per character 0-255 (Latin-1) of the view's font. The bitmap's origin is
// the glyph's left end of the baseline, so the raster position is where the baseline starts;
// each glyph moves the raster position on by its advance.
bool COstrelView::FillGlyphLists(GLuint base) {
    QFont glyphFont = font();
    glyphFont.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics metrics(glyphFont);
    const int height = metrics.height();
    const int descent = metrics.descent();
    if (height <= 0)
        return false;

    // Errors left over from earlier calls (a refused line width) must not count against the font.
    for (int i = 0; i < 32 && m_gl->glGetError() != GL_NO_ERROR; ++i) {
    }
    m_gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    std::vector<GLubyte> bits;
    for (int code = 0; code < kGlyphCount; ++code) {
        const QChar ch = QChar::fromLatin1(char(code));
        const int advance = ch.isPrint() ? metrics.horizontalAdvance(ch) : 0;
        // A glyph without pixels still gets a 1 x 1 bitmap of clear bits: a zero-sized bitmap in
        // a display list is refused by some drivers.
        const int width = std::max(advance, 1);
        const int rowBytes = (width + 7) / 8;
        bits.assign(std::size_t(rowBytes) * height, 0);
        if (advance > 0) {
            QImage image(width, height, QImage::Format_Grayscale8);
            image.fill(0);
            {
                QPainter painter(&image);
                painter.setFont(glyphFont);
                painter.setPen(Qt::white);
                painter.drawText(0, metrics.ascent(), QString(ch));
            }
            // glBitmap rows run bottom to top, bits most significant first.
            for (int row = 0; row < height; ++row) {
                const uchar* line = image.constScanLine(height - 1 - row);
                GLubyte* out = bits.data() + std::size_t(row) * rowBytes;
                for (int x = 0; x < width; ++x)
                    if (line[x] >= 128)
                        out[x / 8] |= GLubyte(0x80 >> (x % 8));
            }
        }
        m_gl->glNewList(base + code, GL_COMPILE);
        m_gl->glBitmap(width, height, 0.0f, GLfloat(descent), GLfloat(std::max(advance, 0)), 0.0f,
                       bits.data());
        m_gl->glEndList();
    }
    const GLenum error = m_gl->glGetError();
    if (error != GL_NO_ERROR)
        qWarning("glyph lists: OpenGL error 0x%x", error);
    return error == GL_NO_ERROR;
}

void COstrelView::PrintString(GLuint listBase, const std::string& text) {
    if (listBase == 0 || text.empty() || !m_gl)
        return;
    m_gl->glListBase(listBase);
    m_gl->glCallLists(GLsizei(text.size()), GL_UNSIGNED_BYTE, text.data());
}

// ---- Commands --------------------------------------------------------------------------

const TCommandHandler<COstrelView>* COstrelView::HandlerOf(int id) const {
    return ViewHandler(id);
}

bool COstrelView::CurveLoaded() const {
    return m_pDocument && m_pDocument->m_bCurveLoaded == 1;
}

void COstrelView::OnDisplay(int id) {
    const DisplayCommand* display = FindDisplayCommand(id);
    if (display && m_pDocument && RunDisplayCommand(*m_pDocument, *display) && !m_overlays.empty())
        CoverAllCurves();  // a new curve under added ones: show them all
    RefreshDescription();
}

void COstrelView::OnBackgroundColor() {
    if (const std::optional<Colour> colour = ChooseColour(this)) {
        m_clrBackground = *colour;
        update();
    }
}

void COstrelView::OnCurveColor() {
    if (const std::optional<Colour> colour = ChooseColour(this)) {
        m_clrCurve = *colour;
        update();
    }
}

void COstrelView::OnLineStyle() {
    CLineWidth dialog(this, m_pDocument ? m_pDocument->m_services.messages : nullptr);
    dialog.m_fWidth = m_fLineWidth;
    if (dialog.DoModal() == 1) {
        m_fLineWidth = dialog.m_fWidth;
        update();
    }
}

void COstrelView::OnOverview() {
    if (!m_pDocument || m_pDocument->m_bCurveLoaded != 1)
        return;
    if (!m_overlays.empty()) {
        CoverAllCurves();
        return;
    }
    COstrelDoc& doc = *m_pDocument;
    doc.m_fXMin = doc.m_fFullXMin;
    doc.m_fYMin = doc.m_fFullYMin;
    doc.m_fXMax = doc.m_fFullXMax;
    doc.m_fYMax = doc.m_fFullYMax;
    update();
}

// ---- Zoom, pan and read-out ------------------------------------------------------------

plot::Range COstrelView::FullRange() const {
    if (!m_pDocument)
        return {};
    const COstrelDoc& doc = *m_pDocument;
    const plot::Range own{doc.m_fFullXMin, doc.m_fFullXMax, doc.m_fFullYMin, doc.m_fFullYMax};
    return *plot::Union(own, plot::DataRange(m_overlays));
}

plot::Range COstrelView::ShownRange() const {
    if (!m_pDocument)
        return {};
    const COstrelDoc& doc = *m_pDocument;
    return {doc.m_fXMin, doc.m_fXMax, doc.m_fYMin, doc.m_fYMax};
}

bool COstrelView::Zoomed() const {
    // The document keeps its ranges in 32-bit floats: compare in them.
    const plot::Range full = FullRange();
    const COstrelDoc& doc = *m_pDocument;
    return float(full.xMin) != doc.m_fXMin || float(full.xMax) != doc.m_fXMax || float(full.yMin) != doc.m_fYMin ||
           float(full.yMax) != doc.m_fYMax;
}

void COstrelView::WriteShownRange(const plot::Range& r) {
    COstrelDoc& doc = *m_pDocument;
    doc.m_fXMin = float(r.xMin);
    doc.m_fXMax = float(r.xMax);
    doc.m_fYMin = float(r.yMin);
    doc.m_fYMax = float(r.yMax);
}

void COstrelView::CoverAllCurves() {
    if (!m_pDocument || m_pDocument->m_bCurveLoaded != 1)
        return;
    WriteShownRange(FullRange());
    update();
}

QRectF COstrelView::PlotArea() const {
    return QRectF(width() / 4.0, height() / 4.0, width() / 2.0, height() / 2.0);
}

template <class F>
bool COstrelView::ChangeRange(F&& gesture) {
    if (!m_pDocument || m_pDocument->m_bCurveLoaded != 1)
        return false;
    plot::ViewState view;
    view.SetFullRange(FullRange());
    view.SetShown(ShownRange());
    const plot::Range before = view.Shown();
    if (!gesture(view))
        return false;
    // The document holds the range in 32-bit floats: a range they cannot hold is not taken.
    const plot::Range& r = view.Shown();
    const bool fits = std::abs(r.xMin) <= FLT_MAX && std::abs(r.xMax) <= FLT_MAX && std::abs(r.yMin) <= FLT_MAX &&
                      std::abs(r.yMax) <= FLT_MAX;
    if (fits && !(r == before))
        WriteShownRange(r);
    update();
    return true;
}

void COstrelView::OnZoomIn() {
    ChangeRange([this](plot::ViewState& v) { return m_gestures.Key(v, Qt::Key_Plus, Qt::NoModifier); });
}

void COstrelView::OnZoomOut() {
    ChangeRange([this](plot::ViewState& v) { return m_gestures.Key(v, Qt::Key_Minus, Qt::NoModifier); });
}

void COstrelView::wheelEvent(QWheelEvent* event) {
    const QPointF pos = event->position();
    const int delta = event->angleDelta().y();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    ChangeRange([&](plot::ViewState& v) { return m_gestures.Wheel(v, PlotArea(), pos, delta, modifiers); });
    UpdateReadout(pos);
    event->accept();
}

void COstrelView::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    if (m_pDocument && m_pDocument->m_bCurveLoaded == 1 &&
        m_gestures.Press(PlotArea(), event->position(), event->button()))
        return;
    QOpenGLWidget::mousePressEvent(event);
}

void COstrelView::mouseMoveEvent(QMouseEvent* event) {
    const QPointF pos = event->position();
    if (m_gestures.Dragging())
        ChangeRange([&](plot::ViewState& v) { return m_gestures.Move(v, PlotArea(), pos); });
    UpdateReadout(pos);
}

void COstrelView::mouseReleaseEvent(QMouseEvent* event) {
    const QPointF pos = event->position();
    const Qt::MouseButton button = event->button();
    if (!ChangeRange([&](plot::ViewState& v) { return m_gestures.Release(v, PlotArea(), pos, button); }))
        update();  // the rubber band goes
    UpdateReadout(pos);
}

void COstrelView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && m_gestures.Dragging()) {
        m_gestures.Cancel();
        update();
        return;
    }
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (!ChangeRange([&](plot::ViewState& v) { return m_gestures.Key(v, key, modifiers); }))
        QOpenGLWidget::keyPressEvent(event);
}

void COstrelView::leaveEvent(QEvent* event) {
    ShowStatus(QString());
    QOpenGLWidget::leaveEvent(event);
}

void COstrelView::ShowStatus(const QString& text) {
    if (text == m_readout)
        return;
    m_readout = text;
    emit ReadoutChanged(text);
    // The frame's status bar shows status tips that reach it from its child widgets.
    QStatusTipEvent tip(text);
    QCoreApplication::sendEvent(this, &tip);
}

void COstrelView::UpdateReadout(QPointF pos) {
    if (!m_pDocument || m_pDocument->m_bCurveLoaded != 1) {
        ShowStatus(QString());
        return;
    }
    const QRectF area = PlotArea();
    if (!area.contains(pos)) {
        ShowStatus(QString::fromStdString(Description()));
        return;
    }
    const COstrelDoc& doc = *m_pDocument;
    const plot::Range shown = ShownRange();
    const plot::Mapping map{shown, area};
    const plot::Point at = map.ToData(pos);
    const double px = map.PixelsPerX(), py = map.PixelsPerY();
    // Nearest point among the document's curve (read in place: it may be large) and the
    // added curves, measured on screen.
    std::optional<plot::Nearest> nearest;
    std::string nearestName;
    double best = 1e300;
    const long long n = std::min<long long>(doc.m_nPoints, static_cast<long long>(doc.m_curve.size()));
    for (long long i = 0; i < n; ++i) {
        const plot::Point p{doc.m_curve[i].m_fX, doc.m_curve[i].m_fY};
        if (!shown.Contains(p))
            continue;
        const double dx = (p.x - at.x) * px, dy = (p.y - at.y) * py;
        if (dx * dx + dy * dy < best) {
            best = dx * dx + dy * dy;
            nearest = plot::Nearest{0, std::size_t(i), p, 0};
        }
    }
    if (nearest)
        nearestName = MainCurveName(doc);
    if (const auto o = plot::NearestPoint(m_overlays, at, px, py, shown); o && o->pixels * o->pixels < best) {
        nearest = o;
        nearestName = m_overlays[o->series].name;
    }
    const QString letter = QString::fromStdString(ComponentLetter(doc.m_nLabelComp));
    const QString value = letter.isEmpty() ? QStringLiteral("value") : letter;
    QString text = QStringLiteral("t = %1 us, %2 = %3 mm")
                       .arg(plot::ReadoutNumber(at.x), value, plot::ReadoutNumber(at.y));
    if (nearest)
        text += QStringLiteral("  |  nearest point of %1: t = %2 us, %3 = %4 mm")
                    .arg(QString::fromStdString(nearestName), plot::ReadoutNumber(nearest->point.x), value,
                         plot::ReadoutNumber(nearest->point.y));
    ShowStatus(text);
}

std::string COstrelView::Description() const { return m_pDocument ? CurveDescription(*m_pDocument) : std::string(); }

void COstrelView::RefreshDescription() {
    m_bDescriptionPending = false;
    const QString description = QString::fromStdString(Description());
    if (description == m_description)
        return;
    m_description = description;
    emit DescriptionChanged(description);
}

// ---- Added curves and export -------------------------------------------------------------

std::vector<plot::Series> COstrelView::ShownSeries() const {
    std::vector<plot::Series> series;
    if (!m_pDocument || m_pDocument->m_bCurveLoaded != 1)
        return series;
    series.push_back(MainSeries(*m_pDocument, m_clrCurve));
    series.insert(series.end(), m_overlays.begin(), m_overlays.end());
    return series;
}

bool COstrelView::AddCurveFile(const std::string& path) {
    if (!m_pDocument || m_pDocument->m_bCurveLoaded != 1)
        return false;
    LoadedCurves loaded = LoadCurveFile(path);
    if (!loaded.error.empty()) {
        m_pDocument->ShowMessage(loaded.error);
        return false;
    }
    if (loaded.series.empty()) {
        m_pDocument->ShowMessage("The file " + path + " holds no curve.");
        return false;
    }
    for (plot::Series& s : loaded.series) {
        s.colour = ToRgb(OverlayColour(m_overlays.size()));
        m_overlays.push_back(std::move(s));
    }
    CoverAllCurves();
    if (!loaded.warning.empty())
        m_pDocument->ShowMessage(loaded.warning);
    return true;
}

void COstrelView::OnAddCurve() {
    if (!m_pDocument || m_pDocument->m_bCurveLoaded != 1 || !m_pDocument->m_services.files)
        return;
    FileDialogRequest request;
    request.title = "Add curve";
    request.filter = "Curves (*.dat *.csv *.txt);;All files (*)";
    request.startDir = m_pDocument->m_szStartDir;
    if (const std::optional<std::string> path = m_pDocument->m_services.files->ChooseFile(request))
        AddCurveFile(*path);
}

void COstrelView::OnRemoveCurves() {
    if (m_overlays.empty())
        return;
    m_overlays.clear();
    // Back to the document's own curve, as Overview shows it.
    OnOverview();
    update();
}

bool COstrelView::ExportDataTo(const std::string& path) {
    const std::vector<plot::Series> series = ShownSeries();
    if (series.empty())
        return false;
    const std::string text = plot::SeriesCsvText(series, plot::AxisName{"t", kTimeUnit});
    QString error;
    if (!plot::SaveFileAtomically(QString::fromStdString(path), QByteArray::fromStdString(text), &error)) {
        m_pDocument->ShowMessage("writing data to the file failed ! " + error.toStdString());
        return false;
    }
    return true;
}

CurvePicture COstrelView::Picture() const {
    CurvePicture picture;
    picture.background = m_clrBackground;
    picture.lineWidth = m_fLineWidth;
    if (!m_pDocument || m_pDocument->m_bCurveLoaded != 1)
        return picture;
    const COstrelDoc& doc = *m_pDocument;
    picture.loaded = true;
    picture.xMin = doc.m_fXMin;
    picture.xMax = doc.m_fXMax;
    picture.yMin = doc.m_fYMin;
    picture.yMax = doc.m_fYMax;
    picture.labelComp = doc.m_nLabelComp;
    picture.series = ShownSeries();
    picture.cutAtFrame = Zoomed();
    picture.legend = !m_overlays.empty();
    return picture;
}

bool COstrelView::ExportImageTo(const std::string& path, QSize size) {
    if (!m_pDocument)
        return false;
    const CurvePicture picture = Picture();
    const QFont labelFont = font();
    QString error;
    const bool ok = plot::ExportImageFile(
        QString::fromStdString(path), size,
        [&](QPainter& painter, const QRectF& target) {
            PaintCurvePicture(painter, target.size().toSize(), picture, labelFont);
        },
        &error, QString::fromStdString(Description()));
    if (!ok)
        m_pDocument->ShowMessage("Cannot write the image: " + error.toStdString());
    return ok;
}

std::optional<std::string> COstrelView::ChooseExportFile(const char* title, const char* ext, const char* name,
                                                         const char* filter) {
    FileDialogRequest request;
    request.save = true;
    request.title = title;
    request.defaultExt = ext;
    request.initialName = name;
    request.filter = filter;
    request.startDir = m_pDocument->m_szStartDir;
    return m_pDocument->m_services.files->ChooseFile(request);
}

void COstrelView::OnExportData() {
    if (!m_pDocument || m_pDocument->m_bCurveLoaded != 1 || !m_pDocument->m_services.files)
        return;
    if (const std::optional<std::string> path =
            ChooseExportFile("Export data", "csv", "curve.csv", "CSV files (*.csv)"))
        ExportDataTo(*path);
}

void COstrelView::OnExportImage() {
    if (!m_pDocument || m_pDocument->m_bCurveLoaded != 1 || !m_pDocument->m_services.files)
        return;
    CImageSizeDlg sizeDialog(QSize(std::max(width(), CImageSizeDlg::kMinimum), std::max(height(), CImageSizeDlg::kMinimum)),
                             this);
    if (sizeDialog.exec() != QDialog::Accepted)
        return;
    if (const std::optional<std::string> path =
            ChooseExportFile("Export image", "png", "curve.png", "Images (*.png *.svg)"))
        ExportImageTo(*path, sizeDialog.ChosenSize());
}

void COstrelView::OnCopy() {
    const QImage frame = CaptureFrame();
    if (frame.isNull()) {
        if (m_pDocument)
            m_pDocument->ShowMessage("Cannot capture the view!");
        return;
    }
    if (QClipboard* clipboard = QApplication::clipboard())
        clipboard->setImage(frame);
}

// ---- Bitmap and printing ---------------------------------------------------------------

QImage COstrelView::CaptureFrame() {
    if (!isValid())
        return QImage();
    return grabFramebuffer();
}

int COstrelView::ScreenBitDepth() const {
    const QScreen* s = screen();
    return s ? s->depth() : 24;
}

FrameGrabber COstrelView::Grabber() {
    return [this] { return CaptureFrame(); };
}

QPrinter& COstrelView::Printer() {
    if (m_pPrinter)
        return *m_pPrinter;
    if (!m_ownPrinter)
        m_ownPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_ownPrinter;
}

void COstrelView::OnSaveBitmap() {
    if (m_pDocument)
        SaveBitmap(*m_pDocument, m_capture, Grabber(), ScreenBitDepth());
}

void COstrelView::OnFilePrint() {
    if (!m_pDocument)
        return;
    CPrintDialogChooser chooser(this);
    ::OnFilePrint(*m_pDocument, m_capture, Grabber(), ScreenBitDepth(), Printer(), &chooser);
}

void COstrelView::OnFilePrintPreview() {
    ::OnFilePrintPreview(m_capture, Grabber(), ScreenBitDepth(), Printer(), this);
}

bool COstrelView::PrintDirect(const QString& printerName) {
    if (!m_pDocument)
        return false;
    if (printerName.isEmpty())
        return PrintOnDefaultPrinter(*m_pDocument, m_capture, Grabber(), ScreenBitDepth());
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(printerName);
    return ::OnFilePrint(*m_pDocument, m_capture, Grabber(), ScreenBitDepth(), printer, nullptr) ==
           PrintOutcome::Printed;
}
