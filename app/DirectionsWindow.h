#pragma once
// The directions of a plate at one frequency in a window of their own: each mode's phase
// velocity, slowness or energy velocity as a polar plot against the direction (the energy
// velocity drawn along the ray, at the direction plus the skew angle: the wave front of a point
// source after one microsecond), or the skew angle against the direction; export as CSV, PNG
// and SVG.

#include <QWidget>

#include "Directions.h"
#include "PlotPainter.h"
#include "UiServices.h"

class IModalRunner;
class QComboBox;
class QLabel;
namespace plot { class PlotWidget; }

enum class EDirectionQuantity { Phase, Energy, Slowness, Skew };

// The plot of one quantity: polar ones as closed curves (x = r cos, y = r sin) on equal scales
// with grey circles at round radii and spokes every 30 degrees (series without a name); the
// skew angle (deg) against the direction (deg).
plot::PlotContent DirectionsPlotContent(const numerics::CDirectionalCurves& curves, EDirectionQuantity quantity);
// "mode,direction (deg),wavenumber (1/mm),phase velocity (mm/us),slowness (us/mm),energy velocity
// along (mm/us),energy velocity across (mm/us),energy speed (mm/us),skew angle (deg),ray direction
// (deg)", one row per point, modes one after the other.
std::string DirectionsCsvText(const numerics::CDirectionalCurves& curves);
// "S0: direction 30 deg, k = 1.2 1/mm, c_p = 5.1 mm/us, slowness 0.2 us/mm, c_e = 5 mm/us along
// 32 deg, skew 2 deg" for a point of a line; "" for none.
QString DirectionsPointText(const numerics::CDirectionalCurves& curves, int line, int index);

class CDirectionsWindow : public QWidget {
    Q_OBJECT
public:
    CDirectionsWindow(numerics::CDirectionalCurves curves, const QString& title, QWidget* parent = nullptr);

    std::string m_strExportDir;
    IFileChooser* m_pFiles = nullptr;
    IMessageSink* m_pMessages = nullptr;
    IModalRunner* m_pModals = nullptr;  // the image dialog's runner (null: exec)

    void SetQuantity(EDirectionQuantity quantity);
    const numerics::CDirectionalCurves& Curves() const { return m_curves; }
    plot::PlotWidget* Plot() const { return m_plot; }
    bool ExportCsv(const QString& path, QString* error) const;
    // By suffix: .png or .svg, at the size given, with grid lines at the ticks or not.
    bool ExportImage(const QString& path, QSize size, bool gridLines, QString* error) const;
    // The pointer's read-out and the mode point under it.
    QString ReadoutText() const;

private:
    void Export(const char* extension);
    void ShowPoint(int series, int index);

    numerics::CDirectionalCurves m_curves;
    QComboBox* m_choice = nullptr;
    plot::PlotWidget* m_plot = nullptr;
    QLabel* m_readout = nullptr;
    QLabel* m_point = nullptr;
};
