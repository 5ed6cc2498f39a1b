#pragma once
// "Sampled load": the form that makes a project's "ft.dat" for the load type "Any f(t)": a
// Hann-windowed tone burst, a Gaussian pulse, a raised-cosine step or a two-column file from a
// measurement, with a preview of the samples and their count. The form only edits settings;
// the command writes the files after OK.

#include <QDialog>
#include <array>

#include "SampledLoad.h"
#include "SampledLoadFiles.h"
#include "UiServices.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
namespace plot { class PlotWidget; }

class CSampledLoadDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSampledLoadDlg(QWidget* parent = nullptr);

    // In before exec(): the settings of both projects, which are offered, which one is chosen,
    // and each time window's end (a step is held up to it). Out after OK: the chosen project's
    // settings in m_loads[m_nProject].
    std::array<CSampledLoad, 2> m_loads;
    std::array<bool, 2> m_offered{true, true};
    std::array<double, 2> m_windowEnd{10, 10};
    int m_nProject = 0;  // 0 composite, 1 FGM
    IMessageSink* m_pMessages = nullptr;
    IFileChooser* m_pFiles = nullptr;

    // Reads a measurement into the current settings; a message and false when it cannot.
    bool ImportFile(const std::string& path);
    // The samples of the preview and the count shown beside it (0 while the fields do not read).
    int PreviewCount() const { return m_nPreviewCount; }
    plot::PlotWidget* PreviewPlot() const { return m_preview; }

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowSettings(const CSampledLoad& load);
    // The fields as settings; none when a field does not read (quiet: no message).
    std::optional<CSampledLoad> ReadFields(bool quiet);
    void UpdatePreview();
    void UpdateEnabled();
    void ChooseImport();
    void SwitchProject(int index);
    // A Gaussian pulse starts whole after 0 unless the user sets its delay.
    void FollowShapeWithDelay();

    QComboBox* m_project = nullptr;
    QComboBox* m_shape = nullptr;
    QLineEdit *m_frequency = nullptr, *m_cycles = nullptr, *m_delay = nullptr, *m_width = nullptr,
              *m_rise = nullptr, *m_interval = nullptr;
    QPushButton* m_import = nullptr;
    QLabel* m_source = nullptr;
    QLabel* m_count = nullptr;
    plot::PlotWidget* m_preview = nullptr;
    int m_nPreviewCount = 0;
    int m_nShown = -1;  // the project whose settings the fields show
    bool m_bInitialised = false;
    bool m_bAutomaticDelay = false;  // the delay shows the pulse's automatic centre
};
