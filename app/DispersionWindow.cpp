#include "DispersionWindow.h"

#include "ToolWindows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "DirectionsBar.h"
#include "DispersionCurves.h"
#include "FileExport.h"
#include "ModeShapePanel.h"
#include "PlotWidget.h"
#include "QtUiServices.h"
#include "SeriesCsv.h"

namespace {

double EnergySpeed(const CDispersionMode& m, size_t i) { return std::hypot(m.energyX[i], m.energyY[i]); }

double Value(const CDispersionMode& m, EDispersionQuantity q, size_t i) {
    switch (q) {
    case EDispersionQuantity::Phase: return m.phase[i];
    case EDispersionQuantity::Group: return m.group[i];
    case EDispersionQuantity::Wavenumber: return m.wavenumber[i];
    case EDispersionQuantity::Energy: return EnergySpeed(m, i);
    case EDispersionQuantity::Skew: return m.skew[i];
    }
    return m.phase[i];
}

// The largest magnitude of a quantity over the table: the scale its read-outs are written against.
double TableScale(const CDispersionTable& table, EDispersionQuantity q) {
    double largest = 0;
    for (const CDispersionMode& m : table.modes)
        for (size_t i = 0; i < m.frequency.size(); ++i)
            if (std::isfinite(Value(m, q, i))) largest = std::max(largest, std::abs(Value(m, q, i)));
    return largest;
}

double FrequencyScale(const CDispersionTable& table) {
    double largest = 0;
    for (const CDispersionMode& m : table.modes)
        for (double f : m.frequency)
            if (std::isfinite(f)) largest = std::max(largest, std::abs(f));
    return largest;
}

// A skew is read against a right angle, the largest it can be.
constexpr double kRightAngle = 90;

}  // namespace

plot::PlotContent DispersionPlotContent(const CDispersionTable& table, EDispersionQuantity quantity,
                                        bool perThickness) {
    plot::PlotContent c;
    c.x = perThickness ? plot::AxisName{"f h", "MHz mm"} : plot::AxisName{"f", "MHz"};
    switch (quantity) {
    case EDispersionQuantity::Phase: c.y = {"c_p", "mm/us"}; c.title = "Phase velocity"; break;
    case EDispersionQuantity::Group: c.y = {"c_g", "mm/us"}; c.title = "Group velocity"; break;
    case EDispersionQuantity::Wavenumber: c.y = {"k", "1/mm"}; c.title = "Wavenumber"; break;
    case EDispersionQuantity::Energy: c.y = {"c_e", "mm/us"}; c.title = "Energy velocity"; break;
    case EDispersionQuantity::Skew: c.y = {"skew", "deg"}; c.title = "Skew angle"; break;
    }
    const double scale = perThickness ? table.dThickness : 1.0;
    for (size_t i = 0; i < table.modes.size(); ++i) {
        const CDispersionMode& m = table.modes[i];
        plot::Series s;
        s.name = m.strName;
        s.unit = c.y.unit;
        plot::SetSeriesLook(s, i);
        s.lineWidth = 1.5;
        for (size_t j = 0; j < m.frequency.size(); ++j) s.points.push_back({m.frequency[j] * scale, Value(m, quantity, j)});
        c.series.push_back(std::move(s));
    }
    return c;
}

plot::Range DispersionFullRange(const plot::PlotContent& content, const CDispersionTable& table,
                                EDispersionQuantity quantity) {
    const auto data = plot::DataRange(content.series);
    if (!data) return plot::Range{0, 1, 0, 1};
    plot::Range r = *data;
    if (quantity == EDispersionQuantity::Phase) {
        double fastest = 0;
        for (const CDispersionMode& m : table.modes)
            for (double g : m.group) fastest = std::max(fastest, std::abs(g));
        if (fastest > 0) r.yMax = std::min(r.yMax, 3 * fastest);
        r.yMin = 0;
    }
    if (quantity == EDispersionQuantity::Group || quantity == EDispersionQuantity::Energy)
        r.yMin = std::min(0.0, r.yMin);
    return plot::Padded(r, 0.02);
}

namespace {

std::string ExcitabilityCells(const CDispersionMode& m, size_t j) {
    std::string cells;
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) {
            cells += ',';
            cells += plot::NumberText(PointExcitability(m, j, a, b));
        }
    return cells;
}

}  // namespace

