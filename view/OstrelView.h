#pragma once
// The curve view: draws the document's displacement-time curve with fixed-function OpenGL,
// carries the Display commands, the colour / line-width / Overview commands, and the bitmap
// and printing commands (whose work is in the capture layer).

#include <QOpenGLWidget>
#include <QtGui/qopengl.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ClientCapture.h"
#include "CommandTarget.h"
#include "CurveFigure.h"
#include "CurveLook.h"
#include "PlotGeometry.h"
#include "PlotGestures.h"
#include "PlotModel.h"

class COstrelDoc;
class IModalRunner;
class QOpenGLContext;
class QOpenGLFunctions_1_1;
class QPrinter;

class COstrelView : public QOpenGLWidget, public TCommandCarrier<COstrelView> {
    Q_OBJECT
public:
    explicit COstrelView(COstrelDoc* doc, QWidget* parent = nullptr);
    ~COstrelView() override;
    COstrelView(const COstrelView&) = delete;
    COstrelView& operator=(const COstrelView&) = delete;

    COstrelDoc* GetDocument() const { return m_pDocument; }

    // The surface every view asks for: compatibility profile, RGBA 8-8-8, depth 16, double buffer.
    static QSurfaceFormat RequestedFormat();
    // Whether this display can give a view its OpenGL context at all. Qt cannot even show an
    // OpenGL widget on a display without one, so the shell asks before it makes a view.
    static bool OpenGLAvailable();
    // True while any view of the program is drawing a frame; a paint arriving then is dropped.
    static bool PaintInProgress();

    // Its commands (ViewCommands.h): the Display commands, the four view commands, Save bitmap,
    // Print, Print Preview, always enabled; the Plot menu's, while a curve is shown.
    bool CurveLoaded() const;
    // A Display command: the read of its result, and every curve shown when others are added.
    void OnDisplay(int id);
    // "Show computed curve": the Display command of the component the document's last run kept.
    void OnShowComputedCurve();
    bool HasComputedCurve() const;

    void OnBackgroundColor();
    void OnCurveColor();
    void OnLineStyle();
    void OnOverview();
    void OnSaveBitmap();
    void OnFilePrint();
    void OnFilePrintPreview();
    // "/p file" and "/pt file printer": prints this view's picture without a dialog, on the
    // named printer or, with no name, on the default one. False (with a message) on failure.
    bool PrintDirect(const QString& printerName = QString());

    // ---- Plot commands: zoom, added curves, export (all also reachable without dialogs) ----
    void OnAddCurve();
    void OnRemoveCurves();
    void OnZoomIn();
    void OnZoomOut();
    void OnExportData();
    void OnExportImage();
    // The save-file chooser of the export commands, starting in the document's directory.
    std::optional<std::string> ChooseExportFile(const char* title, const char* ext, const char* name,
                                                const char* filter);
    void OnCopy();
    // Adds the curves of a result or CSV file in their own colours; false (after a message
    // through the document) when nothing could be read. The range then covers every curve.
    bool AddCurveFile(const std::string& path);
    // The curves as CSV (plot::SeriesCsvText): time in us, then each curve in mm; all of them,
    // or (shownSpan) their points in the time span on show.
    bool ExportDataTo(const std::string& path, bool shownSpan = false);
    // The figure at the given size as PNG or SVG (by the file's suffix), with grid lines or not.
    bool ExportImageTo(const std::string& path, QSize size, bool gridLines = false);
    // The document's curve and the added ones, as drawn (colours included).
    std::vector<plot::Series> ShownSeries() const;
    // The range covering the document's full range and every added curve.
    plot::Range FullRange() const;
    plot::Range ShownRange() const;
    // The plot rectangle in widget coordinates (y down): the middle half of the view.
    QRectF PlotArea() const;
    // What the view shows, as in the title and the status bar ("" without a curve).
    std::string Description() const;
    // The last read-out text sent to the status bar.
    const QString& Readout() const { return m_readout; }
    // The colours, width and range both pictures share.
    CurveLook Look() const;
    // What Export image draws.
    plot::PlotContent FigureContent() const;

    // Draws one frame now and returns it at client size (null when the view has no context).
    QImage CaptureFrame();
    // Bits per pixel of the screen the view is on (24 or 32).
    int ScreenBitDepth() const;

    // The printer that Print and Print Preview use; the shell may share one across views (for
    // Print Setup). Without one the view keeps its own.
    void SetPrinter(QPrinter* printer) { m_pPrinter = printer; }
    // What its dialogs (the export questions and options) are shown through; null: exec.
    void SetModalRunner(IModalRunner* modals) { m_pModals = modals; }

    // Set-up and drawing; the GL ones need the view's context current.
    bool SetupPixelFormat();
    void BuildLogicalPalette();
    void SetupViewport(int cx, int cy);
    void DrawScene();

    plot::Rgb m_clrBackground = plot::MakeRgb(255, 255, 255);
    plot::Rgb m_clrCurve = plot::MakeRgb(0, 0, 255);
    float m_fLineWidth = 0.5f;
    int m_nWidth = 0;
    int m_nHeight = 0;
    GLuint m_nFontListBase = 0;
    QOpenGLContext* m_hRC = nullptr;          // owned by the widget; null until initialised
    std::vector<PaletteEntry> m_palette;      // only for indexed-colour formats (never on X11)
    CClientCapture m_capture;
    // Curves added with "Add curve..." over the document's curve; they belong to this view.
    std::vector<plot::Series> m_overlays;

signals:
    // Description() changed (a new curve, another component); the frame retitles itself.
    void DescriptionChanged(const QString& description);
    // The status-bar text: the values under the pointer and the nearest curve point, or what
    // the view shows while the pointer is outside the plot.
    void ReadoutChanged(const QString& text);

protected:
    const TCommandHandler<COstrelView>* HandlerOf(int id) const override;
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void showEvent(QShowEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // Runs a gesture on the shown range (false: nothing changed) and writes the result back
    // into the document's displayed range.
    template <class F>
    bool ChangeRange(F&& gesture);
    void ShowStatus(const QString& text);
    void UpdateReadout(QPointF pos);
    void RefreshDescription();
    void ReleaseGL();
    FrameGrabber Grabber();
    QPrinter& Printer();

    COstrelDoc* m_pDocument;
    QOpenGLFunctions_1_1* m_gl = nullptr;     // null: no usable context, nothing is drawn
    bool m_bSetUp = false;                    // pixel-format check done (first show)
    bool m_bPixelFormatOk = true;
    QPrinter* m_pPrinter = nullptr;
    IModalRunner* m_pModals = nullptr;
    std::unique_ptr<QPrinter> m_ownPrinter;
    plot::PlotGestures m_gestures;
    QString m_readout;
    bool m_bDescriptionPending = false;
    QString m_description;
};
