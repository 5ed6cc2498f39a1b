#include "SolverOptionsDlg.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

#include "FormLayout.h"
#include "SolverOptions.h"
#include "SolverRun.h"

CSolverOptionsDlg::CSolverOptionsDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Solver options"));
    auto* group = new QGroupBox(QStringLiteral("Element order through the thickness"), this);
    m_automatic = new QRadioButton(QStringLiteral("Automatic (recommended)"), group);
    m_automatic->setObjectName(QStringLiteral("automatic"));
    m_fixed = new QRadioButton(QStringLiteral("Fixed order"), group);
    m_fixed->setObjectName(QStringLiteral("fixed"));
    m_order = new QSpinBox(group);
    m_order->setObjectName(QStringLiteral("order"));
    m_order->setRange(1, kMaxElementOrder);
    auto* buttons = new QButtonGroup(this);
    buttons->addButton(m_automatic);
    buttons->addButton(m_fixed);
    connect(m_fixed, &QRadioButton::toggled, m_order, &QSpinBox::setEnabled);

    auto* note = new QLabel(QStringLiteral("Automatic chooses the order of each layer so that the run's frequency "
                                           "range is resolved accurately. A fixed order is for comparing with "
                                           "older results (order 2 gives the former quadratic elements) or for "
                                           "convergence studies; higher orders take longer. \"Sublayers\" remains "
                                           "the number of elements per layer."),
                            group);
    note->setWordWrap(true);

    auto* fixedRow = new QHBoxLayout;
    fixedRow->addWidget(m_fixed);
    fixedRow->addWidget(m_order);
    fixedRow->addStretch();
    auto* inner = new QVBoxLayout(group);
    inner->addWidget(m_automatic);
    inner->addLayout(fixedRow);
    inner->addWidget(note);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch();
    layout->addLayout(FormLayout::OkCancel(this));
    setMinimumWidth(FormLayout::DialogUnits(this, 220, 0).width());
}

void CSolverOptionsDlg::showEvent(QShowEvent* event) {
    if (!m_bInitialised) {
        m_bInitialised = true;
        const bool fixed = IsFixedElementOrder(m_nElementOrder);
        m_order->setValue(fixed ? m_nElementOrder : kOfferedFixedOrder);
        (fixed ? m_fixed : m_automatic)->setChecked(true);
        m_order->setEnabled(fixed);
    }
    QDialog::showEvent(event);
}

void CSolverOptionsDlg::accept() {
    // A number typed but not yet committed by the spin box counts as well.
    m_order->interpretText();
    m_nElementOrder = m_fixed->isChecked() ? m_order->value() : kAutomaticOrder;
    QDialog::accept();
}

bool EditSolverOptions(int& order, QWidget* parent, const std::function<int(QDialog&)>& run) {
    CSolverOptionsDlg dialog(parent);
    dialog.m_nElementOrder = order;
    const int result = run ? run(dialog) : dialog.exec();
    if (result != QDialog::Accepted)
        return false;
    order = dialog.m_nElementOrder;
    return true;
}
