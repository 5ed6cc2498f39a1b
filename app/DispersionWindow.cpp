#include "DispersionWindow.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

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

QString N(double v) { return plot::ReadoutNumber(v); }

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
        s.colour = plot::SeriesColour(i);
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

std::string DispersionCsvText(const CDispersionTable& table) {
    std::string text =
        "mode,frequency (MHz),frequency-thickness (MHz mm),wavenumber (1/mm),phase velocity (mm/us),"
        "group velocity (mm/us),energy velocity (mm/us),skew angle (deg),top U,top V,top W\n";
    for (const CDispersionMode& m : table.modes)
        for (size_t j = 0; j < m.frequency.size(); ++j)
            text += plot::CsvCell(m.strName) + "," + plot::NumberText(m.frequency[j]) + "," +
                    plot::NumberText(m.frequency[j] * table.dThickness) + "," + plot::NumberText(m.wavenumber[j]) +
                    "," + plot::NumberText(m.phase[j]) + "," + plot::NumberText(m.group[j]) + "," +
                    plot::NumberText(EnergySpeed(m, j)) + "," + plot::NumberText(m.skew[j]) + "," +
                    plot::NumberText(m.top[0][j]) + "," + plot::NumberText(m.top[1][j]) + "," +
                    plot::NumberText(m.top[2][j]) + "\n";
    return text;
}

QString DispersionPointText(const CDispersionTable& table, int mode, int index) {
    if (mode < 0 || mode >= static_cast<int>(table.modes.size())) return {};
    const CDispersionMode& m = table.modes[static_cast<size_t>(mode)];
    if (index < 0 || index >= static_cast<int>(m.frequency.size())) return {};
    const size_t i = static_cast<size_t>(index);
    return QStringLiteral("%1: f = %2 MHz, f h = %3 MHz mm, k = %4 1/mm, c_p = %5 mm/us, c_g = %6 mm/us, "
                          "c_e = %7 mm/us, skew %8 deg")
        .arg(QString::fromStdString(m.strName), N(m.frequency[i]), N(m.frequency[i] * table.dThickness),
             N(m.wavenumber[i]), N(m.phase[i]), N(m.group[i]), N(EnergySpeed(m, i)), N(m.skew[i]));
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
    tools->addWidget(new QLabel(QStringLiteral("Show"), this));
    tools->addWidget(m_choice);
    tools->addStretch();
    const auto button = [&](const char* text, const char* name, auto slot) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QString::fromLatin1(name));
        connect(b, &QPushButton::clicked, this, slot);
        tools->addWidget(b);
    };
    button("Overview", "overview", [this] { m_plot->View().SetShown(m_plot->View().FullRange()), m_plot->update(); });
    button("Export CSV...", "exportCsv", [this] { Export("csv"); });
    button("Export PNG...", "exportPng", [this] { Export("png"); });
    button("Export SVG...", "exportSvg", [this] { Export("svg"); });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(m_plot, 1);
    layout->addWidget(m_mode);
    layout->addWidget(m_readout);

    connect(m_choice, &QComboBox::currentIndexChanged, this,
            [this](int i) { SetQuantity(static_cast<EDispersionQuantity>(i)); });
    connect(m_plot, &plot::PlotWidget::readoutChanged, m_readout, &QLabel::setText);
    connect(m_plot, &plot::PlotWidget::hoveredPoint, this,
            [this](int series, int index) { m_mode->setText(DispersionPointText(m_table, series, index)); });
    SetQuantity(EDispersionQuantity::Phase);
    resize(900, 620);
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
    m_plot->update();
}

QString CDispersionWindow::ReadoutText() const { return m_readout->text() + "\n" + m_mode->text(); }

bool CDispersionWindow::ExportCsv(const QString& path, QString* error) const {
    return plot::SaveFileAtomically(path, QByteArray::fromStdString(DispersionCsvText(m_table)), error);
}

bool CDispersionWindow::ExportImage(const QString& path, QString* error) const {
    return m_plot->ExportImage(path, QSize(1000, 650), error);
}

void CDispersionWindow::Export(const char* extension) {
    FileDialogRequest request;
    request.save = true;
    request.title = std::string("Export the dispersion curves as ") + extension;
    request.defaultExt = extension;
    request.initialName = std::string("dispersion.") + extension;
    request.filter = std::string("*.") + extension;
    request.startDir = m_strExportDir;
    CQtFileChooser qtChooser(this);
    IFileChooser& chooser = m_pFiles ? *m_pFiles : qtChooser;
    const auto path = chooser.ChooseFile(request);
    if (!path || path->empty()) return;
    QString error;
    const QString file = QString::fromStdString(*path);
    const bool ok = std::string(extension) == "csv" ? ExportCsv(file, &error) : ExportImage(file, &error);
    if (!ok) {
        const std::string text = "The dispersion curves could not be exported: " + error.toStdString();
        ShowFormMessage(m_pMessages, this, text.c_str());
    }
}
