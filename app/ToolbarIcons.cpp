#include "ToolbarIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

#include "CommandIds.h"

namespace {

const QColor kOutline(0, 0, 0);
const QColor kDarkGrey(96, 96, 96);
const QColor kGrey(160, 160, 160);
const QColor kLight(224, 224, 224);
const QColor kWhite(255, 255, 255);

QImage Blank() {
    QImage image(kToolbarIconWidth, kToolbarIconHeight, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

void DrawOpenFolder(QPainter& p, const QColor& c) {
    p.setPen(kOutline);
    p.setBrush(c.lighter(150));
    p.drawPolygon(QPolygon({{1, 3}, {5, 3}, {6, 4}, {12, 4}, {12, 12}, {1, 12}}));  // back with tab
    p.setBrush(c);
    p.drawPolygon(QPolygon({{3, 7}, {15, 7}, {12, 12}, {1, 12}}));  // front flap, opened
}

void DrawNodeDiagram(QPainter& p, const QColor& c) {
    const QPoint a(3, 3), b(12, 3), m(7, 11);
    p.setPen(QPen(kOutline, 1));
    p.drawLine(a, b);
    p.drawLine(a, m);
    p.drawLine(b, m);
    p.setPen(kOutline);
    p.setBrush(c);
    for (const QPoint& n : {a, b, m})
        p.drawEllipse(n, 2, 2);
}

void DrawWarningSign(QPainter& p, const QColor& c) {
    p.setPen(kOutline);
    p.setBrush(c);
    p.drawEllipse(QRect(1, 0, 14, 14));
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    p.drawRect(7, 3, 2, 6);   // the stroke of "!"
    p.drawRect(7, 10, 2, 2);  // its dot
}

void DrawNewPage(QPainter& p) {
    p.setPen(kOutline);
    p.setBrush(kWhite);
    p.drawPolygon(QPolygon({{3, 0}, {10, 0}, {13, 3}, {13, 14}, {3, 14}}));
    p.drawPolyline(QPolygon({{10, 0}, {10, 3}, {13, 3}}));
}

void DrawDisk(QPainter& p) {
    p.setPen(kOutline);
    p.setBrush(kDarkGrey);
    p.drawRect(1, 0, 13, 14);
    p.setBrush(kWhite);
    p.drawRect(4, 1, 7, 5);   // label
    p.setBrush(kLight);
    p.drawRect(4, 9, 7, 5);   // shutter
    p.setPen(kDarkGrey);
    p.drawLine(8, 10, 8, 12);
}

void DrawPrinter(QPainter& p) {
    p.setPen(kOutline);
    p.setBrush(kWhite);
    p.drawRect(4, 0, 7, 5);   // paper in
    p.setBrush(kGrey);
    p.drawRect(0, 5, 15, 6);  // body
    p.setBrush(kWhite);
    p.drawRect(3, 9, 9, 5);   // paper out
    p.setPen(QColor(0, 160, 0));
    p.drawPoint(12, 7);       // power light
}

void DrawMaterials(QPainter& p) {
    // Three material samples: a database of distinct stock.
    const QColor stock[] = {QColor(176, 120, 48), QColor(128, 128, 128), QColor(200, 176, 96)};
    for (int i = 0; i < 3; ++i) {
        p.setPen(kOutline);
        p.setBrush(stock[i]);
        p.drawRect(1 + i * 2, 1 + i * 4, 10, 4);
    }
}

void DrawLayers(QPainter& p) {
    const QColor shades[] = {QColor(200, 176, 96), QColor(128, 128, 128), QColor(176, 120, 48),
                             QColor(96, 96, 96)};
    for (int i = 0; i < 4; ++i) {
        p.setPen(kOutline);
        p.setBrush(shades[i]);
        p.drawRect(1, 1 + i * 3, 13, 3);
    }
}

void DrawBackgroundColor(QPainter& p) {
    p.setPen(kOutline);
    p.setBrush(QColor(255, 240, 160));
    p.drawRect(0, 0, 15, 14);
    p.setBrush(kWhite);
    p.drawRect(4, 4, 7, 6);  // the plot on its background
}

void DrawCurveColor(QPainter& p) {
    p.setPen(kOutline);
    p.setBrush(kWhite);
    p.drawRect(0, 0, 15, 14);
    p.setPen(QPen(QColor(220, 0, 0), 2));
    p.drawPolyline(QPolygon({{2, 7}, {4, 3}, {6, 7}, {8, 11}, {10, 7}, {12, 3}, {13, 5}}));
}

void DrawLineStyle(QPainter& p) {
    for (int w = 1; w <= 3; ++w)
        p.fillRect(1, 1 + (w - 1) * 4 + (w - 1), 14, w, kOutline);
}

void DrawOverview(QPainter& p) {
    p.setPen(QPen(kOutline, 2));
    p.setBrush(kWhite);
    p.drawEllipse(QRect(1, 1, 8, 8));
    p.drawLine(9, 9, 14, 13);
}

void DrawComputedCurve(QPainter& p) {
    // A page with a response on it and an arrow pointing at it: "show the result".
    p.setPen(kOutline);
    p.setBrush(kWhite);
    p.drawRect(4, 0, 11, 14);
    p.setPen(QPen(QColor(220, 0, 0), 1));
    p.drawPolyline(QPolygon({{5, 7}, {7, 3}, {9, 10}, {11, 5}, {13, 8}, {14, 7}}));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 160, 0));
    p.drawPolygon(QPolygon({{0, 4}, {4, 7}, {0, 10}}));
}

}  // namespace

