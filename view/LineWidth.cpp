#include "LineWidth.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <charconv>

#include "FieldReading.h"
#include "QtUiServices.h"

std::optional<float> ReadLineWidth(std::string_view text) {
    const std::optional<double> value = ParseNumberField(text);
    if (!value)
        return std::nullopt;
    return static_cast<float>(*value);
}

std::string FormatLineWidth(float width) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, double(width),
                                      std::chars_format::general, 6);
    return std::string(buffer, result.ptr);
}

CLineWidth::CLineWidth(QWidget* parent, IMessageSink* messages)
    : QDialog(parent), m_messages(messages) {
    setWindowTitle(QStringLiteral("Dialog"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);

    m_label = new QLabel(QStringLiteral("Line width :"), this);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("1056"));
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("1"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("2"));

    // The label is as wide as its text needs (the font may be wider than the layout's units
    // assume); the field and the form move over by what it takes beyond its place.
    QRect label = DialogUnits(19, 20, 37, 8);
    QRect edit = DialogUnits(69, 19, 62, 12);
    const int gap = DialogUnits(0, 0, 4, 0).width();
    label.setWidth(std::max(label.width(), m_label->sizeHint().width()));
    label.setHeight(std::max(label.height(), m_label->sizeHint().height()));
    const int shift = std::max(0, label.right() + gap - edit.left());
    edit.translate(shift, 0);
    m_label->setGeometry(label);
    m_edit->setGeometry(edit);
    m_ok->setGeometry(DialogUnits(37, 50, 41, 14));
    m_cancel->setGeometry(DialogUnits(100, 50, 41, 14));
    setFixedSize(DialogUnits(0, 0, 178, 79).size() + QSize(shift, 0));

    connect(m_ok, &QPushButton::clicked, this, &CLineWidth::accept);
    connect(m_cancel, &QPushButton::clicked, this, &CLineWidth::reject);
}

// Form layouts are given in dialog units: a quarter of the font's average character width
// across, an eighth of its height down.
QRect CLineWidth::DialogUnits(int x, int y, int w, int h) const {
    const QFontMetrics metrics(font());
    const QString alphabet =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int baseX = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    const int baseY = metrics.height();
    auto across = [&](int units) { return units * baseX / 4; };
    auto down = [&](int units) { return units * baseY / 8; };
    return QRect(across(x), down(y), across(w), down(h));
}

void CLineWidth::showEvent(QShowEvent* event) {
    m_edit->setText(QString::fromStdString(FormatLineWidth(m_fWidth)));
    m_edit->setFocus();
    m_edit->selectAll();
    QDialog::showEvent(event);
}

int CLineWidth::DoModal() {
    return exec() == QDialog::Accepted ? 1 : 2;
}

void CLineWidth::accept() {
    const std::optional<float> width = ReadLineWidth(m_edit->text().toStdString());
    if (!width) {
        ShowFormMessage(m_messages, this, kEnterNumberMessage);
        m_edit->setFocus();
        m_edit->selectAll();
        return;
    }
    m_fWidth = *width;
    QDialog::accept();
}
