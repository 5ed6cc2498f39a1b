#pragma once
// "Wave field": which stack (composite or FGM), the point source's direction, the displacement
// component shown, the rectangle of the top surface with its grid, and the frames' times.

#include <QDialog>
#include <array>

#include "UiServices.h"
#include "WaveFieldSettings.h"

class QComboBox;
class QLineEdit;

class CWaveFieldDlg : public QDialog {
    Q_OBJECT
public:
    explicit CWaveFieldDlg(QWidget* parent = nullptr);

    // In and out: each stack's settings, which stacks exist (at least one does) and the one
    // chosen; OK checks the chosen one's and keeps it.
    std::array<CWaveFieldSettings, 2> m_settings;
    std::array<bool, 2> m_offered{true, true};
    int m_nProject = 0;
    IMessageSink* m_pMessages = nullptr;

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowSettings(const CWaveFieldSettings& s);

    QComboBox *m_project = nullptr, *m_source = nullptr, *m_component = nullptr;
    QLineEdit *m_xFrom = nullptr, *m_xTo = nullptr, *m_xPoints = nullptr;
    QLineEdit *m_yFrom = nullptr, *m_yTo = nullptr, *m_yPoints = nullptr;
    QLineEdit *m_tFrom = nullptr, *m_tTo = nullptr, *m_frames = nullptr;
    bool m_bInitialised = false;
};
