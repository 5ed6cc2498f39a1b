#pragma once
// "Dispersion curves": which stack (composite or FGM), the range as frequency times thickness
// (MHz mm) or frequency (MHz), the number of points and of modes.

#include <QDialog>
#include <array>

#include "DispersionRun.h"
#include "UiServices.h"

class QComboBox;
class QLineEdit;

class CDispersionDlg : public QDialog {
    Q_OBJECT
public:
    explicit CDispersionDlg(QWidget* parent = nullptr);

    // In and out; m_offered says which stacks exist (at least one is).
    CDispersionSettings m_settings;
    std::array<bool, 2> m_offered{true, true};
    IMessageSink* m_pMessages = nullptr;

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QComboBox* m_project = nullptr;
    QComboBox* m_range = nullptr;
    QLineEdit *m_from = nullptr, *m_to = nullptr, *m_points = nullptr, *m_modes = nullptr;
    bool m_bInitialised = false;
};
