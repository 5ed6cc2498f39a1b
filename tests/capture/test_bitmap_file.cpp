// The held DIB and the .bmp file: row sizes, byte-exact files, and an independent reader.

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "ClientCapture.h"
#include "../GuiTestMain.h"

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

quint32 Le32(const QByteArray& bytes, int at) {
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData() + at);
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

quint16 Le16(const QByteArray& bytes, int at) {
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData() + at);
    return quint16(p[0] | p[1] << 8);
}

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// A picture in which every pixel differs from its neighbours, so a flipped or shifted row shows.
QImage Pattern(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x % 256, y % 256, (x * 7 + y * 3) % 256));
    return image;
}

QString SystemPython() {
    return QFile::exists("/usr/bin/python3") ? QStringLiteral("/usr/bin/python3") : QStringLiteral("python3");
}

}  // namespace

class TestBitmapFile : public QObject {
    Q_OBJECT

private slots:
    void rowAndTableSizes_data();
    void rowAndTableSizes();
    void capture301x200At24Bits();
    void wholeFile24BitsPaddedBottomUp();
    void wholeFile32Bits();
    void captureRectangleAndDepths();
    void failedCaptureLeavesNothingHeld();
    void independentReaderAgrees_data();
    void independentReaderAgrees();
};

void TestBitmapFile::rowAndTableSizes_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("bits");
    QTest::addColumn<uint>("rowBytes");
    QTest::addColumn<int>("entries");
    QTest::newRow("301 at 24") << 301 << 24 << 904u << 0;
    QTest::newRow("301 at 32") << 301 << 32 << 1204u << 0;
    QTest::newRow("1 at 24") << 1 << 24 << 4u << 0;
    QTest::newRow("2 at 24") << 2 << 24 << 8u << 0;
    QTest::newRow("3 at 24") << 3 << 24 << 12u << 0;
    QTest::newRow("4 at 24") << 4 << 24 << 12u << 0;
    QTest::newRow("9 at 1") << 9 << 1 << 4u << 2;
    QTest::newRow("33 at 1") << 33 << 1 << 8u << 2;
    QTest::newRow("3 at 4") << 3 << 4 << 4u << 16;
    QTest::newRow("5 at 8") << 5 << 8 << 8u << 256;
    QTest::newRow("3 at 16") << 3 << 16 << 8u << 0;
}

void TestBitmapFile::rowAndTableSizes() {
    QFETCH(int, width);
    QFETCH(int, bits);
    QFETCH(uint, rowBytes);
    QFETCH(int, entries);
    QCOMPARE(DibRowBytes(width, bits), rowBytes);
    QCOMPARE(ColourTableEntries(bits), entries);
}

void TestBitmapFile::capture301x200At24Bits() {
    QImage frame(301, 200, QImage::Format_RGB32);
    frame.fill(qRgb(255, 255, 255));
    CClientCapture capture;
    QVERIFY(capture.IsEmpty());
    QVERIFY(capture.CaptureClient(frame, 24));

    QCOMPARE(capture.Width(), 301);
    QCOMPARE(capture.Height(), 200);
    QCOMPARE(capture.BitCount(), 24);
    QCOMPARE(capture.SizeImage(), 904u * 200u);
    QCOMPARE(capture.m_hDIB.size(), std::size_t(40 + 904 * 200));
    QCOMPARE(capture.m_lpbi, capture.m_hDIB.data());
    QCOMPARE(capture.m_lpBits - capture.m_lpbi, 40);
    for (int row = 0; row < 200; ++row) {
        const std::uint8_t* r = capture.m_lpBits + row * 904;
        QCOMPARE(int(r[902]), 255);  // last colour byte of the row
        QCOMPARE(int(r[903]), 0);    // the one padding byte
    }

    QTemporaryDir dir;
    const QString path = dir.filePath("white.bmp");
    QVERIFY(capture.WriteBitmapFile(path.toStdString()));
    const QByteArray file = ReadAll(path);
    QCOMPARE(file.size(), 54 + 904 * 200);
    QCOMPARE(Le32(file, 2), quint32(file.size()));  // bfSize
    QCOMPARE(Le32(file, 10), 54u);                  // bfOffBits: no colour table
    QCOMPARE(Le16(file, 26), quint16(1));           // biPlanes
    QCOMPARE(Le16(file, 28), quint16(24));          // biBitCount
    QCOMPARE(Le32(file, 34), 904u * 200u);          // biSizeImage
    QVERIFY(!capture.IsEmpty());                    // writing keeps the capture
}

