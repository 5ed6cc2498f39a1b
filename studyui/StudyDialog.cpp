#include "StudyDialog.h"

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
                                     ParameterKind::VolumeFraction};

}  // namespace

CStudyDialog::CStudyDialog(const COstrelDoc& doc, QWidget* parent) : QDialog(parent), m_doc(doc) {
    setWindowTitle(tr("Study"));
    m_name = new QLineEdit(QStringLiteral("study1"), this);
    m_kind = new QComboBox(this);
    m_kind->addItems({tr("Composite"), tr("FGM")});
    m_kind->setCurrentIndex(doc.m_nRunType == 1 ? 1 : 0);

    m_receivers = new QRadioButton(tr("Receiving points (mm)"), this);
    m_parameterSweep = new QRadioButton(tr("One parameter"), this);
    m_receivers->setChecked(true);
    m_parameter = new QComboBox(this);
    m_parameter->addItems({tr("fibre angle of a layer (degrees)"), tr("thickness of a layer (mm)"),
                           tr("load frequency (rad/us)"), tr("volume fraction of an FGM layer")});
    m_layer = new QSpinBox(this);
    m_layer->setRange(1, 100000);
    m_from = NumberField(0, this);
    m_to = NumberField(10, this);
    m_step = NumberField(0.5, this);
    m_points = new QSpinBox(this);
    m_points->setRange(0, 1000000);
    m_points->setSpecialValueText(tr("solver's default"));
    m_points->setValue(201);

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

    auto* what = new QGroupBox(tr("Vary"), this);
    auto* whatForm = new QFormLayout(what);
    whatForm->addRow(m_receivers);
    whatForm->addRow(m_parameterSweep, m_parameter);
    whatForm->addRow(tr("Layer"), m_layer);
    whatForm->addRow(tr("From"), m_from);
    whatForm->addRow(tr("To"), m_to);
    whatForm->addRow(tr("Step"), m_step);
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
    m_elementOrder = new QLabel(this);
    head->addRow(tr("Element order"), m_elementOrder);
    ShowElementOrder();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(what);
    layout->addWidget(where);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CStudyDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CStudyDialog::reject);
    connect(m_receivers, &QRadioButton::toggled, this, &CStudyDialog::UpdateEnabling);
    connect(m_parameter, qOverload<int>(&QComboBox::currentIndexChanged), this, &CStudyDialog::UpdateEnabling);
    connect(m_scheduler, qOverload<int>(&QComboBox::currentIndexChanged), this, &CStudyDialog::UpdateEnabling);
    UpdateEnabling();
}

void CStudyDialog::ShowElementOrder() {
    const QString order = m_nElementOrder > 0 ? QString::number(m_nElementOrder) : tr("Automatic");
    m_elementOrder->setText(tr("%1 (Computing, Solver options...)").arg(order));
}

void CStudyDialog::UpdateEnabling() {
    const bool parameter = m_parameterSweep->isChecked();
    m_parameter->setEnabled(parameter);
    m_layer->setEnabled(parameter && kParameters[m_parameter->currentIndex()] != ParameterKind::Frequency);
    const bool slurm = m_scheduler->currentIndex() == 1;
    for (QWidget* w : {static_cast<QWidget*>(m_partition), static_cast<QWidget*>(m_timeLimit),
                       static_cast<QWidget*>(m_cpus)})
        w->setEnabled(slurm);
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
    c.points = m_points->value();
    c.order = m_nElementOrder;
    c.scheduler.kind = m_scheduler->currentIndex() == 1 ? SchedulerKind::Slurm : SchedulerKind::Local;
    if (c.scheduler.kind == SchedulerKind::Slurm) {
        c.scheduler.partition = m_partition->text().trimmed().toStdString();
        c.scheduler.timeLimit = m_timeLimit->text().trimmed().toStdString();
        c.scheduler.cpusPerTask = m_cpus->value();
    }
    c.scheduler.receiversPerTask = m_perTask->value();
    return c;
}

void CStudyDialog::accept() {
    std::string error;
    if (!BuildDocumentStudy(m_doc, Choice(), m_definition, &error)) {
        QMessageBox::warning(this, tr("Pemblar"), QString::fromStdString(error));
        return;
    }
    QDialog::accept();
}
