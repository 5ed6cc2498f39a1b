#include "AboutDlg.h"

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "ToolbarIcons.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About Pemblar");
    setObjectName("AboutDlg");
    auto* icon = new QLabel(this);
    icon->setPixmap(ApplicationIcon().pixmap(32, 32));
    auto* version = new QLabel("Pemblar Version 1.0", this);
    version->setObjectName("VersionLine");
    auto* second = new QLabel("Time response of layered plates and shells under a line load", this);
    second->setObjectName("SecondLine");
    auto* ok = new QPushButton("OK", this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(version, 0, 1);
    layout->addWidget(second, 1, 1);
    layout->addWidget(ok, 0, 2, Qt::AlignTop);
    layout->setColumnStretch(1, 1);
    const QSize size = DialogUnitsToPixels(font(), 235, 55);
    setMinimumSize(size.expandedTo(layout->sizeHint()));
    resize(minimumSize());
}

QSize CAboutDlg::DialogUnitsToPixels(const QFont& font, int x, int y) {
    const QFontMetrics metrics(font);
    // The average over the alphabet, as dialog units are defined.
    const int average =
        (metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 26 + 1) / 2;
    return QSize((x * average + 2) / 4, (y * metrics.height() + 4) / 8);
}
