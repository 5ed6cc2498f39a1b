// Save bitmap and printing as the view runs them: real files in temporary directories, the
// save dialog and message boxes through scripted services, the printer replaced by PDF.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <deque>
#include <unistd.h>

#include "ClientCapture.h"
#include "OstrelDoc.h"
#include "WorkingDirectory.h"
#include "../FileSizeLimit.h"
#include "../GuiTestMain.h"

namespace {

class CScriptedChooser : public IFileChooser {
public:
    std::optional<std::string> ChooseFile(const FileDialogRequest& request) override {
        requests.push_back(request);
        if (onAsk)
            onAsk();
        if (answers.empty())
            return std::nullopt;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::deque<std::optional<std::string>> answers;
    std::vector<FileDialogRequest> requests;
    std::function<void()> onAsk;
};

class CRecordingSink : public IMessageSink {
public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    std::vector<std::string> messages;
};

class CScriptedPrinterChooser : public IPrinterChooser {
public:
    explicit CScriptedPrinterChooser(bool accept) : m_accept(accept) {}
    bool ChoosePrinter(QPrinter&) override {
        ++asked;
        if (onAsk)
            onAsk();
        return m_accept;
    }
    int asked = 0;
    std::function<void()> onAsk;

private:
    bool m_accept;
};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The view's picture as a test stands it in: white, a black frame along every edge and a red
// block in the left half, so the printed extent and orientation can be measured.
QImage ViewPicture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.fillRect(QRect(width / 8, height / 4, width / 4, height / 2), QColor(255, 0, 0));
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, width - 1, height - 1);
    painter.drawRect(1, 1, width - 3, height - 3);
    return image;
}

struct CDocFixture {
    CDocFixture() {
        doc.m_szStartDir = QDir(dir.path()).canonicalPath().toStdString();
        doc.m_services.files = &chooser;
        doc.m_services.messages = &sink;
    }
    QString Path(const QString& name) const { return QString::fromStdString(doc.m_szStartDir) + "/" + name; }
    QTemporaryDir dir;
    COstrelDoc doc;
    CScriptedChooser chooser;
    CRecordingSink sink;
    CClientCapture capture;
    int grabs = 0;
    QImage picture = ViewPicture(301, 200);
    FrameGrabber grab = [this] {
        ++grabs;
        return picture;
    };
};

QStringList EntriesOf(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

}  // namespace

class TestCaptureCommands : public QObject {
    Q_OBJECT

private slots:
    void saveCreatesFolderAndWrites();
    void saveCancelledOrElsewhere();
    void saveWhenFolderCannotBeMade();
    void saveFailuresAreReported();
    void saveOverFileSizeLimitKeepsOldFile();
    void destinationRectangle_data();
    void destinationRectangle();
    void printToPdfFillsWidthAtTop();
    void printCancelledOrUncaptured();
    void previewShowsCaptureAndFreesIt();
    void noDefaultPrinter();
};

void TestCaptureCommands::saveCreatesFolderAndWrites() {
    CDocFixture f;
    const QString target = f.Path("bmp_file/curve.bmp");
    f.chooser.answers = {target.toStdString(), target.toStdString()};
    std::vector<int> grabsWhenAsked;
    f.chooser.onAsk = [&] { grabsWhenAsked.push_back(f.grabs); };
    ChangeDirectory("/");

    QCOMPARE(SaveBitmap(f.doc, f.capture, f.grab, 24), SaveBitmapOutcome::Saved);
    QCOMPARE(f.grabs, 1);
    QVERIFY(QFileInfo(f.Path("bmp_file")).isDir());
    QCOMPARE(CurrentDirectory(), f.doc.m_szStartDir);
    QVERIFY(f.sink.messages.empty());
    QVERIFY(!f.capture.IsEmpty());  // a save keeps the capture

    const FileDialogRequest& request = f.chooser.requests.at(0);
    QVERIFY(request.save);
    QCOMPARE(request.startDir, f.Path("bmp_file").toStdString());
    QCOMPARE(request.initialName, std::string("*.bmp"));
    QCOMPARE(request.defaultExt, std::string("bmp"));
    QCOMPARE(request.filter, std::string("*.bmp"));

    QByteArray first = ReadAll(target);
    QCOMPARE(first.size(), 54 + 904 * 200);
    QCOMPARE(QImage::fromData(first, "BMP").convertToFormat(QImage::Format_RGB32), f.picture);

    // Saving again replaces the file completely and leaves nothing else in the folder.
    f.picture = ViewPicture(40, 20);
    QCOMPARE(SaveBitmap(f.doc, f.capture, f.grab, 32), SaveBitmapOutcome::Saved);
    QCOMPARE(ReadAll(target).size(), 54 + 160 * 20);
    QCOMPARE(EntriesOf(f.Path("bmp_file")), QStringList{"curve.bmp"});
    QCOMPARE(CurrentDirectory(), f.doc.m_szStartDir);
    QCOMPARE(grabsWhenAsked, (std::vector<int>{0, 1}));  // each frame is drawn after its dialog
}

