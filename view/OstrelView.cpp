#include "OstrelView.h"

#include <QColorDialog>
#include <QFontMetrics>
#include <QImage>
#include <QOpenGLContext>
#include <QOpenGLFunctions_1_1>
#include <QOpenGLVersionFunctionsFactory>
#include <QPainter>
#include <QPrinter>
#include <QScreen>
#include <QSurfaceFormat>

#include "CommandIds.h"
#include "DisplayCommands.h"
#include "LineWidth.h"
#include "OstrelDoc.h"

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
}

// ---- The plot --------------------------------------------------------------------------

void COstrelView::DrawScene() {
    const PlotOrigin origin = ComputePlotOrigin(m_nWidth, m_nHeight);
    DrawFrame(origin.x0, origin.y0);
    DrawAxes(origin.x0, origin.y0);
    DrawCurve();
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
    for (const PlotLabel& label : TimeLabels(doc.m_fXMin, doc.m_fXMax, wx))
        DrawLabel(label.x, label.y, label.text, label.highlighted);

    m_gl->glColor3f(GLfloat(c.r), GLfloat(c.g), GLfloat(c.b));
    m_gl->glBegin(GL_LINES);
    for (int k = 1; k < Plot::kTickIntervals; ++k) {
        m_gl->glVertex3d(0, k * wy / Plot::kTickIntervals, 0);
        m_gl->glVertex3d(h, k * wy / Plot::kTickIntervals, 0);
    }
    m_gl->glEnd();
    for (const PlotLabel& label : ValueLabels(doc.m_fYMin, doc.m_fYMax, wy))
        DrawLabel(label.x, label.y, label.text, label.highlighted);

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
    for (long long i = 0; i + 1 < n; ++i) {
        const CCurvePoint& p = curve[i];
        const CCurvePoint& q = curve[i + 1];
        if (!mapping.SegmentShown(p, q))
            continue;
        m_gl->glVertex3f(GLfloat(mapping.MapX(p.m_fX)), GLfloat(mapping.MapY(p.m_fY)), 0.0f);
        m_gl->glVertex3f(GLfloat(mapping.MapX(q.m_fX)), GLfloat(mapping.MapY(q.m_fY)), 0.0f);
    }
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

bool COstrelView::Carries(int id) const {
    switch (id) {
    case Cmd::kBackgroundColor:
    case Cmd::kCurveColor:
    case Cmd::kLineStyle:
    case Cmd::kOverview:
    case Cmd::kFileSave:
    case Cmd::kFilePrint:
    case Cmd::kFilePrintPreview:
        return true;
    default:
        return FindDisplayCommand(id) != nullptr;
    }
}

std::optional<bool> COstrelView::OnUpdateCommand(int id) const {
    if (Carries(id))
        return true;
    return std::nullopt;
}

bool COstrelView::OnCommand(int id) {
    if (const DisplayCommand* display = FindDisplayCommand(id)) {
        if (m_pDocument)
            RunDisplayCommand(*m_pDocument, *display);
        return true;
    }
    switch (id) {
    case Cmd::kBackgroundColor: OnBackgroundColor(); return true;
    case Cmd::kCurveColor: OnCurveColor(); return true;
    case Cmd::kLineStyle: OnLineStyle(); return true;
    case Cmd::kOverview: OnOverview(); return true;
    case Cmd::kFileSave: OnSaveBitmap(); return true;
    case Cmd::kFilePrint: OnFilePrint(); return true;
    case Cmd::kFilePrintPreview: OnFilePrintPreview(); return true;
    default: return false;
    }
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
    COstrelDoc& doc = *m_pDocument;
    doc.m_fXMin = doc.m_fFullXMin;
    doc.m_fYMin = doc.m_fFullYMin;
    doc.m_fXMax = doc.m_fFullXMax;
    doc.m_fYMax = doc.m_fFullYMax;
    update();
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
