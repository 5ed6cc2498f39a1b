#include "ClientCapture.h"

#include <QFile>
#include <QPainter>
#include <QPrinter>
#include <QSaveFile>

#include <cstring>
#include <limits>
#include <new>

namespace {

constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kFileHeaderSize = 14;

// Header field offsets inside the block.
constexpr int kOffWidth = 4;
constexpr int kOffHeight = 8;
constexpr int kOffPlanes = 12;
constexpr int kOffBitCount = 14;
constexpr int kOffSizeImage = 20;

void Put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}

std::uint32_t Get32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

std::uint16_t Get16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | p[1] << 8);
}

// True-colour screens only: anything that is not 32 bits is kept as 24.
int StoredBitCount(int bitDepth) {
    return bitDepth == 32 ? 32 : 24;
}

}  // namespace

int ColourTableEntries(int bitCount) {
    return bitCount >= 1 && bitCount <= 8 ? 1 << bitCount : 0;
}

std::uint32_t DibRowBytes(int width, int bitCount) {
    if (width <= 0 || bitCount <= 0)
        return 0;
    return std::uint32_t((std::uint64_t(width) * std::uint64_t(bitCount) + 31) / 32 * 4);
}

QRect PrintDestinationRect(int clientWidth, int clientHeight, int pageWidth, int dpiX, int dpiY) {
    if (clientWidth <= 0 || clientHeight <= 0 || pageWidth <= 0 || dpiX <= 0 || dpiY <= 0)
        return {};
    const long long bottom = static_cast<long long>(clientHeight) * pageWidth * dpiY /
                             (static_cast<long long>(clientWidth) * dpiX);
    const int height = bottom > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max() : int(bottom);
    return QRect(0, 0, pageWidth, height);
}

bool CClientCapture::CaptureClient(const QImage& frame, int bitDepth) {
    return CaptureClient(frame, frame.rect(), bitDepth);
}

bool CClientCapture::CaptureClient(const QImage& frame, const QRect& rect, int bitDepth) {
    if (frame.isNull() || rect.width() <= 0 || rect.height() <= 0) {
        FreeDIB();
        return false;
    }
    // The client area starts at the frame's top-left corner; a frame smaller than the client
    // rectangle leaves the rest black rather than reading outside the picture.
    const QImage client = rect.size() == frame.size() ? frame : frame.copy(0, 0, rect.width(), rect.height());
    return ConvertToDIB(client, bitDepth) != nullptr;
}

const std::uint8_t* CClientCapture::ConvertToDIB(const QImage& bitmap, int bitCount) {
    FreeDIB();
    if (bitmap.isNull() || bitmap.width() <= 0 || bitmap.height() <= 0)
        return nullptr;
    const int bits = StoredBitCount(bitCount);
    const int width = bitmap.width();
    const int height = bitmap.height();
    const std::uint32_t rowBytes = DibRowBytes(width, bits);
    const int entries = ColourTableEntries(bits);
    const std::uint64_t sizeImage = std::uint64_t(rowBytes) * std::uint64_t(height);
    const std::uint64_t headerBytes = kInfoHeaderSize + 4u * std::uint64_t(entries);
    // bfSize is a 32-bit field: a picture that cannot be described in it is not captured.
    if (sizeImage + headerBytes + kFileHeaderSize > std::numeric_limits<std::uint32_t>::max())
        return nullptr;

    std::vector<std::uint8_t> block;
    try {
        block.assign(std::size_t(headerBytes + sizeImage), 0);
    } catch (const std::bad_alloc&) {
        return nullptr;  // out of memory: the capture stays empty
    }
    std::uint8_t* header = block.data();
    Put32(header, kInfoHeaderSize);
    Put32(header + kOffWidth, std::uint32_t(width));
    Put32(header + kOffHeight, std::uint32_t(height));  // positive: bottom row first
    Put16(header + kOffPlanes, 1);
    Put16(header + kOffBitCount, std::uint16_t(bits));
    Put32(header + kOffSizeImage, std::uint32_t(sizeImage));

    const QImage source = bitmap.format() == QImage::Format_RGB32 ? bitmap
                                                                 : bitmap.convertToFormat(QImage::Format_RGB32);
    std::uint8_t* pixels = header + headerBytes;
    const int bytesPerPixel = bits / 8;
    for (int row = 0; row < height; ++row) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(height - 1 - row));
        std::uint8_t* out = pixels + std::size_t(row) * rowBytes;
        for (int x = 0; x < width; ++x, out += bytesPerPixel) {
            out[0] = std::uint8_t(qBlue(in[x]));
            out[1] = std::uint8_t(qGreen(in[x]));
            out[2] = std::uint8_t(qRed(in[x]));
            // a 32-bit pixel's fourth byte and the row padding stay 0
        }
    }

    m_hDIB = std::move(block);
    m_lpbi = m_hDIB.data();
    m_lpBits = m_lpbi + headerBytes;
    return m_lpbi;
}

