#include "GlCurveScene.h"

#include <QFontMetrics>
#include <QOpenGLFunctions_1_1>

#include <algorithm>
#include <vector>

#include "CurveLook.h"
#include "CurveSources.h"
#include "GlGlyphs.h"

namespace {

// A colour as OpenGL takes it, each component from 0 to 1. The user's colours are plot::Rgb like
// every other plot's; the frame's fixed colours are fractions that fall between two bytes
// (0.1 is 25.5 of 255), so they stay in OpenGL's form rather than being rounded to a byte.
struct GlRgb {
    double r, g, b;
};
constexpr GlRgb kNormalColour{0.1, 0.5, 0.1};
constexpr GlRgb kHighlightColour{0.0, 0.0, 1.0};
constexpr float kFrameLineWidth = 1.0f;

GlRgb ToGl(plot::Rgb c) { return {plot::RgbRed(c) / 255.0, plot::RgbGreen(c) / 255.0, plot::RgbBlue(c) / 255.0}; }

void SetColour(QOpenGLFunctions_1_1& gl, const GlRgb& c) { gl.glColor3f(GLfloat(c.r), GLfloat(c.g), GLfloat(c.b)); }

class CScenePainter {
public:
    CScenePainter(QOpenGLFunctions_1_1& gl, GLuint font, const QFont& labelFont, const CGlCurveScene& scene)
        : m_gl(gl), m_font(font), m_qfont(labelFont), m_s(scene) {}

    void Draw() {
        const PlotOrigin origin = ComputePlotOrigin(m_s.width, m_s.height);
        DrawFrame(origin.x0, origin.y0);
        DrawAxes(origin.x0, origin.y0);
        DrawCurve();
        // Additions over what the plot always shows; none of them in the view's first state.
        DrawOverlays();
        DrawLegend();
        DrawRubberBand(origin.x0, origin.y0);
    }

private:
    PlotMapping Mapping() const {
        return ComputePlotMapping(m_s.xMin, m_s.xMax, m_s.yMin, m_s.yMax, m_s.width, m_s.height);
    }
    void DrawFrame(double x0, double y0);
    void DrawAxes(double x0, double y0);
    void DrawTicks(double w, bool alongX);
    void DrawAxisLabels(const AxisLabels& axis);
    void DrawLabel(const PlotLabel& label) { DrawLabel(label.x, label.y, label.text, label.highlighted); }
    void DrawCurve();
    void DrawOverlays();
    void DrawLegend();
    void DrawRubberBand(double x0, double y0);
    void DrawLabel(double x, double y, const std::string& text, bool highlighted);

