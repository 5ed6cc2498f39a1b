#include "ModeShapePanel.h"

#include "ToolWindows.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "FileExport.h"
#include "PlotWidget.h"
#include "QtUiServices.h"
#include "SeriesCsv.h"

namespace {

struct CQuantity {
    const char* name;
    double (*value)(const numerics::CShapeSample&);
};

const std::vector<CQuantity>& Quantities(EShapeView view) {
    static const std::vector<CQuantity> displacement = {
        {"U", [](const numerics::CShapeSample& s) { return s.u; }},
        {"V", [](const numerics::CShapeSample& s) { return s.v; }},
        {"W", [](const numerics::CShapeSample& s) { return s.w; }}};
    static const std::vector<CQuantity> stress = {
        {"sigma_xx", [](const numerics::CShapeSample& s) { return s.stress[0]; }},
        {"sigma_yy", [](const numerics::CShapeSample& s) { return s.stress[1]; }},
        {"sigma_zz", [](const numerics::CShapeSample& s) { return s.stress[2]; }},
        {"sigma_yz", [](const numerics::CShapeSample& s) { return s.stress[3]; }},
        {"sigma_xz", [](const numerics::CShapeSample& s) { return s.stress[4]; }},
        {"sigma_xy", [](const numerics::CShapeSample& s) { return s.stress[5]; }}};
    static const std::vector<CQuantity> energy = {
        {"strain energy", [](const numerics::CShapeSample& s) { return s.dStrainEnergy; }}};
    return view == EShapeView::Displacement ? displacement : view == EShapeView::Stress ? stress : energy;
}

double Peak(const numerics::CModeShape& shape, const CQuantity& q) {
    double peak = 0;
    for (const numerics::CShapeSample& s : shape.samples) peak = std::max(peak, std::abs(q.value(s)));
    return peak;
}

}  // namespace

plot::PlotContent ModeShapeContent(const numerics::CModeShape& shape, EShapeView view, const std::string& title) {
    plot::PlotContent c;
    c.title = title;
    c.y = {"z", "mm"};
    c.x = view == EShapeView::Displacement ? plot::AxisName{"amplitude", ""}
          : view == EShapeView::Stress     ? plot::AxisName{"stress", "scaled"}
                                           : plot::AxisName{"strain energy density", "scaled"};
    const std::vector<CQuantity>& quantities = Quantities(view);
    double largest = 0;
    for (const CQuantity& q : quantities) largest = std::max(largest, Peak(shape, q));
    for (size_t i = 0; i < quantities.size(); ++i) {
        const CQuantity& q = quantities[i];
        const double peak = Peak(shape, q);
        if (view == EShapeView::Stress && std::string(q.name) == "sigma_yy" && peak < 0.01 * largest) continue;
        // A component that is zero throughout (V of a Lamb mode) is not drawn.
        if (peak == 0 && quantities.size() > 1) continue;
        plot::Series s;
        s.name = q.name;
        s.colour = plot::SeriesColour(i);
        s.lineWidth = 1.5;
        for (const numerics::CShapeSample& sample : shape.samples) s.points.push_back({q.value(sample), sample.dZ});
        c.series.push_back(std::move(s));
    }
    for (double z : shape.interfaces) {
        plot::Series line;
        line.colour = plot::MakeRgb(160, 160, 160);
        line.points = {{-largest, z}, {largest, z}};
        c.series.push_back(std::move(line));
    }
    return c;
}

std::string ModeShapeCsvText(const numerics::CModeShape& shape) {
    std::string text =
        "z (mm),layer,U,V,W,sigma_xx,sigma_yy,sigma_zz,sigma_yz,sigma_xz,sigma_xy,strain energy\n";
    for (const numerics::CShapeSample& s : shape.samples) {
        text += plot::NumberText(s.dZ);
        text += ',';
        text += std::to_string(s.nLayer);
        std::vector<double> values{s.u, s.v, s.w};
        values.insert(values.end(), s.stress.begin(), s.stress.end());
        values.push_back(s.dStrainEnergy);
        for (double v : values) {
            text += ',';
            text += plot::NumberText(v + 0.0);
        }
        text += '\n';
    }
    return text;
}

