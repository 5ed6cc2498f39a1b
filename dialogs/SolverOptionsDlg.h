#pragma once
// "Solver options": the element order through the thickness, automatic (the default) or fixed.

#include <QDialog>

#include <functional>

class QRadioButton;
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

// The whole dialog: order into it, and back on OK only. run shows the dialog modally and gives
// its result (QDialog::exec unless a test plays the user). True when order was changed or kept
// by OK.
bool EditSolverOptions(int& order, QWidget* parent, const std::function<int(QDialog&)>& run = {});