int CClientCapture::Width() const {
    return m_lpbi ? int(Get32(m_lpbi + kOffWidth)) : 0;
}

int CClientCapture::Height() const {
    return m_lpbi ? int(Get32(m_lpbi + kOffHeight)) : 0;
}

int CClientCapture::BitCount() const {
    return m_lpbi ? Get16(m_lpbi + kOffBitCount) : 0;
}

std::uint32_t CClientCapture::SizeImage() const {
    return m_lpbi ? Get32(m_lpbi + kOffSizeImage) : 0;
}

QImage CClientCapture::ToImage() const {
    if (IsEmpty())
        return {};
    const int width = Width();
    const int height = Height();
    const int bytesPerPixel = BitCount() / 8;
    const std::uint32_t rowBytes = DibRowBytes(width, BitCount());
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = m_lpBits + std::size_t(height - 1 - y) * rowBytes;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x, in += bytesPerPixel)
            out[x] = qRgb(in[2], in[1], in[0]);
    }
    return image;
}

int CClientCapture::DrawDIB(QPainter& painter, const QRect& dst, const QRect& src) const {
    if (IsEmpty())
        return 0;
    const QRect source = src.intersected(Rect());
    if (source.isEmpty() || dst.isEmpty())
        return 0;
    const QImage image = ToImage();
    if (image.isNull())
        return 0;
    painter.save();
    // A plain pixel copy, no smoothing: the drawing keeps its hard one-pixel lines.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (dst.size() == src.size())
        painter.drawImage(dst.topLeft(), image, source);
    else
        painter.drawImage(QRectF(dst), image, QRectF(source));
    painter.restore();
    return source.height();
}

bool CClientCapture::WriteBitmapFile(const std::string& path, std::string* whyNot) const {
    auto fail = [&](const char* what, const QString& reason) {
        if (whyNot)
            *whyNot = std::string(what) + "\n" + path + "\n" + reason.toStdString();
        return false;
    };
    if (IsEmpty())
        return fail("There is no picture to save.", QStringLiteral("The view was not captured."));

    const std::uint32_t headerBytes = kInfoHeaderSize + 4u * std::uint32_t(ColourTableEntries(BitCount()));
    std::uint8_t fileHeader[kFileHeaderSize] = {};
    Put16(fileHeader, 0x4D42);
    Put32(fileHeader + 2, kFileHeaderSize + std::uint32_t(m_hDIB.size()));
    Put32(fileHeader + 10, kFileHeaderSize + headerBytes);

    // Written beside the target and renamed over it only when complete.
    QSaveFile file(QFile::decodeName(QByteArray::fromStdString(path)));
    if (!file.open(QIODevice::WriteOnly))
        return fail("Cannot open the file for writing!", file.errorString());
    const auto headerWritten = file.write(reinterpret_cast<const char*>(fileHeader), kFileHeaderSize);
    const auto blockWritten = file.write(reinterpret_cast<const char*>(m_hDIB.data()), qint64(m_hDIB.size()));
    if (headerWritten != qint64(kFileHeaderSize) || blockWritten != qint64(m_hDIB.size())) {
        const QString reason = file.errorString();
        file.cancelWriting();
        file.commit();  // discards the temporary file
        return fail("writing data to the file failed ! ", reason);
    }
    if (!file.commit())
        return fail("writing data to the file failed ! ", file.errorString());
    return true;
}

void CClientCapture::FreeDIB() {
    m_hDIB.clear();
    m_hDIB.shrink_to_fit();
    m_lpbi = nullptr;
    m_lpBits = nullptr;
}
