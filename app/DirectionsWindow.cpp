#include "DirectionsWindow.h"

#include "ToolWindows.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "AxisFormat.h"
#include "FileExport.h"
#include "PlotWidget.h"
#include "SeriesCsv.h"

namespace {

constexpr double kDegrees = 180 / std::numbers::pi;

// The radius and the angle a point is drawn at.
std::pair<double, double> Polar(const numerics::CDirectionalPoint& p, EDirectionQuantity q) {
    switch (q) {
    case EDirectionQuantity::Phase: return {p.dPhase, p.dAngle};
    case EDirectionQuantity::Slowness: return {p.dSlowness, p.dAngle};
    default: return {std::hypot(p.dEnergyAlong, p.dEnergyAcross), p.dAngle + p.dSkew};
    }
}

// Circles at round radii up to the largest and spokes every 30 degrees, in light grey.
void AddPolarGuides(plot::PlotContent& c, double largest) {
    const plot::Rgb grey = plot::MakeRgb(200, 200, 200);
    if (!(largest > 0) || !std::isfinite(largest)) return;
    // Round radii out to the first at or beyond the largest, so every curve lies inside a circle.
    const double step = plot::NiceStep(0, largest, 4);
    if (!(step > 0)) return;
    std::vector<double> radii;
    for (int i = 1; radii.empty() || radii.back() < largest * (1 - 1e-9); ++i) radii.push_back(i * step);
    const double outer = radii.back();
    for (double r : radii) {
        plot::Series circle;
        circle.colour = grey;
        circle.lineWidth = 0.8;
        for (int i = 0; i <= 120; ++i)
            circle.points.push_back({r * std::cos(i * std::numbers::pi / 60), r * std::sin(i * std::numbers::pi / 60)});
        c.series.push_back(std::move(circle));
    }
    for (int a = 0; a < 180; a += 30) {
        plot::Series spoke;
        spoke.colour = grey;
        spoke.lineWidth = 0.8;
        const double t = a / kDegrees;
        spoke.points = {{-outer * std::cos(t), -outer * std::sin(t)}, {outer * std::cos(t), outer * std::sin(t)}};
        c.series.push_back(std::move(spoke));
    }
}

// The ray's direction in degrees, in [0, 360): a ray a hair below 0 is 0, not 360.
double RayDegrees(const numerics::CDirectionalPoint& p) {
    double ray = std::fmod((p.dAngle + p.dSkew) * kDegrees, 360.0);
    if (ray < 0) ray += 360;
    return ray >= 360 ? 0.0 : ray + 0.0;
}

// A line all the way round: from its last direction one more of its steps comes back to the
// first, however few directions there are.
bool GoesRound(const numerics::CDirectionalLine& line) {
    const auto& p = line.points;
    if (p.size() < 3) return false;
    double step = 2 * std::numbers::pi;
    for (size_t i = 1; i < p.size(); ++i) step = std::min(step, p[i].dAngle - p[i - 1].dAngle);
    return step > 0 && p.back().dAngle - p.front().dAngle + 1.5 * step >= 2 * std::numbers::pi;
}

}  // namespace

