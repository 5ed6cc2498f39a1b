#include "GlGlyphs.h"

#include <QFontMetrics>
#include <QImage>
#include <QOpenGLFunctions_1_1>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace {

// One glBitmap list per character 0-255 (Latin-1) of the view's font. The bitmap's origin is
// the glyph's left end of the baseline, so the raster position is where the baseline starts;
// each glyph moves the raster position on by its advance.
bool FillGlyphLists(QOpenGLFunctions_1_1& gl, const QFont& font, GLuint base) {
    QFont glyphFont = font;
    glyphFont.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics metrics(glyphFont);
    const int height = metrics.height();
    const int descent = metrics.descent();
    if (height <= 0)
        return false;

    // Errors left over from earlier calls (a refused line width) must not count against the font.
    for (int i = 0; i < 32 && gl.glGetError() != GL_NO_ERROR; ++i) {
    }
    gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
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
        gl.glNewList(base + code, GL_COMPILE);
        gl.glBitmap(width, height, 0.0f, GLfloat(descent), GLfloat(std::max(advance, 0)), 0.0f,
                       bits.data());
        gl.glEndList();
    }
    const GLenum error = gl.glGetError();
    if (error != GL_NO_ERROR)
        qWarning("glyph lists: OpenGL error 0x%x", error);
    return error == GL_NO_ERROR;
}

}  // namespace

GLuint BuildGlyphLists(QOpenGLFunctions_1_1& gl, const QFont& font) {
    const GLuint base = gl.glGenLists(kGlyphCount);
    if (base == 0)
        return 0;
    if (!FillGlyphLists(gl, font, base)) {
        gl.glDeleteLists(base, kGlyphCount);
        return 0;
    }
    return base;
}

void PrintGlyphs(QOpenGLFunctions_1_1& gl, GLuint base, const std::string& text) {
    if (base == 0 || text.empty())
        return;
    gl.glListBase(base);
    gl.glCallLists(GLsizei(text.size()), GL_UNSIGNED_BYTE, text.data());
}
