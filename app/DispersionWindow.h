#pragma once
// The dispersion curves of a stack in a window of their own: phase velocity, group velocity,
// wavenumber, energy velocity or skew angle against frequency (or frequency times thickness), one line per mode, with the
// shared plot's zoom and read-out, the mode under the pointer in full, and export as CSV (every
// quantity of every point), PNG or SVG.

#include <QWidget>

#include "DispersionRun.h"
#include "PlotPainter.h"
#include "UiServices.h"

class QComboBox;
class QLabel;
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
// group velocity (mm/us),energy velocity (mm/us),skew angle (deg),top U,top V,top W", one row
// per point, modes one after the other.
std::string DispersionCsvText(const CDispersionTable& table);
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

    void SetQuantity(EDispersionQuantity quantity);
    EDispersionQuantity Quantity() const { return m_quantity; }
    bool ExportCsv(const QString& path, QString* error) const;
    bool ExportImage(const QString& path, QString* error) const;  // by suffix: .png or .svg
    plot::PlotWidget* Plot() const { return m_plot; }
    QString ReadoutText() const;
    const CDispersionTable& Table() const { return m_table; }

private:
    void Export(const char* extension);

    CDispersionTable m_table;
    bool m_bPerThickness = true;
    EDispersionQuantity m_quantity = EDispersionQuantity::Phase;
    QComboBox* m_choice = nullptr;
    plot::PlotWidget* m_plot = nullptr;
    QLabel* m_readout = nullptr;
    QLabel* m_mode = nullptr;
};