plot::PlotContent DirectionsPlotContent(const numerics::CDirectionalCurves& curves, EDirectionQuantity quantity) {
    plot::PlotContent c;
    char title[120];
    std::snprintf(title, sizeof title, " at f = %.4g MHz", curves.dOmega / (2 * std::numbers::pi));
    const char* names[] = {"Phase velocity", "Energy velocity (wave fronts after 1 us)", "Slowness", "Skew angle"};
    c.title = names[static_cast<int>(quantity)] + std::string(title);
    if (quantity == EDirectionQuantity::Skew) {
        c.x = {"direction", "deg"};
        c.y = {"skew", "deg"};
    } else {
        const char* unit = quantity == EDirectionQuantity::Slowness ? "us/mm" : "mm/us";
        c.x = {"along x", unit};
        c.y = {"along y", unit};
        c.equalScales = true;
    }
    double largest = 0;
    std::vector<plot::Series> lines;
    for (size_t l = 0; l < curves.lines.size(); ++l) {
        const numerics::CDirectionalLine& line = curves.lines[l];
        plot::Series s;
        s.name = line.strName;
        s.unit = c.y.unit;
        s.colour = plot::SeriesColour(l);
        s.lineWidth = 1.5;
        for (const numerics::CDirectionalPoint& p : line.points) {
            if (quantity == EDirectionQuantity::Skew) {
                s.points.push_back({p.dAngle * kDegrees, p.dSkew * kDegrees});
                continue;
            }
            const auto [r, a] = Polar(p, quantity);
            largest = std::max(largest, r);
            s.points.push_back({r * std::cos(a), r * std::sin(a)});
        }
        if (quantity != EDirectionQuantity::Skew && GoesRound(line)) s.points.push_back(s.points.front());
        lines.push_back(std::move(s));
    }
    if (quantity != EDirectionQuantity::Skew) AddPolarGuides(c, largest);
    for (plot::Series& s : lines) c.series.push_back(std::move(s));
    return c;
}

std::string DirectionsCsvText(const numerics::CDirectionalCurves& curves) {
    std::string text =
        "mode,direction (deg),wavenumber (1/mm),phase velocity (mm/us),slowness (us/mm),energy velocity along "
        "(mm/us),energy velocity across (mm/us),energy speed (mm/us),skew angle (deg),ray direction (deg)\n";
    for (const numerics::CDirectionalLine& line : curves.lines)
        for (const numerics::CDirectionalPoint& p : line.points) {
            for (const std::string& cell :
                 {plot::CsvCell(line.strName), plot::NumberText(p.dAngle * kDegrees), plot::NumberText(p.dKappa),
                  plot::NumberText(p.dPhase), plot::NumberText(p.dSlowness), plot::NumberText(p.dEnergyAlong),
                  plot::NumberText(p.dEnergyAcross + 0.0), plot::NumberText(std::hypot(p.dEnergyAlong, p.dEnergyAcross)),
                  plot::NumberText(p.dSkew * kDegrees + 0.0)})
                text += cell + ",";
            text += plot::NumberText(RayDegrees(p)) + "\n";
        }
    return text;
}

QString DirectionsPointText(const numerics::CDirectionalCurves& curves, int line, int index) {
    if (line < 0 || line >= int(curves.lines.size())) return {};
    const numerics::CDirectionalLine& l = curves.lines[size_t(line)];
    if (index < 0 || index >= int(l.points.size())) return {};
    // Each value against the largest of its kind, so that rounding noise reads as 0.
    double k = 0, speed = 0, slowness = 0;
    for (const numerics::CDirectionalLine& other : curves.lines)
        for (const numerics::CDirectionalPoint& p : other.points) {
            k = std::max(k, std::abs(p.dKappa));
            speed = std::max({speed, std::abs(p.dPhase), std::hypot(p.dEnergyAlong, p.dEnergyAcross)});
            slowness = std::max(slowness, std::abs(p.dSlowness));
        }
    const numerics::CDirectionalPoint& p = l.points[size_t(index)];
    const auto n = [](double v, double scale) { return plot::ReadoutNumber(v, scale); };
    return QStringLiteral("%1: direction %2 deg, k = %3 1/mm, c_p = %4 mm/us, slowness %5 us/mm, c_e = %6 mm/us "
                          "along %7 deg, skew %8 deg")
        .arg(QString::fromStdString(l.strName), n(p.dAngle * kDegrees, 360), n(p.dKappa, k), n(p.dPhase, speed),
             n(p.dSlowness, slowness), n(std::hypot(p.dEnergyAlong, p.dEnergyAcross), speed), n(RayDegrees(p), 360),
             n(p.dSkew * kDegrees, 90));
}

