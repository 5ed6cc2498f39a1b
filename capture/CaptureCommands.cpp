// The view's bitmap and printing commands, kept out of the widget so they run alone in tests.

#include "ClientCapture.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include "OstrelDoc.h"
#include "WorkingDirectory.h"

namespace {

// Releases the capture however a print job or preview ends.
class CFreeAtEnd {
public:
    explicit CFreeAtEnd(CClientCapture& capture) : m_capture(capture) {}
    ~CFreeAtEnd() { m_capture.FreeDIB(); }
    CFreeAtEnd(const CFreeAtEnd&) = delete;
    CFreeAtEnd& operator=(const CFreeAtEnd&) = delete;

private:
    CClientCapture& m_capture;
};

const char kCaptureFailed[] = "Cannot capture the view!";

}  // namespace

SaveBitmapOutcome SaveBitmap(COstrelDoc& doc, CClientCapture& capture, const FrameGrabber& grabFrame,
                             int bitDepth) {
    CDirectoryGuard home(doc.m_szStartDir);
    if (!ChangeDirectory("bmp_file")) {
        MakeDirectory("bmp_file");
        ChangeDirectory("bmp_file");  // when this fails too, the dialog starts in the working directory
    }

    FileDialogRequest request;
    request.save = true;
    request.title = "Save As";
    request.defaultExt = "bmp";
    request.initialName = "*.bmp";
    request.filter = "*.bmp";
    request.startDir = CurrentDirectory();
    request.hideReadOnly = true;
    const std::optional<std::string> path =
        doc.m_services.files ? doc.m_services.files->ChooseFile(request) : std::nullopt;
    if (!path)
        return SaveBitmapOutcome::Cancelled;

    if (!capture.CaptureClient(grabFrame ? grabFrame() : QImage(), bitDepth)) {
        doc.ShowMessage(kCaptureFailed);
        return SaveBitmapOutcome::CaptureFailed;
    }
    std::string whyNot;
    if (!capture.WriteBitmapFile(*path, &whyNot)) {
        doc.ShowMessage(whyNot);
        return SaveBitmapOutcome::WriteFailed;
    }
    return SaveBitmapOutcome::Saved;
}

SaveBitmapOutcome SaveBitmap(COstrelDoc& doc, CClientCapture& capture, const QImage& frame, int bitDepth) {
    return SaveBitmap(doc, capture, FrameGrabber([&frame] { return frame; }), bitDepth);
}

bool CPrintDialogChooser::ChoosePrinter(QPrinter& printer) {
    QPrintDialog dialog(&printer, m_parent);
    return dialog.exec() == QDialog::Accepted;
}

int PaintCapturePage(QPainter& painter, QPrinter& printer, const CClientCapture& capture) {
    const QRect dst =
        PrintDestinationRect(capture.Width(), capture.Height(), printer.width(), printer.logicalDpiX(),
                             printer.logicalDpiY());
    return capture.DrawDIB(painter, dst, capture.Rect());
}

bool PrintCapture(QPrinter& printer, const CClientCapture& capture) {
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    PaintCapturePage(painter, printer, capture);
    return painter.end() && printer.printerState() != QPrinter::Error;
}

PrintOutcome OnFilePrint(COstrelDoc& doc, CClientCapture& capture, const FrameGrabber& grabFrame, int bitDepth,
                         QPrinter& printer, IPrinterChooser* chooser) {
    CFreeAtEnd freeAtEnd(capture);
    // The picture is taken before the dialog covers the view.
    if (grabFrame)
        capture.CaptureClient(grabFrame(), bitDepth);
    if (capture.IsEmpty()) {
        doc.ShowMessage(kCaptureFailed);
        return PrintOutcome::CaptureFailed;
    }
    if (chooser && !chooser->ChoosePrinter(printer))
        return PrintOutcome::Cancelled;
    if (!PrintCapture(printer, capture)) {
        doc.ShowMessage("Printing failed!");
        return PrintOutcome::PrinterFailed;
    }
    return PrintOutcome::Printed;
}

void OnFilePrintPreview(CClientCapture& capture, const FrameGrabber& grabFrame, int bitDepth, QPrinter& printer,
                        QWidget* parent) {
    CFreeAtEnd freeAtEnd(capture);
    if (grabFrame)
        capture.CaptureClient(grabFrame(), bitDepth);
    QPrintPreviewDialog dialog(&printer, parent);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&capture](QPrinter* target) {
        QPainter painter(target);
        PaintCapturePage(painter, *target, capture);
    });
    dialog.exec();
}

bool PrintOnDefaultPrinter(COstrelDoc& doc, CClientCapture& capture, const FrameGrabber& grabFrame, int bitDepth) {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        capture.FreeDIB();
        doc.ShowMessage("No default printer is available.");
        return false;
    }
    QPrinter printer(info, QPrinter::HighResolution);
    return OnFilePrint(doc, capture, grabFrame, bitDepth, printer, nullptr) == PrintOutcome::Printed;
}