std::string DispersionCsvText(const CDispersionTable& table) {
    std::string text =
        "mode,frequency (MHz),frequency-thickness (MHz mm),wavenumber (1/mm),phase velocity (mm/us),"
        "group velocity (mm/us),energy velocity (mm/us),skew angle (deg),top U,top V,top W";
    const char* loads = "XYZ";
    const char* outputs = "UVW";
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) text += std::string(",excitability ") + loads[a] + " load " + outputs[b] + " (mm per GPa mm)";
    text += "\n";
    for (const CDispersionMode& m : table.modes)
        for (size_t j = 0; j < m.frequency.size(); ++j)
            text += plot::CsvCell(m.strName) + "," + plot::NumberText(m.frequency[j]) + "," +
                    plot::NumberText(m.frequency[j] * table.dThickness) + "," + plot::NumberText(m.wavenumber[j]) +
                    "," + plot::NumberText(m.phase[j]) + "," + plot::NumberText(m.group[j]) + "," +
                    plot::NumberText(EnergySpeed(m, j)) + "," + plot::NumberText(m.skew[j]) + "," +
                    plot::NumberText(m.top[0][j]) + "," + plot::NumberText(m.top[1][j]) + "," +
                    plot::NumberText(m.top[2][j]) + ExcitabilityCells(m, j) + "\n";
    return text;
}

double PointExcitability(const CDispersionMode& mode, size_t i, int load, int output) {
    numerics::CModePoint p;
    p.dOmega = 2 * M_PI * mode.frequency[i];
    p.dGroup = mode.group[i];
    for (int c = 0; c < 3; ++c) p.dTop[c] = mode.top[c][i];
    return numerics::Excitability(p, load, output);
}

void ColourByExcitability(plot::PlotContent& content, const CDispersionTable& table, int load, int output) {
    double largest = 0;
    for (const CDispersionMode& m : table.modes)
        for (size_t i = 0; i < m.frequency.size(); ++i) largest = std::max(largest, PointExcitability(m, i, load, output));
    for (size_t k = 0; k < content.series.size() && k < table.modes.size(); ++k) {
        const CDispersionMode& m = table.modes[k];
        plot::Series& s = content.series[k];
        s.pointColours.clear();
        for (size_t i = 0; i < m.frequency.size(); ++i) {
            const double e = PointExcitability(m, i, load, output);
            const double share = largest > 0 && e > 0 ? std::clamp(1.0 + std::log10(e / largest) / 3.0, 0.0, 1.0) : 0.0;
            // From a pale tint of the mode's colour (0) to the colour itself (1).
            const double w = 0.12 + 0.88 * share;
            const auto mix = [w](int c) { return static_cast<int>(std::lround(255 - w * (255 - c))); };
            s.pointColours.push_back(plot::MakeRgb(mix(plot::RgbRed(s.colour)), mix(plot::RgbGreen(s.colour)),
                                                   mix(plot::RgbBlue(s.colour))));
        }
    }
}

QString DispersionPointText(const CDispersionTable& table, int mode, int index) {
    if (mode < 0 || mode >= static_cast<int>(table.modes.size())) return {};
    const CDispersionMode& m = table.modes[static_cast<size_t>(mode)];
    if (index < 0 || index >= static_cast<int>(m.frequency.size())) return {};
    const size_t i = static_cast<size_t>(index);
    const auto n = [&](EDispersionQuantity q) { return plot::ReadoutNumber(Value(m, q, i), TableScale(table, q)); };
    const double f = FrequencyScale(table);
    return QStringLiteral("%1: f = %2 MHz, f h = %3 MHz mm, k = %4 1/mm, c_p = %5 mm/us, c_g = %6 mm/us, "
                          "c_e = %7 mm/us, skew %8 deg")
        .arg(QString::fromStdString(m.strName), plot::ReadoutNumber(m.frequency[i], f),
             plot::ReadoutNumber(m.frequency[i] * table.dThickness, f * table.dThickness),
             n(EDispersionQuantity::Wavenumber), n(EDispersionQuantity::Phase), n(EDispersionQuantity::Group),
             n(EDispersionQuantity::Energy), plot::ReadoutNumber(m.skew[i], kRightAngle));
}

