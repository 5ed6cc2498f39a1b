#pragma once
// The view's client area held as a device-independent bitmap: one block with the 40-byte
// information header, the colour table and the rows bottom row first, each padded to four
// bytes. The same block is written behind a 14-byte file header as a .bmp file and drawn
// onto printer pages.

#include <QImage>
#include <QRect>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class COstrelDoc;
class QPainter;
class QPrinter;
class QWidget;

// Colour-table entries of a DIB with the given bits per pixel: 2^b up to 8 bits, else none.
int ColourTableEntries(int bitCount);
// Bytes of one stored row: width * bitCount bits rounded up to a multiple of 32 bits.
std::uint32_t DibRowBytes(int width, int bitCount);

// Where the capture lands on a printed page: the full printable width at the top, the height
// keeping the on-screen proportions in physical units (the printer's pixels need not be square).
// All sizes in pixels; an empty rectangle when any input is not positive.
QRect PrintDestinationRect(int clientWidth, int clientHeight, int pageWidth, int dpiX, int dpiY);

class CClientCapture {
public:
    CClientCapture() = default;
    ~CClientCapture() = default;
    CClientCapture(const CClientCapture&) = delete;
    CClientCapture& operator=(const CClientCapture&) = delete;

    // Takes the freshly drawn frame (QOpenGLWidget::grabFramebuffer(), client size) at the
    // screen's bit depth (QScreen::depth(): 24 or 32; other depths are stored as 24 bits).
    // The rectangle form copies rect's size from the frame's top-left corner, as the view's
    // client rectangle; the short form takes the whole frame. True when a DIB is held after.
    // A failed capture leaves the object empty, so a stale picture is never saved.
    bool CaptureClient(const QImage& frame, int bitDepth);
    bool CaptureClient(const QImage& frame, const QRect& rect, int bitDepth);

    // Builds the held DIB from the picture (any previous block is released first); returns
    // the block start, or nullptr when it cannot be built (then the object is empty).
    const std::uint8_t* ConvertToDIB(const QImage& bitmap, int bitCount);

    // Draws the held DIB: src (top-down client coordinates) onto dst, unscaled when the sizes
    // match, otherwise stretched as a plain pixel copy. Returns the number of rows drawn,
    // 0 when nothing is held.
    int DrawDIB(QPainter& painter, const QRect& dst, const QRect& src) const;

    // Writes the 14-byte file header and the block to path, atomically: a temporary file in the
    // same directory renamed into place only when every byte is written. On failure nothing is
    // left behind, an existing file stays as it was, and whyNot (when given) says what failed.
    bool WriteBitmapFile(const std::string& path, std::string* whyNot = nullptr) const;

    // Releases the held block (the palette stays).
    void FreeDIB();

    bool IsEmpty() const { return m_hDIB.empty(); }
    int Width() const;
    int Height() const;
    int BitCount() const;
    std::uint32_t SizeImage() const;
    QRect Rect() const { return QRect(0, 0, Width(), Height()); }
    // The held picture as a top-down image (a null image when empty).
    QImage ToImage() const;

    // The held block: header, colour table, pixel data; empty when nothing is held.
    std::vector<std::uint8_t> m_hDIB;
    std::uint8_t* m_lpbi = nullptr;    // header, the block start
    std::uint8_t* m_lpBits = nullptr;  // pixel data: block start + 40 + 4 n
    // Colour entries (blue, green, red, 0) for palette displays; true-colour screens have none.
    std::vector<std::uint32_t> m_palette;
};

// ---- Commands the view carries -----------------------------------------------------------

// Draws the view once more and returns that frame (grabFramebuffer()); a null image on failure.
using FrameGrabber = std::function<QImage()>;

enum class SaveBitmapOutcome { Saved, Cancelled, CaptureFailed, WriteFailed };

// "Save bitmap" (57603): starts the save dialog (doc.m_services.files) in "bmp_file" below
// doc.m_szStartDir, created when missing; on OK draws a fresh frame, captures it and writes the
// file. Failures are shown through doc.ShowMessage. The current directory is the document's
// working directory afterwards on every path; the capture stays held.
SaveBitmapOutcome SaveBitmap(COstrelDoc& doc, CClientCapture& capture, const FrameGrabber& grabFrame,
                             int bitDepth);
// The same with a frame the view has already drawn.
SaveBitmapOutcome SaveBitmap(COstrelDoc& doc, CClientCapture& capture, const QImage& frame, int bitDepth);

// Asks the user for a printer and its settings; false on Cancel.
class IPrinterChooser {
public:
    virtual ~IPrinterChooser() = default;
    virtual bool ChoosePrinter(QPrinter& printer) = 0;
};

// The standard print dialog.
class CPrintDialogChooser : public IPrinterChooser {
public:
    explicit CPrintDialogChooser(QWidget* parent) : m_parent(parent) {}
    bool ChoosePrinter(QPrinter& printer) override;

private:
    QWidget* m_parent;
};

// Paints the held capture on the current page of printer at PrintDestinationRect. The painter
// must be active on printer. Returns the rows drawn (0 when nothing is held).
int PaintCapturePage(QPainter& painter, QPrinter& printer, const CClientCapture& capture);
// Opens a painter on printer, paints the one page, ends the job. False when the printer
// cannot be started or the job fails.
bool PrintCapture(QPrinter& printer, const CClientCapture& capture);

enum class PrintOutcome { Printed, Cancelled, CaptureFailed, PrinterFailed };

// "Print..." (57607): a fresh frame is captured before the dialog; chooser null prints without
// a dialog (the "/p file" route). The capture is freed at the end in every case. Failures are
// shown through doc.ShowMessage.
PrintOutcome OnFilePrint(COstrelDoc& doc, CClientCapture& capture, const FrameGrabber& grabFrame, int bitDepth,
                         QPrinter& printer, IPrinterChooser* chooser);

// "Print Preview" (57609): a preview window of the page as it would print; grabFrame (when
// set) takes a fresh capture first, so the preview shows the view as it is now. The capture is
// freed when the preview closes. The preview is modal.
void OnFilePrintPreview(CClientCapture& capture, const FrameGrabber& grabFrame, int bitDepth, QPrinter& printer,
                        QWidget* parent);

// "/p file": prints on the system's default printer without a dialog. False (with a message
// through doc.ShowMessage) when there is no default printer or printing fails.
bool PrintOnDefaultPrinter(COstrelDoc& doc, CClientCapture& capture, const FrameGrabber& grabFrame, int bitDepth);
