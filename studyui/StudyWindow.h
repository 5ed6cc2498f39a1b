#pragma once
// The results of a study in a window of their own: a B-scan (receiving point against time, a
// colour map with its colour bar) for a receiver sweep, one per case, or a family of curves
// (one per case) at a chosen receiving point; zoom and pan as in every plot, the value under the
// pointer in the status line, and export as CSV or as a PNG or SVG image of a chosen size. A
// point source's grid shows one B-scan per case and row of y; a study of wave fields lists each
// case's file, which Open shows in the wave-field window.

#include <QWidget>

#include <functional>
#include <string>

#include "StudyManifest.h"
#include "StudyResults.h"

class IModalRunner;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace plot {
class PlotWidget;
}

class CStudyWindow : public QWidget {
    Q_OBJECT
public:
    CStudyWindow(StudyManifest manifest, StudyResults results, QWidget* parent = nullptr);

    bool IsBScan() const { return m_bscan; }
    plot::PlotWidget* Plot() const { return m_plot; }
    QComboBox* Chooser() const { return m_chooser; }
    const QString& ReadoutText() const { return m_readoutText; }

    // Shows a case's wave field: the file's path and a window title ("Wave field - plate, case
    // label"). The program's own window does it; null leaves Open without effect.
    std::function<void(const std::string& path, const std::string& title)> m_openField;
    QListWidget* Fields() const { return m_fields; }
    // Opens the field of case caseIndex (0-based); false when it is not there yet.
    bool OpenField(int caseIndex);

    // Export what is shown; false with a reason.
    bool ExportCsv(const QString& path, QString* error) const;
    bool ExportImage(const QString& path, QSize size, bool gridLines, QString* error) const;

    IModalRunner* m_pModals = nullptr;  // the export dialogs' runner (null: exec)

public slots:
    void ShowChoice(int index);  // a case of a B-scan, a receiving point of a family

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void OnExportCsv();
    void OnExportImage();

private:
    void SetReadout(const QString& text);
    // The file to export to, proposed as the study's name with `suffix` in its directory; empty
    // when the user cancels.
    QString AskSavePath(const QString& title, const QString& suffix, const QString& filter);
    void Warn(const QString& text);

    StudyManifest m_manifest;
    StudyResults m_results;
    bool m_bscan = false;
    int m_choice = 0;
    int m_rows = 1;  // B-scan rows per case: a point source's rows of y
    QListWidget* m_fields = nullptr;
    plot::PlotWidget* m_plot = nullptr;
    QComboBox* m_chooser = nullptr;
    QLabel* m_readout = nullptr;
    QString m_readoutText;
};
