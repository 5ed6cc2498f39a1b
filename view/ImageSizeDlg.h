#pragma once
// Asks for the width and height of an exported image, in pixels, starting from the view's size.

#include <QDialog>
#include <QSize>

class QSpinBox;

class CImageSizeDlg : public QDialog {
    Q_OBJECT
public:
    CImageSizeDlg(QSize initial, QWidget* parent = nullptr);
    QSize ChosenSize() const;

    static constexpr int kMinimum = 16;
    static constexpr int kMaximum = 10000;

private:
    QSpinBox* m_width;
    QSpinBox* m_height;
};