void TestBitmapFile::wholeFile24BitsPaddedBottomUp() {
    // 3 x 2: each row is 9 colour bytes and 3 padding bytes.
    QImage frame(3, 2, QImage::Format_RGB32);
    frame.setPixel(0, 0, qRgb(255, 0, 0));
    frame.setPixel(1, 0, qRgb(0, 255, 0));
    frame.setPixel(2, 0, qRgb(0, 0, 255));
    frame.setPixel(0, 1, qRgb(255, 255, 255));
    frame.setPixel(1, 1, qRgb(0, 0, 0));
    frame.setPixel(2, 1, qRgb(10, 20, 30));
    CClientCapture capture;
    QVERIFY(capture.CaptureClient(frame, 24));
    QTemporaryDir dir;
    const QString path = dir.filePath("small.bmp");
    QVERIFY(capture.WriteBitmapFile(path.toStdString()));

    QByteArray expected;
    expected += Bytes({'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0});  // type, size, reserved, offset
    expected += Bytes({40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0});             // biSize, width, height
    expected += Bytes({1, 0, 24, 0, 0, 0, 0, 0, 24, 0, 0, 0});            // planes, bits, BI_RGB, size
    expected += Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});  // resolution, colours
    expected += Bytes({0xFF, 0xFF, 0xFF, 0, 0, 0, 30, 20, 10, 0, 0, 0});  // bottom row first, B G R
    expected += Bytes({0, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0, 0, 0, 0});     // top row
    QCOMPARE(ReadAll(path).toHex(' '), expected.toHex(' '));
}