CModeShapePanel::CModeShapePanel(QWidget* parent) : QWidget(parent) {
    m_choice = new QComboBox(this);
    m_choice->setObjectName(QStringLiteral("shapeView"));
    m_choice->addItems({QStringLiteral("Displacements"), QStringLiteral("Stresses"), QStringLiteral("Strain energy")});
    m_caption = new QLabel(QStringLiteral("Click a point of a line to see its mode shape."), this);
    m_caption->setObjectName(QStringLiteral("shapeCaption"));
    m_caption->setWordWrap(true);
    // Room for a point's whole description (two or three lines beside a narrow plot).
    m_caption->setMinimumHeight(3 * m_caption->fontMetrics().lineSpacing());
    m_caption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_plot = new plot::PlotWidget(this);
    m_plot->setObjectName(QStringLiteral("shapePlot"));
    auto* tools = new QHBoxLayout;
    tools->addWidget(m_choice);
    tools->addStretch();
    // Named for the shape: the window beside has export buttons of its own for the curves.
    const auto button = [&](const QString& text, const char* name, const QString& tip, const char* extension) {
        m_exports.push_back(AddToolButton(this, tools, text, name, tip, [this, extension] { Export(extension); }));
    };
    button(QStringLiteral("Shape CSV..."), "shapeCsv", QStringLiteral("Export every profile of the mode shape as CSV"), "csv");
    button(QStringLiteral("Shape image..."), "shapeImage",
           QStringLiteral("Export the mode shape's plot as a PNG or SVG image of a chosen size"), "png");
    m_choice->setToolTip(QStringLiteral("What the profiles through the thickness show"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(tools);
    layout->addWidget(m_caption);
    layout->addWidget(m_plot, 1);
    connect(m_choice, &QComboBox::currentIndexChanged, this, [this](int i) { SetView(static_cast<EShapeView>(i)); });
    Refresh();  // the axes say what a shape will show before there is one
}

void CModeShapePanel::SetShape(numerics::CModeShape shape, const QString& title, const QString& caption) {
    m_shape = std::move(shape);
    m_title = title;
    m_caption->setText(caption);
    Refresh();
}

void CModeShapePanel::ShowMessage(const QString& text) {
    m_shape = {};
    m_title.clear();
    m_caption->setText(text);
    Refresh();
}

void CModeShapePanel::SetView(EShapeView view) {
    m_view = view;
    if (m_choice->currentIndex() != static_cast<int>(view)) {
        const QSignalBlocker block(m_choice);
        m_choice->setCurrentIndex(static_cast<int>(view));
    }
    Refresh();
}

void CModeShapePanel::Refresh() {
    m_plot->SetContent(ModeShapeContent(m_shape, m_view, m_title.toStdString()));
    m_plot->update();
    for (QPushButton* b : m_exports) b->setEnabled(HasShape());
}

bool CModeShapePanel::ExportCsv(const QString& path, QString* error) const {
    return plot::SaveFileAtomically(path, QByteArray::fromStdString(ModeShapeCsvText(m_shape)), error);
}

bool CModeShapePanel::ExportImage(const QString& path, QSize size, bool gridLines, QString* error) const {
    return m_plot->ExportImage(path, size, error, gridLines);
}

void CModeShapePanel::Export(const char* extension) {
    if (!HasShape()) {
        ShowFormMessage(m_pMessages, this, "Click a point of a line first: there is no mode shape to export.");
        return;
    }
    const CExportRequest request{"the mode shape", "mode_shape", m_strExportDir};
    ExportTableOrImage(
        this, m_pModals, m_pFiles, m_pMessages, request, extension, m_plot->size(),
        [&](const QString& path, QString* error) { return ExportCsv(path, error); },
        [&](const QString& path, QSize size, bool grid, QString* error) { return ExportImage(path, size, grid, error); });
}
