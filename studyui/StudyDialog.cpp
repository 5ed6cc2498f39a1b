#include "StudyDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "LoadBand.h"
#include "OstrelDoc.h"

namespace {

QDoubleSpinBox* NumberField(double value, QWidget* parent) {
    auto* s = new QDoubleSpinBox(parent);
    s->setDecimals(4);
    s->setRange(-1e6, 1e6);
    s->setValue(value);
    return s;
}

const ParameterKind kParameters[] = {ParameterKind::Angle, ParameterKind::Thickness, ParameterKind::Frequency,
                                     ParameterKind::VolumeFraction, ParameterKind::Direction};

int ParameterIndex(ParameterKind kind) {
    for (int i = 0; i < 5; ++i)
        if (kParameters[i] == kind)
            return i;
    return 0;
}

}  // namespace

CStudyDialog::CStudyDialog(const COstrelDoc& doc, QWidget* parent) : QDialog(parent), m_doc(doc) {
    setWindowTitle(tr("Study"));
    m_name = new QLineEdit(QStringLiteral("study1"), this);
    m_kind = new QComboBox(this);
    m_kind->addItems({tr("Composite"), tr("FGM")});
    m_kind->setCurrentIndex(doc.m_nRunType == 1 || (doc.m_nComLayerCount == 0 && doc.m_nFGMLayerCount > 0) ? 1 : 0);

    m_receivers = new QRadioButton(tr("Receiving points"), this);
    m_parameterSweep = new QRadioButton(tr("One parameter"), this);
    m_receivers->setChecked(true);
    m_parameter = new QComboBox(this);
    m_parameter->addItems({tr("fibre angle of a layer (deg)"), tr("thickness of a layer (mm)"),
                           tr("load frequency (MHz)"), tr("volume fraction of an FGM layer"),
                           tr("load direction (1 X, 2 Y, 3 Z)")});
    m_layer = new QSpinBox(this);
    m_layer->setRange(1, 100000);
    m_from = NumberField(0, this);
    m_to = NumberField(10, this);
    m_byStep = new QRadioButton(tr("Step"), this);
    m_step = NumberField(0.5, this);
    m_byCount = new QRadioButton(tr("Count"), this);
    m_count = new QSpinBox(this);
    m_count->setRange(1, kMaxSweepValues);
    m_count->setValue(21);
    // Two choices side by side: each pair of buttons excludes only its partner.
    for (auto [a, b] : {std::pair{m_receivers, m_parameterSweep}, std::pair{m_byStep, m_byCount}}) {
        auto* group = new QButtonGroup(this);
        group->addButton(a);
        group->addButton(b);
    }
    m_byStep->setChecked(true);
    m_unit = new QLabel(this);
    m_points = new QSpinBox(this);
    m_points->setRange(0, 1000000);
    m_points->setSpecialValueText(tr("the project's own (%1)").arg(SolverDefaultPoints()));
    m_points->setValue(0);
    m_sampling = new QLabel(this);
    m_sampling->setWordWrap(true);
    m_sampling->setStyleSheet(QStringLiteral("color: #a00000"));

    m_scheduler = new QComboBox(this);
    m_scheduler->addItems({tr("This computer"), tr("Slurm cluster")});
    m_partition = new QLineEdit(this);
    m_partition->setPlaceholderText(tr("the cluster's default"));
    m_timeLimit = new QLineEdit(QStringLiteral("00:30:00"), this);
    m_cpus = new QSpinBox(this);
    m_cpus->setRange(1, 4096);
    m_perTask = new QSpinBox(this);
    m_perTask->setRange(0, 10000);
    m_perTask->setSpecialValueText(tr("all of a case"));

    m_source = new QComboBox(this);
    m_source->addItems({tr("Line load (the project's)"), tr("Point source at the origin")});
    m_yFrom = NumberField(0, this);
    m_yTo = NumberField(0, this);
    m_yCount = new QSpinBox(this);
    m_yCount->setRange(1, kMaxStudyReceivers);
    m_yCount->setValue(1);
    m_waveField = new QCheckBox(tr("Wave field of every case (the settings of Wave field...)"), this);

    auto* what = new QGroupBox(tr("Vary"), this);
    auto* whatForm = new QFormLayout(what);
    whatForm->addRow(m_receivers);
    whatForm->addRow(m_parameterSweep, m_parameter);
    whatForm->addRow(tr("Layer"), m_layer);
    whatForm->addRow(tr("Unit"), m_unit);
    whatForm->addRow(tr("From"), m_from);
    whatForm->addRow(tr("To"), m_to);
    whatForm->addRow(m_byStep, m_step);
    whatForm->addRow(m_byCount, m_count);
    auto* load = new QGroupBox(tr("Load"), this);
    auto* loadForm = new QFormLayout(load);
    loadForm->addRow(tr("Source"), m_source);
    loadForm->addRow(tr("Receivers at y from (mm)"), m_yFrom);
    loadForm->addRow(tr("y to (mm)"), m_yTo);
    loadForm->addRow(tr("Rows of y"), m_yCount);
    loadForm->addRow(m_waveField);
    auto* where = new QGroupBox(tr("Run on"), this);
    auto* whereForm = new QFormLayout(where);
    whereForm->addRow(tr("Scheduler"), m_scheduler);
    whereForm->addRow(tr("Partition"), m_partition);
    whereForm->addRow(tr("Time limit"), m_timeLimit);
    whereForm->addRow(tr("CPUs per task"), m_cpus);
    whereForm->addRow(tr("Receivers per task"), m_perTask);
    auto* head = new QFormLayout;
    head->addRow(tr("Study name"), m_name);
    head->addRow(tr("Project"), m_kind);
    head->addRow(tr("Output points"), m_points);
    head->addRow(m_sampling);
    m_elementOrder = new QLabel(this);
    head->addRow(tr("Element order"), m_elementOrder);
    ShowElementOrder();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(what);
    layout->addWidget(load);
    layout->addWidget(where);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CStudyDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CStudyDialog::reject);
    for (QRadioButton* r : {m_receivers, m_byStep})
        connect(r, &QRadioButton::toggled, this, &CStudyDialog::UpdateEnabling);
    for (QComboBox* c : {m_parameter, m_scheduler, m_kind, m_source})
        connect(c, qOverload<int>(&QComboBox::currentIndexChanged), this, &CStudyDialog::UpdateEnabling);
    for (QDoubleSpinBox* s : {m_from, m_to})
        connect(s, &QDoubleSpinBox::valueChanged, this, &CStudyDialog::UpdateSampling);
    connect(m_points, &QSpinBox::valueChanged, this, &CStudyDialog::UpdateSampling);
    UpdateEnabling();
}