CDispersionWindow::CDispersionWindow(CDispersionTable table, bool perThickness, const QString& title,
                                     QWidget* parent)
    : QWidget(parent, Qt::Window), m_table(std::move(table)), m_bPerThickness(perThickness) {
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
    m_choice = new QComboBox(this);
    m_choice->setObjectName(QStringLiteral("quantity"));
    m_choice->addItems({QStringLiteral("Phase velocity"), QStringLiteral("Group velocity"),
                        QStringLiteral("Wavenumber"), QStringLiteral("Energy velocity"), QStringLiteral("Skew angle")});
    m_plot = new plot::PlotWidget(this);
    m_plot->setObjectName(QStringLiteral("plot"));
    m_readout = new QLabel(this);
    m_readout->setObjectName(QStringLiteral("readout"));
    m_mode = new QLabel(this);
    m_mode->setObjectName(QStringLiteral("mode"));
    auto* tools = new QHBoxLayout;
    auto* show = new QLabel(QStringLiteral("&Show"), this);
    show->setBuddy(m_choice);
    tools->addWidget(show);
    tools->addWidget(m_choice);
    tools->addStretch();
    const auto button = [&](const char* text, const char* name, const char* tip, std::function<void()> slot) {
        AddToolButton(this, tools, QString::fromLatin1(text), name, QString::fromLatin1(tip), std::move(slot));
    };
    button("Overview", "overview", "Show every line whole again after zooming",
           [this] { m_plot->View().SetShown(m_plot->View().FullRange()), m_plot->update(); });
    button("Export CSV...", "exportCsv", "Export every quantity of every point of every mode as CSV",
           [this] { Export("csv"); });
    button("Export image...", "exportImage", "Export the plot as a PNG or SVG image of a chosen size",
           [this] { Export("png"); });
    // Colour by excitability, for a load direction and output of the user's choice.
    auto* colouring = new QHBoxLayout;
    m_colour = new QCheckBox(QStringLiteral("&Colour by excitability for a load along"), this);
    m_colour->setToolTip(QStringLiteral("Draw each line from pale to its own colour by how strongly a line load on the "
                                        "top surface excites it"));
    m_colour->setObjectName(QStringLiteral("excitability"));
    m_load = new QComboBox(this);
    m_load->setObjectName(QStringLiteral("excitabilityLoad"));
    m_load->addItems({QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("Z")});
    m_load->setCurrentIndex(m_table.nLoad);
    m_output = new QComboBox(this);
    m_output->setObjectName(QStringLiteral("excitabilityOutput"));
    m_output->addItems({QStringLiteral("U"), QStringLiteral("V"), QStringLiteral("W")});
    m_output->setCurrentIndex(m_table.nOutput);
    m_load->setToolTip(QStringLiteral("The direction of the load on the top surface"));
    m_output->setToolTip(QStringLiteral("The displacement component read"));
    colouring->addWidget(m_colour);
    colouring->addWidget(m_load);
    colouring->addWidget(new QLabel(QStringLiteral("read as"), this));
    colouring->addWidget(m_output);
    colouring->addWidget(new QLabel(QStringLiteral("(pale: three decades below the strongest)"), this));
    colouring->addStretch();
    auto* curves = new QWidget(this);
    auto* layout = new QVBoxLayout(curves);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(tools);
    layout->addLayout(colouring);
    // Directions at one frequency, in a window of their own.
    m_directions = new CDirectionsBar(m_table, m_bPerThickness, this);
    m_directions->setObjectName(QStringLiteral("directions"));
    m_directions->tell = [this](const std::string& text) { ShowFormMessage(m_pMessages, this, text.c_str()); };
    m_directions->opened = [this](CDirectionsWindow* w) {
        w->m_pFiles = m_pFiles;
        w->m_pMessages = m_pMessages;
        w->m_pModals = m_pModals;
        w->m_strExportDir = m_strExportDir;
        // One of the document's windows, as this one is (placed, listed, closed with it).
        if (m_openWindow)
            m_openWindow(w);
        else
            w->show();
    };
    layout->addWidget(m_directions);
    layout->addWidget(m_plot, 1);
    layout->addWidget(m_mode);
    layout->addWidget(m_readout);
    m_shape = new CModeShapePanel(this);
    m_shape->setObjectName(QStringLiteral("modeShape"));
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(curves);
    split->addWidget(m_shape);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(split);
    m_modes = std::make_unique<CDispersionModes>(m_table);

    connect(m_choice, &QComboBox::currentIndexChanged, this,
            [this](int i) { SetQuantity(static_cast<EDispersionQuantity>(i)); });
    connect(m_plot, &plot::PlotWidget::readoutChanged, m_readout, &QLabel::setText);
    connect(m_plot, &plot::PlotWidget::hoveredPoint, this,
            [this](int series, int index) { m_mode->setText(DispersionPointText(m_table, series, index)); });
    connect(m_plot, &plot::PlotWidget::pointClicked, this, &CDispersionWindow::ShowModeShape);
    const auto colourChanged = [this] { SetExcitability(m_colour->isChecked(), m_load->currentIndex(), m_output->currentIndex()); };
    connect(m_colour, &QCheckBox::toggled, this, colourChanged);
    connect(m_load, &QComboBox::currentIndexChanged, this, colourChanged);
    connect(m_output, &QComboBox::currentIndexChanged, this, colourChanged);
    m_mode->setAccessibleName(QStringLiteral("Mode under the pointer"));
    SetQuantity(EDispersionQuantity::Phase);
    resize(1300, 640);
}

