#include "LayerNumber.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "FieldReading.h"
#include "FormLayout.h"

int StepLayerNumber(bool fieldReads, int fieldValue, int lastPosition, int step) {
    constexpr int lo = CLayerNumber::kMinLayers;
    constexpr int hi = CLayerNumber::kMaxLayers;
    const int from = fieldReads ? fieldValue : lastPosition;
    if (from < lo || from > hi)
        return std::clamp(from, lo, hi);
    const int next = from + step;
    if (next > hi)
        return lo;
    if (next < lo)
        return hi;
    return next;
}

namespace {

QToolButton* Arrow(QWidget* parent, Qt::ArrowType direction) {
    auto* button = new QToolButton(parent);
    button->setArrowType(direction);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(16, 11);
    return button;
}

}  // namespace

CLayerNumber::CLayerNumber(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Layer number"));
    setProperty(kControlIdProperty, static_cast<int>(IDD));

    m_editLayers = FormLayout::Edit(this, IDC_LAYERS);
    m_editLayers->installEventFilter(this);
    // The spin button: two arrows attached to the field's right edge, one control.
    auto* spin = WithControlId(new QWidget(this), IDC_SPIN);
    auto* arrows = new QVBoxLayout(spin);
    arrows->setContentsMargins(0, 0, 0, 0);
    arrows->setSpacing(0);
    m_up = Arrow(spin, Qt::UpArrow);
    m_down = Arrow(spin, Qt::DownArrow);
    m_up->setObjectName(QStringLiteral("spinUp"));
    m_down->setObjectName(QStringLiteral("spinDown"));
    arrows->addWidget(m_up);
    arrows->addWidget(m_down);
    connect(m_up, &QToolButton::clicked, this, [this] { Step(+1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });

    auto* field = new QHBoxLayout;
    field->setSpacing(0);
    field->addWidget(m_editLayers, 1);
    field->addWidget(spin);
    auto* line = new QHBoxLayout;
    line->addWidget(FormLayout::Label(this, "Number of layers", m_editLayers));
    line->addLayout(field, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(line);
    layout->addStretch();
    layout->addLayout(FormLayout::OkCancel(this));
    resize(FormLayout::DialogUnits(this, 186, 69));
}

CLayerNumber::~CLayerNumber() = default;

void CLayerNumber::showEvent(QShowEvent* event) {
    if (!m_bInitialised) {
        m_bInitialised = true;
        m_editLayers->setText(QString::number(m_nLayers));
        m_nPosition = std::clamp(m_nLayers, kMinLayers, kMaxLayers);
    }
    QDialog::showEvent(event);
}

void CLayerNumber::Step(int step) {
    const auto value = ParseIntegerField(m_editLayers->text().toStdString());
    m_nPosition = StepLayerNumber(value.has_value(), value.value_or(0), m_nPosition, step);
    m_editLayers->setText(QString::number(m_nPosition));
}

bool CLayerNumber::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_editLayers && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? +1 : -1);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CLayerNumber::accept() {
    CFieldReader read(this, m_pMessages);
    int value = m_nLayers;
    read.Integer(m_editLayers, value);
    if (!read.Ok())
        return;
    if (value < kMinLayers || value > kMaxLayers) {
        const QByteArray message = QStringLiteral("Please enter an integer between %1 and %2.")
                                       .arg(kMinLayers)
                                       .arg(kMaxLayers)
                                       .toUtf8();
        read.Fail(m_editLayers, message.constData());
        return;
    }
    m_nLayers = value;
    done(kFormOk);
}

void CLayerNumber::reject() {
    done(kFormCancel);
}