void TestCaptureCommands::saveCancelledOrElsewhere() {
    CDocFixture f;
    QVERIFY(f.capture.CaptureClient(ViewPicture(5, 5), 24));
    f.chooser.answers = {std::nullopt};
    QCOMPARE(SaveBitmap(f.doc, f.capture, f.grab, 24), SaveBitmapOutcome::Cancelled);
    QCOMPARE(f.grabs, 0);
    QVERIFY(QFileInfo(f.Path("bmp_file")).isDir());  // made before the dialog opens
    QVERIFY(EntriesOf(f.Path("bmp_file")).isEmpty());
    QCOMPARE(f.capture.Width(), 5);                    // the held capture is untouched
    QCOMPARE(CurrentDirectory(), f.doc.m_szStartDir);

    // Another folder than "bmp_file"; the existing one is entered, not made again.
    QVERIFY(QDir(f.Path("")).mkdir("elsewhere"));
    f.chooser.answers = {f.Path("elsewhere/x.bmp").toStdString()};
    QCOMPARE(SaveBitmap(f.doc, f.capture, f.grab, 24), SaveBitmapOutcome::Saved);
    QCOMPARE(f.chooser.requests.back().startDir, f.Path("bmp_file").toStdString());
    QVERIFY(QFile::exists(f.Path("elsewhere/x.bmp")));
    QCOMPARE(CurrentDirectory(), f.doc.m_szStartDir);

    // A document without a file chooser cannot ask, and so saves nothing.
    f.doc.m_services.files = nullptr;
    QCOMPARE(SaveBitmap(f.doc, f.capture, f.picture, 24), SaveBitmapOutcome::Cancelled);
}

void TestCaptureCommands::saveWhenFolderCannotBeMade() {
    CDocFixture f;
    QFile blocker(f.Path("bmp_file"));  // a plain file where the folder would go
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    f.chooser.answers = {f.Path("top.bmp").toStdString()};
    QCOMPARE(SaveBitmap(f.doc, f.capture, f.picture, 24), SaveBitmapOutcome::Saved);
    QCOMPARE(f.chooser.requests.back().startDir, f.doc.m_szStartDir);
    QVERIFY(QFile::exists(f.Path("top.bmp")));
    QCOMPARE(CurrentDirectory(), f.doc.m_szStartDir);
}

