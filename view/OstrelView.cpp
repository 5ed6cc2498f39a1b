#include "OstrelView.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStatusTipEvent>
#include <QWheelEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions_1_1>
#include <QOpenGLVersionFunctionsFactory>
#include <QPrinter>
#include <QScreen>
#include <QSurfaceFormat>

#include "CommandIds.h"
#include "CurveRanges.h"
#include "CurveSources.h"
#include "DisplayCommands.h"
#include "GlCurveScene.h"
#include "GlGlyphs.h"
#include "LineWidth.h"
#include "OstrelDoc.h"
#include "ProjectKind.h"
#include "ViewCommands.h"

namespace {

// One flag for the whole program: a paint request arriving while any view draws is dropped.
bool g_bPaintInProgress = false;

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
std::optional<plot::Rgb> ChooseColour(QWidget* parent) {
    QColorDialog dialog(parent);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QColor c = dialog.selectedColor();
    return plot::MakeRgb(c.red(), c.green(), c.blue());
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
    ClearCurveScene(*m_gl, m_clrBackground);
    m_gl->glMatrixMode(GL_MODELVIEW);
    m_gl->glPushMatrix();
    if (CurveLoaded())
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
    if (m_nFontListBase == 0)
        m_nFontListBase = BuildGlyphLists(*m_gl, font());
    const COstrelDoc& doc = *m_pDocument;
    CGlCurveScene scene;
    static_cast<CurveLook&>(scene) = Look();
    scene.width = m_nWidth;
    scene.height = m_nHeight;
    scene.curveColour = m_clrCurve;
    scene.curve = doc.m_curve.data();
    scene.points = std::min<long long>(doc.m_nPoints, static_cast<long long>(doc.m_curve.size()));
    scene.overlays = m_overlays;
    scene.mainName = MainCurveName(doc);
    scene.band = m_gestures.RubberBand();
    scene.pixelRatio = devicePixelRatioF();
    DrawCurveScene(*m_gl, m_nFontListBase, font(), scene);
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
        OnOverview();  // a new curve under added ones: show them all
    RefreshDescription();
}

bool COstrelView::HasComputedCurve() const {
    return m_pDocument && m_pDocument->m_lastRun.kind >= 0;
}

void COstrelView::OnShowComputedCurve() {
    if (!HasComputedCurve())
        return;
    const COstrelDoc::CLastRun& run = m_pDocument->m_lastRun;
    OnDisplay(KindAt(run.kind).displayCurrent[std::size_t(run.component - 1)]);
}

void COstrelView::OnBackgroundColor() {
    if (const std::optional<plot::Rgb> colour = ChooseColour(this)) {
        m_clrBackground = *colour;
        update();
    }
}

void COstrelView::OnCurveColor() {
    if (const std::optional<plot::Rgb> colour = ChooseColour(this)) {
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
    if (!CurveLoaded())
        return;
    WriteShownRange(*m_pDocument, FullRange());
    update();
}

// ---- Zoom, pan and read-out ------------------------------------------------------------

plot::Range COstrelView::FullRange() const { return m_pDocument ? FullRangeOf(*m_pDocument, m_overlays) : plot::Range{}; }

plot::Range COstrelView::ShownRange() const { return m_pDocument ? ShownRangeOf(*m_pDocument) : plot::Range{}; }

QRectF COstrelView::PlotArea() const {
    return QRectF(width() / 4.0, height() / 4.0, width() / 2.0, height() / 2.0);
}

template <class F>
bool COstrelView::ChangeRange(F&& gesture) {
    if (!CurveLoaded())
        return false;
    plot::ViewState view;
    view.SetFullRange(FullRange());
    view.SetShown(ShownRange());
    const plot::Range before = view.Shown();
    if (!gesture(view))
        return false;
    // A range the document's floats cannot hold is not taken.
    if (const plot::Range& r = view.Shown(); FitsInFloats(r) && !(r == before))
        WriteShownRange(*m_pDocument, r);
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
    if (CurveLoaded() &&
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
    if (!CurveLoaded())
        ShowStatus(QString());
    else if (!PlotArea().contains(pos))
        ShowStatus(QString::fromStdString(Description()));
    else
        ShowStatus(CurveReadoutText(*m_pDocument, m_overlays, PlotArea(), pos));
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
    if (!CurveLoaded())
        return series;
    series.push_back(MainSeries(*m_pDocument, m_clrCurve));
    series.insert(series.end(), m_overlays.begin(), m_overlays.end());
    return series;
}

bool COstrelView::AddCurveFile(const std::string& path) {
    if (!CurveLoaded())
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
        s.colour = OverlayColour(m_overlays.size());
        m_overlays.push_back(std::move(s));
    }
    OnOverview();
    if (!loaded.warning.empty())
        m_pDocument->ShowMessage(loaded.warning);
    return true;
}

void COstrelView::OnAddCurve() {
    if (!CurveLoaded() || !m_pDocument->m_services.files)
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

CurveLook COstrelView::Look() const {
    CurveLook look;
    look.background = m_clrBackground;
    look.lineWidth = m_fLineWidth;
    if (!CurveLoaded())
        return look;
    const COstrelDoc& doc = *m_pDocument;
    look.xMin = doc.m_fXMin;
    look.xMax = doc.m_fXMax;
    look.yMin = doc.m_fYMin;
    look.yMax = doc.m_fYMax;
    look.labelComp = doc.m_nLabelComp;
    look.cutAtFrame = IsZoomed(doc, m_overlays);
    return look;
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
