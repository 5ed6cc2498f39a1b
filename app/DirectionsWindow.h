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

class QComboBox;
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

class CDirectionsWindow : public QWidget {
    Q_OBJECT
public:
    CDirectionsWindow(numerics::CDirectionalCurves curves, const QString& title, QWidget* parent = nullptr);

    std::string m_strExportDir;
    IFileChooser* m_pFiles = nullptr;
    IMessageSink* m_pMessages = nullptr;

    void SetQuantity(EDirectionQuantity quantity);
    const numerics::CDirectionalCurves& Curves() const { return m_curves; }
    plot::PlotWidget* Plot() const { return m_plot; }
    bool ExportCsv(const QString& path, QString* error) const;

private:
    void Export(const char* extension);

    numerics::CDirectionalCurves m_curves;
    QComboBox* m_choice = nullptr;
    plot::PlotWidget* m_plot = nullptr;
};