    QOpenGLFunctions_1_1& m_gl;
    GLuint m_font;
    const QFont& m_qfont;
    const CGlCurveScene& m_s;
};

void CScenePainter::DrawFrame(double x0, double y0) {
    m_gl.glLineWidth(kFrameLineWidth);
    SetColour(m_gl, kNormalColour);
    m_gl.glBegin(GL_LINES);
    m_gl.glVertex3d(x0, y0, 0);
    m_gl.glVertex3d(3 * x0, y0, 0);
    m_gl.glVertex3d(x0, y0, 0);
    m_gl.glVertex3d(x0, 3 * y0, 0);
    m_gl.glVertex3d(3 * x0, 3 * y0, 0);
    m_gl.glVertex3d(3 * x0, y0, 0);
    m_gl.glVertex3d(3 * x0, 3 * y0, 0);
    m_gl.glVertex3d(x0, 3 * y0, 0);
    m_gl.glEnd();
}

void CScenePainter::DrawAxes(double x0, double y0) {
    m_gl.glTranslatef(GLfloat(x0), GLfloat(y0), 1.0f);
    const double wx = 2 * x0;
    const double wy = 2 * y0;
    DrawTicks(wx, true);
    DrawAxisLabels(TimeAxisLabels(m_s.xMin, m_s.xMax, wx));
    DrawTicks(wy, false);
    DrawAxisLabels(ValueAxisLabels(m_s.yMin, m_s.yMax, wy));
    if (const std::optional<PlotLabel> letter = VerticalAxisLetter(m_s.labelComp, wy))
        DrawLabel(*letter);
    DrawLabel(HorizontalAxisLetter(wx));
}

// The interior ticks of one axis of length w, along x (upwards) or along y (to the right).
void CScenePainter::DrawTicks(double w, bool alongX) {
    const double h = Plot::kTickLength;
    SetColour(m_gl, kNormalColour);
    m_gl.glBegin(GL_LINES);
    for (int k = 1; k < Plot::kTickIntervals; ++k) {
        const double at = k * w / Plot::kTickIntervals;
        m_gl.glVertex3d(alongX ? at : 0, alongX ? 0 : at, 0);
        m_gl.glVertex3d(alongX ? at : h, alongX ? h : at, 0);
    }
    m_gl.glEnd();
}

void CScenePainter::DrawAxisLabels(const AxisLabels& axis) {
    for (const PlotLabel& label : axis.labels)
        DrawLabel(label);
    if (axis.power)
        DrawLabel(*axis.power);
}

void CScenePainter::DrawCurve() {
    const PlotMapping mapping = Mapping();
    // A width OpenGL refuses (0 or less) leaves the frame's width in force.
    m_gl.glLineWidth(m_s.lineWidth);
    SetColour(m_gl, ToGl(m_s.curveColour));

    const CCurvePoint* curve = m_s.curve;
    const long long n = m_s.points;
    m_gl.glBegin(GL_LINES);
    if (!m_s.cutAtFrame) {
        for (long long i = 0; i + 1 < n; ++i) {
            const CCurvePoint& p = curve[i];
            const CCurvePoint& q = curve[i + 1];
            if (!mapping.SegmentShown(p, q))
                continue;
            m_gl.glVertex3f(GLfloat(mapping.MapX(p.m_fX)), GLfloat(mapping.MapY(p.m_fY)), 0.0f);
            m_gl.glVertex3f(GLfloat(mapping.MapX(q.m_fX)), GLfloat(mapping.MapY(q.m_fY)), 0.0f);
        }
    } else {
        // Zoomed in, a segment crossing the frame is cut at it: skipping it would leave gaps at
        // every edge of the zoomed part.
        for (long long i = 0; i + 1 < n; ++i) {
            plot::Point p{curve[i].m_fX, curve[i].m_fY};
            plot::Point q{curve[i + 1].m_fX, curve[i + 1].m_fY};
            if (!VisibleSegment(p, q, m_s.xMin, m_s.xMax, m_s.yMin, m_s.yMax, true))
                continue;
            m_gl.glVertex3f(GLfloat(mapping.MapX(p.x)), GLfloat(mapping.MapY(p.y)), 0.0f);
            m_gl.glVertex3f(GLfloat(mapping.MapX(q.x)), GLfloat(mapping.MapY(q.y)), 0.0f);
        }
    }
    m_gl.glEnd();
}

void CScenePainter::DrawOverlays() {
    if (m_s.overlays.empty())
        return;
    const PlotMapping mapping = Mapping();
    const bool cut = m_s.cutAtFrame;
    m_gl.glLineWidth(m_s.lineWidth);
    for (const plot::Series& s : m_s.overlays) {
        SetColour(m_gl, ToGl(s.colour));
        m_gl.glBegin(GL_LINES);
        for (std::size_t i = 0; i + 1 < s.points.size(); ++i) {
            plot::Point p = s.points[i], q = s.points[i + 1];
            if (!VisibleSegment(p, q, m_s.xMin, m_s.xMax, m_s.yMin, m_s.yMax, cut))
                continue;
            m_gl.glVertex3d(mapping.MapX(p.x), mapping.MapY(p.y), 0.0);
            m_gl.glVertex3d(mapping.MapX(q.x), mapping.MapY(q.y), 0.0);
        }
        m_gl.glEnd();
    }
}

void CScenePainter::DrawLegend() {
    if (m_s.overlays.empty() || m_font == 0)
        return;
    const std::vector<plot::Series> entries = [this] {
        std::vector<plot::Series> names;  // names and colours only
        plot::Series main;
        main.name = m_s.mainName;
        main.colour = m_s.curveColour;
        names.push_back(main);
        for (const plot::Series& s : m_s.overlays) {
            plot::Series entry;
            entry.name = s.name;
            entry.colour = s.colour;
            names.push_back(entry);
        }
        return names;
    }();
    // The glyph lists hold Latin-1: names are drawn in it, advances summed glyph by glyph.
    const QFontMetrics metrics(m_qfont);
    std::vector<std::string> texts;
    std::vector<double> widths;
    for (const plot::Series& e : entries) {
        const QByteArray latin1 = QString::fromStdString(e.name).toLatin1();
        texts.emplace_back(latin1.constData(), std::size_t(latin1.size()));
        double w = 0;
        for (const char c : latin1)
            w += metrics.horizontalAdvance(QChar::fromLatin1(c));
        widths.push_back(w);
    }
    const PlotOrigin origin = ComputePlotOrigin(m_s.width, m_s.height);
    const LegendLayout legend = ComputeLegend(widths, metrics.height(), metrics.descent(), origin.Width(),
                                              origin.Height());
    SetColour(m_gl, ToGl(m_s.background));
    m_gl.glBegin(GL_QUADS);
    m_gl.glVertex3d(legend.left, legend.bottom, 0);
    m_gl.glVertex3d(legend.right, legend.bottom, 0);
    m_gl.glVertex3d(legend.right, legend.top, 0);
    m_gl.glVertex3d(legend.left, legend.top, 0);
    m_gl.glEnd();
    m_gl.glLineWidth(1.0f);
    SetColour(m_gl, kNormalColour);
    m_gl.glBegin(GL_LINE_LOOP);
    m_gl.glVertex3d(legend.left + 0.5, legend.bottom + 0.5, 0);
    m_gl.glVertex3d(legend.right - 0.5, legend.bottom + 0.5, 0);
    m_gl.glVertex3d(legend.right - 0.5, legend.top - 0.5, 0);
    m_gl.glVertex3d(legend.left + 0.5, legend.top - 0.5, 0);
    m_gl.glEnd();
    m_gl.glLineWidth(2.0f);
    for (std::size_t i = 0; i < legend.rows.size(); ++i) {
        const LegendRow& row = legend.rows[i];
        SetColour(m_gl, ToGl(entries[i].colour));
        m_gl.glBegin(GL_LINES);
        m_gl.glVertex3d(row.sampleX0, row.sampleY, 0);
        m_gl.glVertex3d(row.sampleX1, row.sampleY, 0);
        m_gl.glEnd();
        DrawLabel(row.textX, row.textY, texts[i], false);
    }
    m_gl.glLineWidth(1.0f);
}

void CScenePainter::DrawRubberBand(double x0, double y0) {
    const std::optional<QRectF>& band = m_s.band;
    if (!band)
        return;
    // Widget coordinates (y down, logical pixels) to plot coordinates (y up, device pixels).
    const double ratio = m_s.pixelRatio;
    const double left = band->left() * ratio - x0;
    const double right = band->right() * ratio - x0;
    const double top = m_s.height - band->top() * ratio - y0;
    const double bottom = m_s.height - band->bottom() * ratio - y0;
    m_gl.glLineWidth(1.0f);
    m_gl.glColor3f(0.3f, 0.3f, 0.3f);
    m_gl.glBegin(GL_LINE_LOOP);
    m_gl.glVertex3d(left, bottom, 0);
    m_gl.glVertex3d(right, bottom, 0);
    m_gl.glVertex3d(right, top, 0);
    m_gl.glVertex3d(left, top, 0);
    m_gl.glEnd();
}

void CScenePainter::DrawLabel(double x, double y, const std::string& text, bool highlighted) {
    SetColour(m_gl, highlighted ? kHighlightColour : kNormalColour);
    m_gl.glRasterPos3d(x, y, 0);
    PrintGlyphs(m_gl, m_font, text);
}

}  // namespace

void ClearCurveScene(QOpenGLFunctions_1_1& gl, plot::Rgb background) {
    const GlRgb c = ToGl(background);
    gl.glClearColor(GLfloat(c.r), GLfloat(c.g), GLfloat(c.b), 1.0f);
    gl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void DrawCurveScene(QOpenGLFunctions_1_1& gl, GLuint font, const QFont& labelFont, const CGlCurveScene& scene) {
    CScenePainter(gl, font, labelFont, scene).Draw();
}
