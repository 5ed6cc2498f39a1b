#include "DispersionDlg.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "FieldReading.h"
#include "FormLayout.h"
#include "QtUiServices.h"

namespace {

QLineEdit* Field(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

}  // namespace

CDispersionDlg::CDispersionDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Dispersion curves"));
    m_project = new QComboBox(this);
    m_project->setObjectName(QStringLiteral("project"));
    m_range = new QComboBox(this);
    m_range->setObjectName(QStringLiteral("range"));
    m_range->addItems({QStringLiteral("Frequency-thickness (MHz mm)"), QStringLiteral("Frequency (MHz)")});
    m_from = Field(this, "from");
    m_to = Field(this, "to");
    m_points = Field(this, "points");
    m_modes = Field(this, "modes");
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Stack"), m_project);
    form->addRow(QStringLiteral("Range"), m_range);
    form->addRow(QStringLiteral("From"), m_from);
    form->addRow(QStringLiteral("To"), m_to);
    form->addRow(QStringLiteral("Points"), m_points);
    form->addRow(QStringLiteral("Modes"), m_modes);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch();
    layout->addLayout(FormLayout::OkCancel(this));
}

void CDispersionDlg::showEvent(QShowEvent* event) {
    if (!m_bInitialised) {
        m_bInitialised = true;
        for (int p = 0; p < 2; ++p)
            if (m_offered[p]) m_project->addItem(p == 0 ? QStringLiteral("Composite") : QStringLiteral("FGM"), p);
        const int index = m_project->findData(m_settings.nProject);
        m_project->setCurrentIndex(index < 0 ? 0 : index);
        m_range->setCurrentIndex(m_settings.bPerThickness ? 0 : 1);
        m_from->setText(QString::fromStdString(FormatDoubleField(m_settings.dFrom)));
        m_to->setText(QString::fromStdString(FormatDoubleField(m_settings.dTo)));
        m_points->setText(QString::number(m_settings.nPoints));
        m_modes->setText(QString::number(m_settings.nModes));
    }
    QDialog::showEvent(event);
}

void CDispersionDlg::accept() {
    CDispersionSettings s = m_settings;
    s.nProject = m_project->currentData().toInt();
    s.bPerThickness = m_range->currentIndex() == 0;
    const auto fail = [this](QLineEdit* edit, const char* text) {
        ShowFormMessage(m_pMessages, this, text);
        edit->setFocus();
    };
    const auto from = ParseNumberField(m_from->text().toStdString());
    if (!from) return fail(m_from, kEnterNumberMessage);
    const auto to = ParseNumberField(m_to->text().toStdString());
    if (!to) return fail(m_to, kEnterNumberMessage);
    const auto points = ParseIntegerField(m_points->text().toStdString());
    if (!points) return fail(m_points, kEnterIntegerMessage);
    const auto modes = ParseIntegerField(m_modes->text().toStdString());
    if (!modes) return fail(m_modes, kEnterIntegerMessage);
    s.dFrom = *from;
    s.dTo = *to;
    s.nPoints = *points;
    s.nModes = *modes;
    const std::string problem = CheckDispersionSettings(s);
    if (!problem.empty()) return fail(m_from, problem.c_str());
    m_settings = s;
    QDialog::accept();
}