QColor CompositeIconColor() { return QColor(0, 64, 224); }
QColor FGMIconColor() { return QColor(224, 0, 224); }

QImage ToolbarImage(int id) {
    QImage image = Blank();
    QPainter p(&image);
    switch (id) {
    case Cmd::kFileNew: DrawNewPage(p); break;
    case Cmd::kFileOpen: DrawOpenFolder(p, CompositeIconColor()); break;
    case Cmd::kOpenFGM: DrawOpenFolder(p, FGMIconColor()); break;
    case Cmd::kFileSave: DrawDisk(p); break;
    case Cmd::kFilePrint: DrawPrinter(p); break;
    case Cmd::kMaterialSelected: DrawMaterials(p); break;
    case Cmd::kLayerPara: DrawLayers(p); break;
    case Cmd::kInputComposite: DrawNodeDiagram(p, CompositeIconColor()); break;
    case Cmd::kExecuteComposite: DrawWarningSign(p, CompositeIconColor()); break;
    case Cmd::kInputFGM: DrawNodeDiagram(p, FGMIconColor()); break;
    case Cmd::kExecuteFGM: DrawWarningSign(p, FGMIconColor()); break;
    case Cmd::kBackgroundColor: DrawBackgroundColor(p); break;
    case Cmd::kCurveColor: DrawCurveColor(p); break;
    case Cmd::kLineStyle: DrawLineStyle(p); break;
    case Cmd::kOverview: DrawOverview(p); break;
    case Cmd::kShowComputedCurve: DrawComputedCurve(p); break;
    default: p.end(); return {};
    }
    return image;
}

QIcon ToolbarIcon(int id) {
    const QImage image = ToolbarImage(id);
    return image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
}

QImage ApplicationImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    // A three-layer plate at the bottom ...
    p.setPen(QPen(kOutline, 1));
    p.setBrush(CompositeIconColor());
    p.drawRect(QRectF(2, 22, 28, 3));
    p.setBrush(kLight);
    p.drawRect(QRectF(2, 25, 28, 3));
    p.setBrush(FGMIconColor());
    p.drawRect(QRectF(2, 28, 28, 3));
    // ... the line load on it ...
    p.setPen(QPen(kOutline, 2));
    p.drawLine(QPointF(16, 12), QPointF(16, 20));
    p.drawPolyline(QPolygonF({{13, 17}, {16, 20.5}, {19, 17}}));
    // ... and its ringing response above.
    QPainterPath curve;
    curve.moveTo(2, 8);
    for (int x = 2; x <= 30; ++x)
        curve.lineTo(x, 8 - 6.0 * std::exp(-(x - 2) / 12.0) * std::sin((x - 2) / 2.0));
    p.setPen(QPen(QColor(220, 0, 0), 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(curve);
    return image;
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(ApplicationImage(size)));
    return icon;
}
