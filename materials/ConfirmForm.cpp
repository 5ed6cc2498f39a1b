#include "ConfirmForm.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

QSize DialogUnitsToPixels(const QWidget* widget, QSize dialogUnits) {
    // A horizontal unit is a quarter of the average character width, a vertical one an eighth
    // of the character height.
    const QFontMetrics metrics(widget->font());
    const int average = metrics.horizontalAdvance(
                            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52;
    return {dialogUnits.width() * average / 4, dialogUnits.height() * metrics.height() / 8};
}

CConfirmForm::CConfirmForm(QWidget* parent, const char* text, QSize dialogUnits) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Dialog"));
    setModal(true);
    m_pText = new QLabel(QString::fromLatin1(text), this);
    m_pText->setObjectName(QStringLiteral("text"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(m_pText, 0, Qt::AlignHCenter);
    layout->addStretch();
    layout->addLayout(buttons);
    resize(DialogUnitsToPixels(this, dialogUnits).expandedTo(minimumSizeHint()));
}

int CConfirmForm::DoModal() { return exec() == QDialog::Accepted ? 1 : 2; }
