#pragma once
// The row of the dispersion window that asks for directions: the frequency (or frequency times
// thickness, as the window's axis) and the number of directions, and a button that computes
// them away from the window's thread and opens the result in a window of its own.

#include <QPointer>
#include <QWidget>
#include <functional>
#include <thread>

#include "DirectionsWindow.h"
#include "DispersionRun.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

class CDirectionsBar : public QWidget {
    Q_OBJECT
public:
    CDirectionsBar(const CDispersionTable& table, bool perThickness, QWidget* parent);
    ~CDirectionsBar() override;  // waits for a computation under way

    // Told a sentence (bad input, a failed computation); given each window opened, not yet
    // shown, to place and show it (without one it is shown where it falls).
    std::function<void(const std::string&)> tell;
    std::function<void(CDirectionsWindow*)> opened;

    void Start();  // what the button does
    bool Busy() const { return m_worker.joinable(); }
    CDirectionsWindow* LastWindow() const { return m_last; }

private:
    void Finished(const numerics::CDirectionalCurves& curves, const QString& at);

    const CDispersionTable& m_table;
    bool m_bPerThickness;
    QLineEdit* m_at = nullptr;
    QSpinBox* m_count = nullptr;
    QPushButton* m_start = nullptr;
    QLabel* m_state = nullptr;
    std::thread m_worker;
    QPointer<CDirectionsWindow> m_last;
};