void CStudyDialog::ShowElementOrder() {
    const QString order = m_nElementOrder > 0 ? QString::number(m_nElementOrder) : tr("Automatic");
    m_elementOrder->setText(tr("%1 (Computing, Solver options...)").arg(order));
}

void CStudyDialog::UpdateEnabling() {
    const bool parameter = m_parameterSweep->isChecked();
    const ParameterKind kind = kParameters[m_parameter->currentIndex()];
    m_parameter->setEnabled(parameter);
    m_layer->setEnabled(parameter && HasLayer(kind));
    const QString unit = QString::fromStdString(parameter ? ChoiceUnit(kind) : std::string("mm"));
    m_unit->setText(unit.isEmpty() ? tr("(none)") : unit);
    m_step->setEnabled(m_byStep->isChecked());
    m_count->setEnabled(!m_byStep->isChecked());
    const bool point = m_source->currentIndex() == 1;
    for (QWidget* w : {static_cast<QWidget*>(m_yFrom), static_cast<QWidget*>(m_yTo), static_cast<QWidget*>(m_yCount)})
        w->setEnabled(point && !parameter);
    const QString fieldProblem = QString::fromStdString(
        WaveFieldChoiceProblem(m_doc, m_kind->currentIndex() == 1 ? StudyKind::FGM : StudyKind::Composite));
    m_waveField->setEnabled(point && fieldProblem.isEmpty());
    m_waveField->setToolTip(fieldProblem);
    if (!m_waveField->isEnabled())
        m_waveField->setChecked(false);
    const bool slurm = m_scheduler->currentIndex() == 1;
    for (QWidget* w : {static_cast<QWidget*>(m_partition), static_cast<QWidget*>(m_timeLimit),
                       static_cast<QWidget*>(m_cpus)})
        w->setEnabled(slurm);
    UpdateSampling();
}

