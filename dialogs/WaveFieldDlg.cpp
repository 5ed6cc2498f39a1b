#include "WaveFieldDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "FieldReading.h"
#include "FormLayout.h"
#include "QtUiServices.h"
#include "WaveFieldRun.h"

namespace {

QLineEdit* Field(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QComboBox* Choice(QWidget* parent, const char* name, const QStringList& items) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->addItems(items);
    return box;
}

QString Text(double v) { return QString::fromStdString(FormatDoubleField(v)); }

}  // namespace

CWaveFieldDlg::CWaveFieldDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Wave field"));
    m_project = new QComboBox(this);
    m_project->setObjectName(QStringLiteral("project"));
    m_source = Choice(this, "source", {QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("Z")});
    m_component = Choice(this, "component", {QStringLiteral("U"), QStringLiteral("V"), QStringLiteral("W")});
    m_xFrom = Field(this, "xFrom"), m_xTo = Field(this, "xTo"), m_xPoints = Field(this, "xPoints");
    m_yFrom = Field(this, "yFrom"), m_yTo = Field(this, "yTo"), m_yPoints = Field(this, "yPoints");
    m_tFrom = Field(this, "tFrom"), m_tTo = Field(this, "tTo"), m_frames = Field(this, "frames");

    auto* grid = new QGridLayout;
    int row = 0;
    const auto line = [&](const char* label, QWidget* widget) {
        grid->addWidget(new QLabel(QString::fromLatin1(label), this), row, 0);
        grid->addWidget(widget, row++, 1, 1, 3);
    };
    line("Stack", m_project);
    line("Source direction (at the origin, top surface)", m_source);
    line("Displacement shown", m_component);
    grid->addWidget(new QLabel(QStringLiteral("From"), this), row, 1);
    grid->addWidget(new QLabel(QStringLiteral("To"), this), row, 2);
    grid->addWidget(new QLabel(QStringLiteral("Points"), this), row++, 3);
    const auto range = [&](const char* label, QLineEdit* from, QLineEdit* to, QLineEdit* count) {
        grid->addWidget(new QLabel(QString::fromLatin1(label), this), row, 0);
        grid->addWidget(from, row, 1);
        grid->addWidget(to, row, 2);
        grid->addWidget(count, row++, 3);
    };
    range("x (mm)", m_xFrom, m_xTo, m_xPoints);
    range("y (mm)", m_yFrom, m_yTo, m_yPoints);
    range("Frames: time (us)", m_tFrom, m_tTo, m_frames);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch();
    layout->addLayout(FormLayout::OkCancel(this));
    connect(m_project, &QComboBox::currentIndexChanged, this, [this](int) {
        if (m_bInitialised) ShowSettings(m_settings[size_t(m_project->currentData().toInt())]);
    });
}

void CWaveFieldDlg::ShowSettings(const CWaveFieldSettings& s) {
    m_source->setCurrentIndex(std::clamp(s.m_nDirection, 1, 3) - 1);
    m_component->setCurrentIndex(std::clamp(s.m_nComponent, 1, 3) - 1);
    m_xFrom->setText(Text(s.m_dXFrom));
    m_xTo->setText(Text(s.m_dXTo));
    m_xPoints->setText(QString::number(s.m_nXPoints));
    m_yFrom->setText(Text(s.m_dYFrom));
    m_yTo->setText(Text(s.m_dYTo));
    m_yPoints->setText(QString::number(s.m_nYPoints));
    m_tFrom->setText(Text(s.m_dTimeFrom));
    m_tTo->setText(Text(s.m_dTimeTo));
    m_frames->setText(QString::number(s.m_nFrames));
}

void CWaveFieldDlg::showEvent(QShowEvent* event) {
    if (!m_bInitialised) {
        for (int p = 0; p < 2; ++p)
            if (m_offered[size_t(p)]) m_project->addItem(p == 0 ? QStringLiteral("Composite") : QStringLiteral("FGM"), p);
        const int index = m_project->findData(m_nProject);
        m_project->setCurrentIndex(index < 0 ? 0 : index);
        ShowSettings(m_settings[size_t(m_project->currentData().toInt())]);
        m_bInitialised = true;
    }
    QDialog::showEvent(event);
}

void CWaveFieldDlg::accept() {
    const int project = m_project->currentData().toInt();
    CWaveFieldSettings s = m_settings[size_t(project)];
    const auto fail = [this](QLineEdit* edit, const char* text) {
        ShowFormMessage(m_pMessages, this, text);
        edit->setFocus();
    };
    for (auto [edit, value] : {std::pair{m_xFrom, &s.m_dXFrom}, {m_xTo, &s.m_dXTo}, {m_yFrom, &s.m_dYFrom},
                               {m_yTo, &s.m_dYTo}, {m_tFrom, &s.m_dTimeFrom}, {m_tTo, &s.m_dTimeTo}}) {
        const auto number = ParseNumberField(edit->text().toStdString());
        if (!number) return fail(edit, kEnterNumberMessage);
        *value = *number;
    }
    for (auto [edit, value] : {std::pair{m_xPoints, &s.m_nXPoints}, {m_yPoints, &s.m_nYPoints}, {m_frames, &s.m_nFrames}}) {
        const auto count = ParseIntegerField(edit->text().toStdString());
        if (!count) return fail(edit, kEnterIntegerMessage);
        *value = *count;
    }
    s.m_nDirection = m_source->currentIndex() + 1;
    s.m_nComponent = m_component->currentIndex() + 1;
    if (const std::string problem = CheckWaveFieldSettings(s); !problem.empty()) return fail(m_xFrom, problem.c_str());
    s.m_bDefined = true;
    m_settings[size_t(project)] = s;
    m_nProject = project;
    QDialog::accept();
}