void TestBitmapFile::wholeFile32Bits() {
    QImage frame(2, 2, QImage::Format_ARGB32);
    frame.setPixel(0, 0, qRgba(1, 2, 3, 255));
    frame.setPixel(1, 0, qRgba(4, 5, 6, 255));
    frame.setPixel(0, 1, qRgba(7, 8, 9, 255));
    frame.setPixel(1, 1, qRgba(250, 251, 252, 255));
    CClientCapture capture;
    QVERIFY(capture.CaptureClient(frame, 32));
    QTemporaryDir dir;
    const QString path = dir.filePath("deep.bmp");
    QVERIFY(capture.WriteBitmapFile(path.toStdString()));

    QByteArray expected;
    expected += Bytes({'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0});
    expected += Bytes({40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0});
    expected += Bytes({1, 0, 32, 0, 0, 0, 0, 0, 16, 0, 0, 0});
    expected += Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    expected += Bytes({9, 8, 7, 0, 252, 251, 250, 0});  // bottom row, fourth byte 0
    expected += Bytes({3, 2, 1, 0, 6, 5, 4, 0});
    QCOMPARE(ReadAll(path).toHex(' '), expected.toHex(' '));
}

void TestBitmapFile::captureRectangleAndDepths() {
    const QImage frame = Pattern(40, 30);
    CClientCapture capture;

    // The client rectangle is taken from the frame's top-left corner.
    QVERIFY(capture.CaptureClient(frame, QRect(0, 0, 10, 5), 32));
    QCOMPARE(capture.Rect(), QRect(0, 0, 10, 5));
    QCOMPARE(capture.ToImage(), frame.copy(0, 0, 10, 5));

    // A new capture replaces the old one; the picture survives the round trip.
    QVERIFY(capture.CaptureClient(frame, 24));
    QCOMPARE(capture.Rect(), QRect(0, 0, 40, 30));
    QCOMPARE(capture.ToImage(), frame);

    // True-colour storage for a depth that would need a palette or bit fields.
    QVERIFY(capture.CaptureClient(frame, 16));
    QCOMPARE(capture.BitCount(), 24);
    QVERIFY(capture.CaptureClient(frame, 8));
    QCOMPARE(capture.BitCount(), 24);
    QCOMPARE(capture.m_lpBits - capture.m_lpbi, 40);

    capture.FreeDIB();
    QVERIFY(capture.IsEmpty());
    QVERIFY(capture.m_lpbi == nullptr && capture.m_lpBits == nullptr);
    QVERIFY(capture.ToImage().isNull());
}

void TestBitmapFile::failedCaptureLeavesNothingHeld() {
    CClientCapture capture;
    QVERIFY(capture.CaptureClient(Pattern(8, 8), 24));
    QVERIFY(!capture.CaptureClient(QImage(), 24));
    QVERIFY(capture.IsEmpty());
    QVERIFY(!capture.CaptureClient(Pattern(8, 8), QRect(0, 0, 0, 8), 24));
    QVERIFY(capture.IsEmpty());

    QTemporaryDir dir;
    const QString path = dir.filePath("none.bmp");
    std::string whyNot;
    QVERIFY(!capture.WriteBitmapFile(path.toStdString(), &whyNot));
    QVERIFY(!whyNot.empty());
    QVERIFY(!QFile::exists(path));
}

void TestBitmapFile::independentReaderAgrees_data() {
    QTest::addColumn<int>("bits");
    QTest::addColumn<QString>("rawMode");
    QTest::newRow("24 bits") << 24 << "BGR";
    QTest::newRow("32 bits") << 32 << "BGRX";
}

void TestBitmapFile::independentReaderAgrees() {
    QFETCH(int, bits);
    QFETCH(QString, rawMode);
    QTemporaryDir dir;
    const QImage frame = Pattern(301, 200);
    const QString reference = dir.filePath("reference.png");
    QVERIFY(frame.save(reference));
    CClientCapture capture;
    QVERIFY(capture.CaptureClient(frame, bits));
    const QString bmp = dir.filePath("pattern.bmp");
    QVERIFY(capture.WriteBitmapFile(bmp.toStdString()));

    // The reader's own decoder: its raw mode gives the depth, the direction -1 says bottom-up.
    const char* script =
        "import sys\n"
        "from PIL import Image\n"
        "b = Image.open(sys.argv[1])\n"
        "t = b.tile[0]\n"
        "print(b.format, b.size[0], b.size[1], t[2], t[3][0], t[3][1], t[3][2])\n"
        "p = Image.open(sys.argv[2]).convert('RGB')\n"
        "print('same' if list(b.convert('RGB').getdata()) == list(p.getdata()) else 'different')\n"
        "print(b.getpixel((0, 0)), b.getpixel((300, 0)), b.getpixel((0, 199)), b.getpixel((300, 199)))\n";
    QProcess python;
    python.start(SystemPython(), {"-c", script, bmp, reference});
    if (!python.waitForStarted())
        QSKIP("python3 is not available");
    QVERIFY(python.waitForFinished(60000));
    const QString err = QString::fromUtf8(python.readAllStandardError());
    if (err.contains("No module named 'PIL'"))
        QSKIP("Python's PIL is not installed");
    QCOMPARE(python.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(python.readAllStandardOutput()).trimmed().split('\n');
    QCOMPARE(lines.size(), 3);
    const int stride = int(DibRowBytes(301, bits));
    QCOMPARE(lines[0], QString("BMP 301 200 54 %1 %2 -1").arg(rawMode).arg(stride));
    QCOMPARE(lines[1], QString("same"));
    QCOMPARE(lines[2], QString("(0, 0, 0) (44, 0, 52) (0, 199, 85) (44, 199, 137)"));
}

PEMBLAR_GUI_TEST_MAIN(TestBitmapFile)
#include "test_bitmap_file.moc"
