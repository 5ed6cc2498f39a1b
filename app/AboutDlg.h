#pragma once
// About box: the program icon, its name and version, one more line and OK.

#include <QDialog>

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    // Dialog units (a quarter of the average character width, an eighth of the line height)
    // in pixels for the dialog's font.
    static QSize DialogUnitsToPixels(const QFont& font, int x, int y);
};
