#pragma once
// "Solver options": the element order through the thickness, automatic (the default) or fixed.

#include <QDialog>

#include <functional>

class QRadioButton;
class QSettings;
class QSpinBox;

class CSolverOptionsDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSolverOptionsDlg(QWidget* parent = nullptr);

    // In and out: 0 automatic, else the fixed order. Set before the dialog is shown.
    int m_nElementOrder = 0;

    // The order a fixed choice starts from while the setting is automatic: the former elements.
    static constexpr int kOfferedFixedOrder = 2;

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QRadioButton* m_automatic = nullptr;
    QRadioButton* m_fixed = nullptr;
    QSpinBox* m_order = nullptr;
    bool m_bInitialised = false;
};

// The whole command: the stored order into the dialog, and back into the settings on OK only.
// run shows the dialog modally and gives its result (QDialog::exec unless a test plays the user).
// True when the setting was written.
bool EditSolverOptions(QSettings& settings, QWidget* parent, const std::function<int(QDialog&)>& run = {});
