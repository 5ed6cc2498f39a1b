#include "ImageExportDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>

namespace plot {

namespace {

QSpinBox* SizeBox(int value, const char* name, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(ImageExportDialog::kMinimum, ImageExportDialog::kMaximum);
    box->setSuffix(QStringLiteral(" pixels"));
    box->setValue(value);
    return box;
}

}  // namespace

ImageExportDialog::ImageExportDialog(QSize initial, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Export image"));
    m_width = SizeBox(initial.width(), "width", this);
    m_height = SizeBox(initial.height(), "height", this);
    m_grid = new QCheckBox(QStringLiteral("Grid lines at the ticks"), this);
    m_grid->setObjectName(QStringLiteral("grid"));
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Width:"), m_width);
    form->addRow(QStringLiteral("Height:"), m_height);
    form->addRow(m_grid);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QSize ImageExportDialog::ChosenSize() const { return QSize(m_width->value(), m_height->value()); }

bool ImageExportDialog::GridLines() const { return m_grid->isChecked(); }

}  // namespace plot