CDirectionsWindow::CDirectionsWindow(numerics::CDirectionalCurves curves, const QString& title, QWidget* parent)
    : QWidget(parent, Qt::Window), m_curves(std::move(curves)) {
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
    m_choice = new QComboBox(this);
    m_choice->setObjectName(QStringLiteral("directionsQuantity"));
    m_choice->addItems({QStringLiteral("Phase velocity"), QStringLiteral("Energy velocity (wave fronts)"),
                        QStringLiteral("Slowness"), QStringLiteral("Skew angle")});
    m_plot = new plot::PlotWidget(this);
    m_plot->setObjectName(QStringLiteral("directionsPlot"));
    m_readout = new QLabel(this);
    m_readout->setObjectName(QStringLiteral("directionsReadout"));
    m_point = new QLabel(this);
    m_point->setObjectName(QStringLiteral("directionsPoint"));
    m_point->setAccessibleName(QStringLiteral("Mode under the pointer"));
    auto* tools = new QHBoxLayout;
    auto* show = new QLabel(QStringLiteral("&Show"), this);
    show->setBuddy(m_choice);
    tools->addWidget(show);
    tools->addWidget(m_choice);
    tools->addStretch();
    // As the dispersion window's: the table, or a picture of a chosen size.
    AddToolButton(this, tools, QStringLiteral("Export CSV..."), "directionsCsv",
                  QStringLiteral("Export every point of every mode in every direction as CSV"), [this] { Export("csv"); });
    AddToolButton(this, tools, QStringLiteral("Export image..."), "directionsImage",
                  QStringLiteral("Export the plot as a PNG or SVG image of a chosen size"), [this] { Export("png"); });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(m_plot, 1);
    layout->addWidget(m_point);
    layout->addWidget(m_readout);
    connect(m_choice, &QComboBox::currentIndexChanged, this,
            [this](int i) { SetQuantity(static_cast<EDirectionQuantity>(i)); });
    connect(m_plot, &plot::PlotWidget::readoutChanged, m_readout, &QLabel::setText);
    connect(m_plot, &plot::PlotWidget::hoveredPoint, this, &CDirectionsWindow::ShowPoint);
    SetQuantity(EDirectionQuantity::Phase);
    resize(720, 720);
}

void CDirectionsWindow::SetQuantity(EDirectionQuantity quantity) {
    if (m_choice->currentIndex() != static_cast<int>(quantity)) {
        const QSignalBlocker block(m_choice);
        m_choice->setCurrentIndex(static_cast<int>(quantity));
    }
    m_plot->SetContent(DirectionsPlotContent(m_curves, quantity));
    m_plot->update();
}

bool CDirectionsWindow::ExportCsv(const QString& path, QString* error) const {
    return plot::SaveFileAtomically(path, QByteArray::fromStdString(DirectionsCsvText(m_curves)), error);
}

bool CDirectionsWindow::ExportImage(const QString& path, QSize size, bool gridLines, QString* error) const {
    return m_plot->ExportImage(path, size, error, gridLines);
}

QString CDirectionsWindow::ReadoutText() const { return m_readout->text() + "\n" + m_point->text(); }

void CDirectionsWindow::ShowPoint(int series, int index) {
    // The guides (circles, spokes) come first and have no name: they are no mode.
    const plot::PlotContent& content = m_plot->Content();
    const int line = series - int(content.series.size() - m_curves.lines.size());
    m_point->setText(DirectionsPointText(m_curves, line, index));
}

void CDirectionsWindow::Export(const char* extension) {
    const CExportRequest request{"the directions", "directions", m_strExportDir};
    ExportTableOrImage(
        this, m_pModals, m_pFiles, m_pMessages, request, extension, m_plot->size(),
        [&](const QString& path, QString* error) { return ExportCsv(path, error); },
        [&](const QString& path, QSize size, bool grid, QString* error) { return ExportImage(path, size, grid, error); });
}
