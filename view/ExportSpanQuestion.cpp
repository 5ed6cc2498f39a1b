#include "ExportSpanQuestion.h"

#include <QMessageBox>
#include <QPushButton>

#include "PlotPainter.h"

std::optional<bool> AskExportSpan(QWidget* parent, double from, double to) {
    QMessageBox ask(QMessageBox::Question, QStringLiteral("Pemblar"),
                    QStringLiteral("Export the time span shown (t = %1 to %2 us) or the whole curves?")
                        .arg(plot::ReadoutNumber(from), plot::ReadoutNumber(to)),
                    QMessageBox::Cancel, parent);
    QPushButton* shown = ask.addButton(QStringLiteral("Shown span"), QMessageBox::AcceptRole);
    ask.addButton(QStringLiteral("Whole curves"), QMessageBox::AcceptRole);
    ask.setDefaultButton(shown);
    ask.exec();
    if (ask.clickedButton() == ask.button(QMessageBox::Cancel) || !ask.clickedButton())
        return std::nullopt;
    return ask.clickedButton() == shown;
}
