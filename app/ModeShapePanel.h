#pragma once
// The mode shape of a clicked point of the dispersion curves: the through-thickness profiles of
// the displacements, the stresses or the strain-energy density (height on the vertical axis,
// the top surface at the top, the boundaries of the layers as grey lines), with export as CSV
// and as a PNG or SVG image of a chosen size.

#include <QWidget>

#include "ModeShape.h"
#include "PlotPainter.h"
#include "UiServices.h"

class IModalRunner;
class QComboBox;
class QPushButton;
class QLabel;
namespace plot { class PlotWidget; }

enum class EShapeView { Displacement, Stress, Energy };

// The profiles of one view as plot content: one series per quantity (value, z) and one grey line
// without a name per boundary between layers. sigma_yy is left out where its peak is below 1 %
// of the largest stress (it then says nothing the others do not).
plot::PlotContent ModeShapeContent(const numerics::CModeShape& shape, EShapeView view, const std::string& title);
// "z (mm),layer,U,V,W,sigma_xx,sigma_yy,sigma_zz,sigma_yz,sigma_xz,sigma_xy,strain energy", one
// row per sample from the bottom.
std::string ModeShapeCsvText(const numerics::CModeShape& shape);

class CModeShapePanel : public QWidget {
    Q_OBJECT
public:
    explicit CModeShapePanel(QWidget* parent = nullptr);

    IFileChooser* m_pFiles = nullptr;
    IMessageSink* m_pMessages = nullptr;
    IModalRunner* m_pModals = nullptr;  // the image dialog's runner (null: exec)
    std::string m_strExportDir;

    // The plot's title is short ("A0 at f = 0.5 MHz"); the caption above it says all of the point.
    void SetShape(numerics::CModeShape shape, const QString& title, const QString& caption);
    void ShowMessage(const QString& text);  // instead of a shape (why there is none)
    void SetView(EShapeView view);
    bool HasShape() const { return !m_shape.samples.empty(); }
    const numerics::CModeShape& Shape() const { return m_shape; }
    plot::PlotWidget* Plot() const { return m_plot; }
    bool ExportCsv(const QString& path, QString* error) const;
    // By suffix: .png or .svg, at the size given, with grid lines at the ticks or not.
    bool ExportImage(const QString& path, QSize size, bool gridLines, QString* error) const;

private:
    void Export(const char* extension);
    void Refresh();

    numerics::CModeShape m_shape;
    QString m_title;
    EShapeView m_view = EShapeView::Displacement;
    QComboBox* m_choice = nullptr;
    QLabel* m_caption = nullptr;
    plot::PlotWidget* m_plot = nullptr;
    std::vector<QPushButton*> m_exports;  // offered once there is a shape
};