void TestCaptureCommands::saveFailuresAreReported() {
    CDocFixture f;

    // Nothing could be captured: reported, nothing written.
    f.chooser.answers = {f.Path("blank.bmp").toStdString()};
    QCOMPARE(SaveBitmap(f.doc, f.capture, FrameGrabber([] { return QImage(); }), 24),
             SaveBitmapOutcome::CaptureFailed);
    QCOMPARE(f.sink.messages.size(), std::size_t(1));
    QCOMPARE(f.sink.messages.back(), std::string("Cannot capture the view!"));
    QVERIFY(!QFile::exists(f.Path("blank.bmp")));

    // A folder that does not exist.
    const std::string missing = f.Path("missing/a.bmp").toStdString();
    f.chooser.answers = {missing};
    QCOMPARE(SaveBitmap(f.doc, f.capture, f.grab, 24), SaveBitmapOutcome::WriteFailed);
    QCOMPARE(f.sink.messages.size(), std::size_t(2));
    QVERIFY(f.sink.messages.back().rfind("Cannot open the file for writing!\n" + missing, 0) == 0);
    QCOMPARE(CurrentDirectory(), f.doc.m_szStartDir);

    // A folder without write permission (root writes anywhere, so only as another user).
    if (::geteuid() != 0) {
        QVERIFY(QDir(f.Path("")).mkdir("locked"));
        QFile::setPermissions(f.Path("locked"), QFile::ReadOwner | QFile::ExeOwner);
        f.chooser.answers = {f.Path("locked/a.bmp").toStdString()};
        QCOMPARE(SaveBitmap(f.doc, f.capture, f.grab, 24), SaveBitmapOutcome::WriteFailed);
        QVERIFY(f.sink.messages.back().rfind("Cannot open the file for writing!", 0) == 0);
        QVERIFY(EntriesOf(f.Path("locked")).isEmpty());
        QFile::setPermissions(f.Path("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // An existing file that may not be written is not replaced behind the user's back.
    const QString readOnly = f.Path("readonly.bmp");
    QFile old(readOnly);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old picture");
    old.close();
    QFile::setPermissions(readOnly, QFile::ReadOwner);
    if (::geteuid() != 0) {
        f.chooser.answers = {readOnly.toStdString()};
        QCOMPARE(SaveBitmap(f.doc, f.capture, f.grab, 24), SaveBitmapOutcome::WriteFailed);
        QCOMPARE(ReadAll(readOnly), QByteArray("old picture"));
    }
}

void TestCaptureCommands::saveOverFileSizeLimitKeepsOldFile() {
    CDocFixture f;
    QVERIFY(QDir(f.Path("")).mkdir("bmp_file"));
    const QString target = f.Path("bmp_file/old.bmp");
    QFile old(target);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100, 'o'));
    old.close();

    f.chooser.answers = {target.toStdString()};
    SaveBitmapOutcome outcome;
    {
        CFileSizeLimit limit(4096);  // the 301 x 200 picture needs 180 854 bytes
        outcome = SaveBitmap(f.doc, f.capture, f.grab, 24);
    }

    QCOMPARE(outcome, SaveBitmapOutcome::WriteFailed);
    QCOMPARE(f.sink.messages.size(), std::size_t(1));
    QVERIFY(f.sink.messages.back().rfind("writing data to the file failed ! \n" + target.toStdString(), 0) == 0);
    QCOMPARE(ReadAll(target), QByteArray(100, 'o'));
    QCOMPARE(EntriesOf(f.Path("bmp_file")), QStringList{"old.bmp"});  // no partial file left
    QCOMPARE(CurrentDirectory(), f.doc.m_szStartDir);
}

void TestCaptureCommands::destinationRectangle_data() {
    QTest::addColumn<int>("clientWidth");
    QTest::addColumn<int>("clientHeight");
    QTest::addColumn<int>("pageWidth");
    QTest::addColumn<int>("dpiX");
    QTest::addColumn<int>("dpiY");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("600x300 on 4800") << 600 << 300 << 4800 << 600 << 600 << QRect(0, 0, 4800, 2400);
    QTest::newRow("truncated, not rounded") << 301 << 200 << 4961 << 600 << 600 << QRect(0, 0, 4961, 3296);
    QTest::newRow("taller printer pixels") << 600 << 300 << 4800 << 600 << 1200 << QRect(0, 0, 4800, 4800);
    QTest::newRow("wider printer pixels") << 600 << 300 << 4800 << 1200 << 600 << QRect(0, 0, 4800, 1200);
    QTest::newRow("large values do not overflow") << 30000 << 20000 << 60000 << 2400 << 2400
                                                  << QRect(0, 0, 60000, 40000);
    QTest::newRow("no client") << 0 << 300 << 4800 << 600 << 600 << QRect();
    QTest::newRow("no page") << 600 << 300 << 0 << 600 << 600 << QRect();
    QTest::newRow("no resolution") << 600 << 300 << 4800 << 0 << 600 << QRect();
}

void TestCaptureCommands::destinationRectangle() {
    QFETCH(int, clientWidth);
    QFETCH(int, clientHeight);
    QFETCH(int, pageWidth);
    QFETCH(int, dpiX);
    QFETCH(int, dpiY);
    QFETCH(QRect, expected);
    QCOMPARE(PrintDestinationRect(clientWidth, clientHeight, pageWidth, dpiX, dpiY), expected);
}

void TestCaptureCommands::printToPdfFillsWidthAtTop() {
    CDocFixture f;
    f.picture = ViewPicture(600, 300);
    const QString pdf = f.Path("page.pdf");
    constexpr int kDpi = 150;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setResolution(kDpi);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(10, 15, 10, 15), QPageLayout::Millimeter);
    CScriptedPrinterChooser chooser(true);
    chooser.onAsk = [&] {
        QCOMPARE(f.grabs, 1);  // captured before the dialog
        QVERIFY(!f.capture.IsEmpty());
    };

    QCOMPARE(OnFilePrint(f.doc, f.capture, f.grab, 24, printer, &chooser), PrintOutcome::Printed);
    QCOMPARE(chooser.asked, 1);
    QVERIFY(f.capture.IsEmpty());  // freed at the end of the job
    QVERIFY(f.sink.messages.empty());
    QVERIFY(ReadAll(pdf).startsWith("%PDF"));

    const QRect paint = printer.pageLayout().paintRectPixels(kDpi);
    const QRect expected = PrintDestinationRect(600, 300, printer.width(), printer.logicalDpiX(),
                                                printer.logicalDpiY());
    QCOMPARE(printer.width(), paint.width());
    QCOMPARE(expected, QRect(0, 0, paint.width(), paint.width() / 2));

    // Rasterise the page and measure where the picture landed.
    const QString gs = QStandardPaths::findExecutable("gs");
    if (gs.isEmpty())
        QSKIP("Ghostscript is not installed; the page could not be measured");
    const QString raster = f.Path("page.ppm");
    QProcess process;
    process.start(gs, {"-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=ppmraw", QString("-r%1").arg(kDpi),
                       "-dTextAlphaBits=1", "-dGraphicsAlphaBits=1", "-sOutputFile=" + raster, pdf});
    QVERIFY(process.waitForFinished(120000));
    QCOMPARE(process.exitCode(), 0);
    QImage page(raster);
    QVERIFY(!page.isNull());
    page = page.convertToFormat(QImage::Format_RGB32);
    QCOMPARE(page.size(), printer.pageLayout().fullRectPixels(kDpi).size());

    QRect inked;
    QRect red;
    for (int y = 0; y < page.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(page.constScanLine(y));
        for (int x = 0; x < page.width(); ++x) {
            if (qGray(row[x]) < 200)
                inked |= QRect(x, y, 1, 1);
            // half-way between red and its white or black surroundings
            if (qRed(row[x]) > 191 && qGreen(row[x]) < 128 && qBlue(row[x]) < 128)
                red |= QRect(x, y, 1, 1);
        }
    }
    const QRect where = expected.translated(paint.topLeft());
    auto near = [](int a, int b) { return std::abs(a - b) <= 1; };
    QVERIFY2(near(inked.left(), where.left()) && near(inked.top(), where.top()) &&
                 near(inked.width(), where.width()) && near(inked.height(), where.height()),
             qPrintable(QString("printed %1,%2 %3x%4, expected %5,%6 %7x%8")
                            .arg(inked.x()).arg(inked.y()).arg(inked.width()).arg(inked.height())
                            .arg(where.x()).arg(where.y()).arg(where.width()).arg(where.height())));
    // The red block keeps its place: an eighth in from the left, a quarter down, upright.
    const double scale = double(where.width()) / 600.0;
    qDebug() << "page" << page.size() << "expected" << where << "inked" << inked << "red" << red;
    QVERIFY(near(red.left(), where.left() + int(75 * scale)) || near(red.left(), where.left() + int(75 * scale) + 1));
    QVERIFY(std::abs(red.top() - (where.top() + int(75 * scale))) <= 2);
    QVERIFY(std::abs(red.width() - int(150 * scale)) <= 2);
    QVERIFY(std::abs(red.height() - int(150 * scale)) <= 2);
}

