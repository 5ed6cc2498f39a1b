#include "SampledLoadDlg.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

#include "FieldReading.h"
#include "FormLayout.h"
#include "FormWidgets.h"
#include "PlotWidget.h"
#include "QtUiServices.h"
#include "WorkingDirectory.h"

namespace {

// A measurement file larger than this is refused before it fills memory.
constexpr std::uintmax_t kMaxImportBytes = 64u << 20;

QLineEdit* Field(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

void SetNumber(QLineEdit* edit, double value) { edit->setText(QString::fromStdString(FormatDoubleField(value))); }

}  // namespace

CSampledLoadDlg::CSampledLoadDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Sampled load"));
    m_project = new QComboBox(this);
    m_project->setObjectName(QStringLiteral("project"));
    m_shape = new QComboBox(this);
    m_shape->setObjectName(QStringLiteral("shape"));
    m_shape->addItems({QStringLiteral("Hann tone burst"), QStringLiteral("Gaussian pulse"),
                       QStringLiteral("Raised-cosine step"), QStringLiteral("Imported file")});
    m_frequency = Field(this, "frequency");
    m_cycles = Field(this, "cycles");
    m_delay = Field(this, "delay");
    m_width = Field(this, "width");
    m_rise = Field(this, "rise");
    m_interval = Field(this, "interval");
    m_import = new QPushButton(QStringLiteral("Import..."), this);
    m_import->setObjectName(QStringLiteral("import"));
    m_import->setAutoDefault(false);
    m_source = new QLabel(this);
    m_source->setObjectName(QStringLiteral("source"));
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("count"));
    m_preview = new plot::PlotWidget(this);
    m_preview->setObjectName(QStringLiteral("preview"));
    m_preview->setMinimumSize(360, 200);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Project"), m_project);
    form->addRow(QStringLiteral("Shape"), m_shape);
    form->addRow(QStringLiteral("Centre frequency (MHz)"), m_frequency);
    form->addRow(QStringLiteral("Cycles"), m_cycles);
    form->addRow(QStringLiteral("Delay (us)"), m_delay);
    form->addRow(QStringLiteral("Pulse width (us)"), m_width);
    form->addRow(QStringLiteral("Rise time (us)"), m_rise);
    form->addRow(QStringLiteral("Sample interval (us, 0 automatic)"), m_interval);
    auto* importRow = new QHBoxLayout;
    importRow->addWidget(m_import);
    importRow->addWidget(m_source, 1);
    form->addRow(QStringLiteral("Measurement"), importRow);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_preview, 1);
    layout->addWidget(m_count);
    layout->addLayout(FormLayout::OkCancel(this));

    for (QLineEdit* e : {m_frequency, m_cycles, m_delay, m_width, m_rise, m_interval})
        connect(e, &QLineEdit::textChanged, this, [this] { UpdatePreview(); });
    connect(m_shape, &QComboBox::currentIndexChanged, this, [this] {
        FollowShapeWithDelay();
        UpdateEnabled();
        UpdatePreview();
    });
    connect(m_width, &QLineEdit::textChanged, this, [this] { FollowShapeWithDelay(); });
    connect(m_delay, &QLineEdit::textEdited, this, [this] { m_bAutomaticDelay = false; });
    connect(m_project, &QComboBox::currentIndexChanged, this, [this](int i) { SwitchProject(i); });
    connect(m_import, &QPushButton::clicked, this, [this] { ChooseImport(); });
    resize(460, 560);
}

void CSampledLoadDlg::showEvent(QShowEvent* event) {
    if (!m_bInitialised) {
        m_bInitialised = true;
        const QSignalBlocker block(m_project);
        for (int p = 0; p < 2; ++p)
            if (m_offered[p]) m_project->addItem(p == 0 ? QStringLiteral("Composite") : QStringLiteral("FGM"), p);
        if (!m_offered[m_nProject]) m_nProject = m_offered[0] ? 0 : 1;
        m_project->setCurrentIndex(m_project->findData(m_nProject));
        m_nShown = m_nProject;
        ShowSettings(m_loads[m_nProject]);
    }
    QDialog::showEvent(event);
}

void CSampledLoadDlg::ShowSettings(const CSampledLoad& l) {
    // Stored settings are shown as they are: no field follows another here.
    const QSignalBlocker block(m_shape), blockWidth(m_width);
    m_bAutomaticDelay = false;
    m_shape->setCurrentIndex(static_cast<int>(l.m_shape));
    SetNumber(m_frequency, l.m_dFrequency);
    SetNumber(m_cycles, l.m_dCycles);
    SetNumber(m_delay, l.m_dDelay);
    SetNumber(m_width, l.m_dWidth);
    SetNumber(m_rise, l.m_dRise);
    SetNumber(m_interval, l.m_dInterval);
    m_source->setText(l.m_importedTimes.empty() ? QStringLiteral("(none)")
                                                : QString::fromStdString(l.m_strImportedFrom));
    UpdateEnabled();
    UpdatePreview();
}

void CSampledLoadDlg::FollowShapeWithDelay() {
    const auto shape = static_cast<ELoadShape>(m_shape->currentIndex());
    const auto delay = ParseNumberField(m_delay->text().toStdString());
    const auto width = ParseNumberField(m_width->text().toStdString());
    if (shape == ELoadShape::Gaussian) {
        // The pulse exp(-((t - delay) / width)^2) is centred on its delay: at 0 only its second
        // half would be there. Four widths leave it below 1e-7 at t = 0.
        if ((m_bAutomaticDelay || (delay && *delay == 0)) && width && *width > 0) {
            SetNumber(m_delay, 4 * *width);
            m_bAutomaticDelay = true;
        }
    } else if (m_bAutomaticDelay) {
        SetNumber(m_delay, 0);
        m_bAutomaticDelay = false;
    }
}