void CDispersionWindow::SetQuantity(EDispersionQuantity quantity) {
    m_quantity = quantity;
    if (m_choice->currentIndex() != static_cast<int>(quantity)) {
        const QSignalBlocker block(m_choice);
        m_choice->setCurrentIndex(static_cast<int>(quantity));
    }
    plot::PlotContent content = DispersionPlotContent(m_table, quantity, m_bPerThickness);
    const plot::Range full = DispersionFullRange(content, m_table, quantity);
    m_plot->SetContent(std::move(content));
    m_plot->View().SetFullRange(full);
    m_plot->View().Overview();
    Refresh();
}

void CDispersionWindow::Refresh() {
    plot::PlotContent content = DispersionPlotContent(m_table, m_quantity, m_bPerThickness);
    if (m_colour->isChecked()) ColourByExcitability(content, m_table, m_load->currentIndex(), m_output->currentIndex());
    m_plot->UpdateContent(std::move(content));
    m_plot->update();
}

void CDispersionWindow::SetExcitability(bool on, int load, int output) {
    const QSignalBlocker a(m_colour), b(m_load), c(m_output);
    m_colour->setChecked(on);
    m_load->setCurrentIndex(std::clamp(load, 0, 2));
    m_output->setCurrentIndex(std::clamp(output, 0, 2));
    Refresh();
}

void CDispersionWindow::ShowModeShape(int mode, int index) {
    // The panel exports through the window's own chooser and messages.
    m_shape->m_pFiles = m_pFiles;
    m_shape->m_pMessages = m_pMessages;
    m_shape->m_pModals = m_pModals;
    m_shape->m_strExportDir = m_strExportDir;
    numerics::CModeShape shape;
    const std::string why = m_modes->ShapeAt(mode, index, shape);
    if (!why.empty()) {
        m_shape->ShowMessage(QStringLiteral("No mode shape here: %1.").arg(QString::fromStdString(why)));
        return;
    }
    const CDispersionMode& m = m_table.modes[static_cast<size_t>(mode)];
    const QString title = QStringLiteral("%1 at f = %2 MHz")
                              .arg(QString::fromStdString(m.strName))
                              .arg(m.frequency[static_cast<size_t>(index)], 0, 'g', 4);
    m_shape->SetShape(std::move(shape), title, DispersionPointText(m_table, mode, index));
}

QString CDispersionWindow::ReadoutText() const { return m_readout->text() + "\n" + m_mode->text(); }

bool CDispersionWindow::ExportCsv(const QString& path, QString* error) const {
    return plot::SaveFileAtomically(path, QByteArray::fromStdString(DispersionCsvText(m_table)), error);
}

bool CDispersionWindow::ExportImage(const QString& path, QSize size, bool gridLines, QString* error) const {
    return m_plot->ExportImage(path, size, error, gridLines);
}

void CDispersionWindow::Export(const char* extension) {
    const CExportRequest request{"the dispersion curves", "dispersion", m_strExportDir};
    ExportTableOrImage(
        this, m_pModals, m_pFiles, m_pMessages, request, extension, m_plot->size(),
        [&](const QString& path, QString* error) { return ExportCsv(path, error); },
        [&](const QString& path, QSize size, bool grid, QString* error) { return ExportImage(path, size, grid, error); });
}