void TestCaptureCommands::printCancelledOrUncaptured() {
    CDocFixture f;
    const QString pdf = f.Path("never.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);

    CScriptedPrinterChooser cancelling(false);
    QCOMPARE(OnFilePrint(f.doc, f.capture, f.grab, 24, printer, &cancelling), PrintOutcome::Cancelled);
    QVERIFY(f.capture.IsEmpty());
    QVERIFY(!QFile::exists(pdf));
    QVERIFY(f.sink.messages.empty());

    CScriptedPrinterChooser accepting(true);
    QCOMPARE(OnFilePrint(f.doc, f.capture, FrameGrabber([] { return QImage(); }), 24, printer, &accepting),
             PrintOutcome::CaptureFailed);
    QCOMPARE(accepting.asked, 0);  // no dialog for a picture that is not there
    QCOMPARE(f.sink.messages, std::vector<std::string>{"Cannot capture the view!"});
    QVERIFY(!QFile::exists(pdf));

    // Without a dialog (the command-line route), straight to the printer.
    QCOMPARE(OnFilePrint(f.doc, f.capture, f.grab, 24, printer, nullptr), PrintOutcome::Printed);
    QVERIFY(ReadAll(pdf).startsWith("%PDF"));
    QVERIFY(f.capture.IsEmpty());

    // A printer that cannot start its job is reported.
    QPrinter broken(QPrinter::HighResolution);
    broken.setOutputFormat(QPrinter::PdfFormat);
    broken.setOutputFileName(f.Path("no/such/folder/x.pdf"));
    QCOMPARE(OnFilePrint(f.doc, f.capture, f.grab, 24, broken, nullptr), PrintOutcome::PrinterFailed);
    QCOMPARE(f.sink.messages.back(), std::string("Printing failed!"));
    QVERIFY(f.capture.IsEmpty());
}

void TestCaptureCommands::previewShowsCaptureAndFreesIt() {
    CDocFixture f;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    int pagesPainted = -1;
    bool heldDuringPreview = false;
    int redShown = 0;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            QTimer::singleShot(50, [] {
                if (auto* w = QApplication::activeModalWidget())
                    w->close();
            });
            return;
        }
        heldDuringPreview = !f.capture.IsEmpty();
        auto* preview = dialog->findChild<QPrintPreviewWidget*>();
        if (preview) {
            preview->updatePreview();
            preview->fitInView();
            QApplication::processEvents();
            pagesPainted = preview->pageCount();
            // The page on show carries the capture: its red block appears in the preview.
            const QImage shown = preview->grab().toImage().convertToFormat(QImage::Format_RGB32);
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x) {
                    const QRgb c = shown.pixel(x, y);
                    redShown += qRed(c) > 191 && qGreen(c) < 128 && qBlue(c) < 128;
                }
        }
        dialog->reject();
    });
    OnFilePrintPreview(f.capture, f.grab, 24, printer, nullptr);
    QCOMPARE(f.grabs, 1);
    QVERIFY(heldDuringPreview);
    QCOMPARE(pagesPainted, 1);
    QVERIFY(redShown > 20);
    QVERIFY(f.capture.IsEmpty());
}

void TestCaptureCommands::noDefaultPrinter() {
    if (!QPrinterInfo::defaultPrinter().isNull())
        QSKIP("this machine has a default printer; nothing is printed on it from a test");
    CDocFixture f;
    QVERIFY(f.capture.CaptureClient(f.picture, 24));
    QVERIFY(!PrintOnDefaultPrinter(f.doc, f.capture, f.grab, 24));
    QCOMPARE(f.sink.messages, std::vector<std::string>{"No default printer is available."});
    QVERIFY(f.capture.IsEmpty());
}

PEMBLAR_GUI_TEST_MAIN(TestCaptureCommands)
#include "test_capture_commands.moc"