void CSampledLoadDlg::UpdateEnabled() {
    const auto shape = static_cast<ELoadShape>(m_shape->currentIndex());
    m_frequency->setEnabled(shape == ELoadShape::ToneBurst);
    m_cycles->setEnabled(shape == ELoadShape::ToneBurst);
    m_delay->setEnabled(shape != ELoadShape::Imported);
    m_width->setEnabled(shape == ELoadShape::Gaussian);
    m_rise->setEnabled(shape == ELoadShape::RaisedCosineStep);
    m_interval->setEnabled(shape != ELoadShape::Imported);
    m_import->setEnabled(shape == ELoadShape::Imported);
}

std::optional<CSampledLoad> CSampledLoadDlg::ReadFields(bool quiet) {
    CSampledLoad l = m_loads[m_nShown < 0 ? m_nProject : m_nShown];
    l.m_shape = static_cast<ELoadShape>(m_shape->currentIndex());
    // Only the fields the shape uses are read: a stray text elsewhere does not block OK.
    const std::pair<QLineEdit*, double*> fields[] = {{m_frequency, &l.m_dFrequency}, {m_cycles, &l.m_dCycles},
                                                     {m_delay, &l.m_dDelay},         {m_width, &l.m_dWidth},
                                                     {m_rise, &l.m_dRise},           {m_interval, &l.m_dInterval}};
    for (const auto& [edit, value] : fields) {
        if (!edit->isEnabled()) continue;
        const auto number = ParseNumberField(edit->text().toStdString());
        if (!number) {
            if (!quiet) {
                ShowFormMessage(m_pMessages, this, kEnterNumberMessage);
                edit->setFocus();
            }
            return std::nullopt;
        }
        *value = *number;
    }
    l.m_dEnd = m_windowEnd[m_nShown < 0 ? m_nProject : m_nShown];
    return l;
}

void CSampledLoadDlg::UpdatePreview() {
    const auto load = ReadFields(true);
    const CLoadSamples samples = load ? SampleLoad(*load) : CLoadSamples{};
    m_nPreviewCount = static_cast<int>(samples.times.size());
    plot::PlotContent content;
    content.x = {"t", "us"};
    content.y = {"f(t)", ""};
    plot::Series series;
    series.name = "f(t)";
    series.colour = plot::SeriesColour(0);
    for (size_t i = 0; i < samples.times.size(); ++i) series.points.push_back({samples.times[i], samples.values[i]});
    content.series.push_back(std::move(series));
    m_preview->SetContent(std::move(content));
    if (!load)
        m_count->setText(QStringLiteral("The fields do not read as numbers."));
    else if (m_nPreviewCount == 0)
        m_count->setText(QString::fromStdString(CheckSampledLoad(*load)));
    else
        m_count->setText(QStringLiteral("%1 samples from %2 to %3 us")
                             .arg(m_nPreviewCount)
                             .arg(samples.times.front(), 0, 'g', 6)
                             .arg(samples.times.back(), 0, 'g', 6));
}

void CSampledLoadDlg::SwitchProject(int index) {
    const int project = m_project->itemData(index).toInt();
    if (project == m_nShown) return;
    if (const auto current = ReadFields(true)) m_loads[m_nShown] = *current;
    m_nShown = m_nProject = project;
    ShowSettings(m_loads[project]);
}

bool CSampledLoadDlg::ImportFile(const std::string& path) {
    std::string text, reason, error;
    CLoadSamples samples;
    switch (ReadRegularFile(path, kMaxImportBytes, text, reason)) {
    case ReadFileOutcome::Read: error = ParseLoadTable(text, samples); break;
    case ReadFileOutcome::TooLarge: error = "the file is too large to be a load table"; break;
    default: error = reason.empty() ? "the file cannot be opened" : reason; break;
    }
    if (!error.empty()) {
        const std::string text = "Cannot import the load!\n" + path + (error.rfind("line ", 0) == 0 ? ", " : ": ") +
                                 error + ".";
        ShowFormMessage(m_pMessages, this, text.c_str());
        return false;
    }
    const int project = m_nShown < 0 ? m_nProject : m_nShown;
    if (const auto current = ReadFields(true)) m_loads[project] = *current;
    CSampledLoad& l = m_loads[project];
    l.m_shape = ELoadShape::Imported;
    l.m_importedTimes = std::move(samples.times);
    l.m_importedValues = std::move(samples.values);
    l.m_strImportedFrom = std::filesystem::path(path).filename().string();
    ShowSettings(l);
    return true;
}

void CSampledLoadDlg::ChooseImport() {
    FileDialogRequest request;
    request.title = "Import a load f(t)";
    request.filter = "*.csv *.txt *.dat";
    request.initialName = "";
    CQtFileChooser qtChooser(this);
    IFileChooser& chooser = m_pFiles ? *m_pFiles : qtChooser;
    if (const auto path = chooser.ChooseFile(request); path && !path->empty()) ImportFile(*path);
}

void CSampledLoadDlg::accept() {
    const auto load = ReadFields(false);
    if (!load) return;
    const std::string problem = CheckSampledLoad(*load);
    if (!problem.empty()) {
        ShowFormMessage(m_pMessages, this, problem.c_str());
        return;
    }
    m_nProject = m_nShown;
    m_loads[m_nProject] = *load;
    QDialog::accept();
}
