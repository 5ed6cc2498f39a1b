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
#include "PlotGeometry.h"

class COstrelDoc;
class QOpenGLContext;
class QOpenGLFunctions_1_1;
class QPrinter;

class COstrelView : public QOpenGLWidget, public ICommandTarget {
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

    // ICommandTarget: the Display commands, the four view commands, Save bitmap, Print,
    // Print Preview. All of them are always enabled.
    bool OnCommand(int id) override;
    std::optional<bool> OnUpdateCommand(int id) const override;
    bool Carries(int id) const override;

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

    // Draws one frame now and returns it at client size (null when the view has no context).
    QImage CaptureFrame();
    // Bits per pixel of the screen the view is on (24 or 32).
    int ScreenBitDepth() const;

    // The printer that Print and Print Preview use; the shell may share one across views (for
    // Print Setup). Without one the view keeps its own.
    void SetPrinter(QPrinter* printer) { m_pPrinter = printer; }

    // Set-up and drawing; the GL ones need the view's context current.
    bool SetupPixelFormat();
    void BuildLogicalPalette();
    void SetupViewport(int cx, int cy);
    GLuint BuildFontLists();
    void PrintString(GLuint listBase, const std::string& text);
    void DrawScene();
    void DrawFrame(double x0, double y0);
    void DrawAxes(double x0, double y0);
    void DrawCurve();
    void DrawLabel(double x, double y, const std::string& text, bool highlighted);

    Colour m_clrBackground = MakeColour(255, 255, 255);
    Colour m_clrCurve = MakeColour(0, 0, 255);
    float m_fLineWidth = 0.5f;
    int m_nWidth = 0;
    int m_nHeight = 0;
    GLuint m_nFontListBase = 0;
    QOpenGLContext* m_hRC = nullptr;          // owned by the widget; null until initialised
    std::vector<PaletteEntry> m_palette;      // only for indexed-colour formats (never on X11)
    CClientCapture m_capture;

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void showEvent(QShowEvent* event) override;

private:
    void ReleaseGL();
    bool FillGlyphLists(GLuint base);
    FrameGrabber Grabber();
    QPrinter& Printer();

    COstrelDoc* m_pDocument;
    QOpenGLFunctions_1_1* m_gl = nullptr;     // null: no usable context, nothing is drawn
    bool m_bSetUp = false;                    // pixel-format check done (first show)
    bool m_bPixelFormatOk = true;
    QPrinter* m_pPrinter = nullptr;
    std::unique_ptr<QPrinter> m_ownPrinter;
};
