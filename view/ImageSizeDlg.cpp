#include "ImageSizeDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>

namespace {

QSpinBox* SizeBox(int value, const char* name, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(CImageSizeDlg::kMinimum, CImageSizeDlg::kMaximum);
    box->setSuffix(QStringLiteral(" pixels"));
    box->setValue(value);
    return box;
}

}  // namespace

CImageSizeDlg::CImageSizeDlg(QSize initial, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Image size"));
    m_width = SizeBox(initial.width(), "width", this);
    m_height = SizeBox(initial.height(), "height", this);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Width:"), m_width);
    form->addRow(QStringLiteral("Height:"), m_height);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QSize CImageSizeDlg::ChosenSize() const { return QSize(m_width->value(), m_height->value()); }
