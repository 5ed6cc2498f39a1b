#include "ExportSpanQuestion.h"

#include <QMessageBox>
#include <QPushButton>

#include "ModalRunner.h"
#include "PlotPainter.h"

std::optional<bool> AskExportSpan(QWidget* parent, IModalRunner* modals, double from, double to) {
    const double scale = plot::ReadoutScale(from, to);
    QMessageBox ask(QMessageBox::Question, QStringLiteral("Pemblar"),
                    QStringLiteral("Export the time span shown (t = %1 to %2 us) or the whole curves?")
                        .arg(plot::ReadoutNumber(from, scale), plot::ReadoutNumber(to, scale)),
                    QMessageBox::Cancel, parent);
    QPushButton* shown = ask.addButton(QStringLiteral("Shown span"), QMessageBox::AcceptRole);
    ask.addButton(QStringLiteral("Whole curves"), QMessageBox::AcceptRole);
    ask.setDefaultButton(shown);
    RunModal(modals, ask);
    if (ask.clickedButton() == ask.button(QMessageBox::Cancel) || !ask.clickedButton())
        return std::nullopt;
    return ask.clickedButton() == shown;
}
