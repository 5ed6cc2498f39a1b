#pragma once
// Asks how an exported picture is made: its width and height in pixels (starting from the
// window's size) and whether light grid lines mark the ticks. Every plot window's "Export
// image..." asks it; the file's ending then says PNG or SVG.

#include <QDialog>
#include <QSize>

class QCheckBox;
class QSpinBox;

namespace plot {

class ImageExportDialog : public QDialog {
    Q_OBJECT
public:
    ImageExportDialog(QSize initial, QWidget* parent = nullptr);
    QSize ChosenSize() const;
    bool GridLines() const;

    static constexpr int kMinimum = 16;
    static constexpr int kMaximum = 10000;

private:
    QSpinBox* m_width;
    QSpinBox* m_height;
    QCheckBox* m_grid;
};

// The filter of the file chooser that follows: PNG pictures and SVG drawings.
inline constexpr const char* kImageFilter = "PNG images (*.png);;SVG drawings (*.svg)";

}  // namespace plot
