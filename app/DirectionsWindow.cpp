#include "DirectionsWindow.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
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
        // A line all the way round is closed.
        if (quantity != EDirectionQuantity::Skew && !s.points.empty() && line.points.size() > 2 &&
            line.points.back().dAngle - line.points.front().dAngle > 1.9 * std::numbers::pi)
            s.points.push_back(s.points.front());
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
            double ray = std::fmod((p.dAngle + p.dSkew) * kDegrees, 360.0);
            if (ray < 0) ray += 360;
            for (const std::string& cell :
                 {plot::CsvCell(line.strName), plot::NumberText(p.dAngle * kDegrees), plot::NumberText(p.dKappa),
                  plot::NumberText(p.dPhase), plot::NumberText(p.dSlowness), plot::NumberText(p.dEnergyAlong),
                  plot::NumberText(p.dEnergyAcross + 0.0), plot::NumberText(std::hypot(p.dEnergyAlong, p.dEnergyAcross)),
                  plot::NumberText(p.dSkew * kDegrees + 0.0)})
                text += cell + ",";
            text += plot::NumberText(ray + 0.0) + "\n";
        }
    return text;
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
    auto* tools = new QHBoxLayout;
    tools->addWidget(new QLabel(QStringLiteral("Show"), this));
    tools->addWidget(m_choice);
    tools->addStretch();
    AddExportButtons(tools, this, "Export ", "directions", [this](const char* extension) { Export(extension); });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(m_plot, 1);
    connect(m_choice, &QComboBox::currentIndexChanged, this,
            [this](int i) { SetQuantity(static_cast<EDirectionQuantity>(i)); });
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

void CDirectionsWindow::Export(const char* extension) {
    const CExportRequest request{"the directions", "directions", m_strExportDir};
    ExportThroughChooser(this, m_pFiles, m_pMessages, request, extension, [&](const QString& path, QString* error) {
        return std::string(extension) == "csv" ? ExportCsv(path, error) : m_plot->ExportImage(path, QSize(800, 800), error);
    });
}
