#pragma once
// The dispersion curves of a stack in a window of their own: phase velocity, group velocity,
// wavenumber, energy velocity or skew angle against frequency (or frequency times thickness), one line per mode, with the
// shared plot's zoom and read-out, the mode under the pointer in full, and export as CSV (every
// quantity of every point) or as a PNG or SVG image of a chosen size.

#include <QWidget>
#include <functional>
#include <memory>

#include "DispersionModes.h"
#include "DispersionRun.h"
#include "PlotPainter.h"
#include "UiServices.h"

class IModalRunner;
class QCheckBox;
class QComboBox;
class QLabel;
class CModeShapePanel;
class CDirectionsBar;
namespace plot { class PlotWidget; }

enum class EDispersionQuantity { Phase, Group, Wavenumber, Energy, Skew };

// What the plot shows for one quantity: a series per mode, named by the mode.
plot::PlotContent DispersionPlotContent(const CDispersionTable& table, EDispersionQuantity quantity,
                                        bool perThickness);
// The full range to show: the data's, except that phase velocities near a cut-off (which grow
// without bound) are cut at three times the fastest group velocity.
plot::Range DispersionFullRange(const plot::PlotContent& content, const CDispersionTable& table,
                                EDispersionQuantity quantity);
// "mode,frequency (MHz),frequency-thickness (MHz mm),wavenumber (1/mm),phase velocity (mm/us),
// group velocity (mm/us),energy velocity (mm/us),skew angle (deg),top U,top V,top W", then
// "excitability X load U (mm per GPa mm)" and so on for the nine pairs of load (X, Y, Z) and
// output (U, V, W), load outer; one row per point, modes one after the other.
std::string DispersionCsvText(const CDispersionTable& table);
// Colours each mode's line point by point by its excitability for a line load along `load` read
// along `output` (0 x, 1 y, 2 z): from pale (three decades or more below the table's largest) to
// the mode's own colour (the largest), on a logarithmic scale.
void ColourByExcitability(plot::PlotContent& content, const CDispersionTable& table, int load, int output);
// The excitability of a point (numerics::Excitability), mm per GPa mm.
double PointExcitability(const CDispersionMode& mode, size_t index, int load, int output);

// "A0: f = 0.1 MHz, f h = 0.1 MHz mm, k = 1.2 1/mm, c_p = 0.5 mm/us, c_g = 0.9 mm/us, c_e = 0.9 mm/us,
// skew 0 deg".
QString DispersionPointText(const CDispersionTable& table, int mode, int index);

class CDispersionWindow : public QWidget {
    Q_OBJECT
public:
    CDispersionWindow(CDispersionTable table, bool perThickness, const QString& title, QWidget* parent = nullptr);

    // Where exports are offered by default, and how the user is asked and told.
    std::string m_strExportDir;
    IFileChooser* m_pFiles = nullptr;
    IMessageSink* m_pMessages = nullptr;
    IModalRunner* m_pModals = nullptr;  // the image dialog's runner (null: exec)
    // Shows a window this one opens (directions) as one of the document's; null: just shown.
    std::function<void(QWidget*)> m_openWindow;

    void SetQuantity(EDispersionQuantity quantity);
    EDispersionQuantity Quantity() const { return m_quantity; }
    bool ExportCsv(const QString& path, QString* error) const;
    // By suffix: .png or .svg, at the size given, with grid lines at the ticks or not.
    bool ExportImage(const QString& path, QSize size, bool gridLines, QString* error) const;
    plot::PlotWidget* Plot() const { return m_plot; }
    QString ReadoutText() const;
    const CDispersionTable& Table() const { return m_table; }

    // The mode shape of a point in the panel beside the plot (what a click on it does).
    void ShowModeShape(int mode, int index);
    CModeShapePanel* ShapePanel() const { return m_shape; }
    // The row that computes directions at one frequency and opens them in a window.
    CDirectionsBar* Directions() const { return m_directions; }
    // Colouring by excitability: on or off, and for which load direction and output (0..2).
    void SetExcitability(bool on, int load, int output);

private:
    void Export(const char* extension);
    void Refresh();

    CDispersionTable m_table;
    bool m_bPerThickness = true;
    EDispersionQuantity m_quantity = EDispersionQuantity::Phase;
    QComboBox* m_choice = nullptr;
    plot::PlotWidget* m_plot = nullptr;
    QLabel* m_readout = nullptr;
    QLabel* m_mode = nullptr;
    CModeShapePanel* m_shape = nullptr;
    CDirectionsBar* m_directions = nullptr;
    std::unique_ptr<CDispersionModes> m_modes;
    QCheckBox* m_colour = nullptr;
    QComboBox *m_load = nullptr, *m_output = nullptr;
};
