#pragma once
// "Layer number": how many layers the project has, 1 to 200, typed or stepped with the spin
// button (which wraps from 200 to 1 and from 1 to 200). The form does not touch the document.

#include <QDialog>

#include "FormWidgets.h"

class QLineEdit;
class QToolButton;

// The stepping of the spin button as a pure rule: from the field's number (or, when the field
// holds none, from the last position) one step up or down, wrapping at the range ends. A number
// outside the range is first brought back to the nearer end, which is then the result.
int StepLayerNumber(bool fieldReads, int fieldValue, int lastPosition, int step);

class CLayerNumber : public QDialog {
    Q_OBJECT
public:
    enum { IDD = 145 };
    enum : int { IDC_LAYERS = 1021, IDC_SPIN = 1022 };
    static constexpr int kMinLayers = 1;
    static constexpr int kMaxLayers = 200;

    explicit CLayerNumber(QWidget* parent = nullptr);
    ~CLayerNumber() override;

    int m_nLayers = 1;
    // Where messages go; null shows them in a message box.
    IMessageSink* m_pMessages = nullptr;

    // One click on the spin button's upper (+1) or lower (-1) arrow.
    void Step(int step);

public slots:
    // exec() gives kFormOk (1) after OK, kFormCancel (2) after Cancel or the close box.
    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_editLayers = nullptr;
    QToolButton* m_up = nullptr;
    QToolButton* m_down = nullptr;
    int m_nPosition = 1;
    bool m_bInitialised = false;
};