void CStudyDialog::UpdateSampling() {
    const QString warning = QString::fromStdString(ChoiceSamplingWarning(m_doc, Choice()));
    m_sampling->setText(warning);
    m_sampling->setVisible(!warning.isEmpty());
}

DocumentStudyChoice CStudyDialog::Choice() const {
    DocumentStudyChoice c;
    c.kind = m_kind->currentIndex() == 1 ? StudyKind::FGM : StudyKind::Composite;
    c.name = m_name->text().trimmed().toStdString();
    c.receiverSweep = m_receivers->isChecked();
    c.parameter = kParameters[m_parameter->currentIndex()];
    c.layer = m_layer->value();
    c.from = m_from->value();
    c.to = m_to->value();
    c.step = m_step->value();
    c.byCount = m_byCount->isChecked();
    c.count = m_count->value();
    c.points = m_points->value();
    c.order = m_nElementOrder;
    c.pointSource = m_source->currentIndex() == 1;
    c.yFrom = m_yFrom->value();
    c.yTo = m_yTo->value();
    c.yCount = m_yCount->value();
    c.waveField = c.pointSource && m_waveField->isChecked();
    c.scheduler.kind = m_scheduler->currentIndex() == 1 ? SchedulerKind::Slurm : SchedulerKind::Local;
    if (c.scheduler.kind == SchedulerKind::Slurm) {
        c.scheduler.partition = m_partition->text().trimmed().toStdString();
        c.scheduler.timeLimit = m_timeLimit->text().trimmed().toStdString();
        c.scheduler.cpusPerTask = m_cpus->value();
    }
    c.scheduler.receiversPerTask = m_perTask->value();
    return c;
}

void CStudyDialog::SetChoice(const DocumentStudyChoice& c) {
    m_kind->setCurrentIndex(c.kind == StudyKind::FGM ? 1 : 0);
    m_name->setText(QString::fromStdString(c.name));
    (c.receiverSweep ? m_receivers : m_parameterSweep)->setChecked(true);
    m_parameter->setCurrentIndex(ParameterIndex(c.parameter));
    m_layer->setValue(c.layer);
    m_from->setValue(c.from);
    m_to->setValue(c.to);
    m_step->setValue(c.step);
    m_count->setValue(c.count);
    (c.byCount ? m_byCount : m_byStep)->setChecked(true);
    m_points->setValue(c.points);
    m_source->setCurrentIndex(c.pointSource ? 1 : 0);
    m_yFrom->setValue(c.yFrom);
    m_yTo->setValue(c.yTo);
    m_yCount->setValue(c.yCount);
    m_waveField->setChecked(c.waveField);
    m_scheduler->setCurrentIndex(c.scheduler.kind == SchedulerKind::Slurm ? 1 : 0);
    if (c.scheduler.kind == SchedulerKind::Slurm) {
        m_partition->setText(QString::fromStdString(c.scheduler.partition));
        m_timeLimit->setText(QString::fromStdString(c.scheduler.timeLimit));
        m_cpus->setValue(c.scheduler.cpusPerTask);
    }
    m_perTask->setValue(c.scheduler.receiversPerTask);
    UpdateEnabling();
}

void CStudyDialog::accept() {
    std::string error;
    if (!BuildDocumentStudy(m_doc, Choice(), m_definition, &error, m_base ? &*m_base : nullptr)) {
        QMessageBox::warning(this, tr("Pemblar"), QString::fromStdString(error));
        return;
    }
    QDialog::accept();
}
