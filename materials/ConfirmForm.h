#pragma once
// The small "Dialog" forms that ask before the material table is changed: one line of text,
// "OK" to go on, "Cancel" to leave the table alone. They hold no data.

#include <QDialog>
#include <QSize>

class QLabel;
class QPushButton;

class CConfirmForm : public QDialog {
public:
    // 1 for "OK", 2 for "Cancel" or the close box.
    int DoModal();

    const QLabel* Text() const { return m_pText; }

protected:
    // The size is given in dialog units of the form's 8-point font.
    CConfirmForm(QWidget* parent, const char* text, QSize dialogUnits);

private:
    QLabel* m_pText = nullptr;
};

// Converts dialog units of an 8-point dialog font to pixels of the current font.
QSize DialogUnitsToPixels(const QWidget* widget, QSize dialogUnits);
