#pragma once
// The curve view's label text: the glyphs of a font as OpenGL bitmap display lists, one per
// Latin-1 character, drawn at the current raster position.

#include <QtGui/qopengl.h>

#include <string>

class QFont;
class QOpenGLFunctions_1_1;

inline constexpr int kGlyphCount = 256;

// The lists of every glyph in the current context: their base, 0 when they cannot be made (then
// nothing is kept).
GLuint BuildGlyphLists(QOpenGLFunctions_1_1& gl, const QFont& font);
// Draws text from the raster position on, one list per byte.
void PrintGlyphs(QOpenGLFunctions_1_1& gl, GLuint base, const std::string& text);
