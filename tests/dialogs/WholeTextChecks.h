#pragma once
// Checks that a tree or a drop-down list shows its texts whole: shared by the form tests.

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <QAbstractItemView>
#include <QScrollBar>
#include <QStringList>
#include <QTreeWidget>
#include <algorithm>
#include <functional>

namespace {

// Every node of a tree, expanded, with the width its caption needs and whether the column and
// the horizontal scroll range give it that much; a tooltip must hold the whole caption.
inline QStringList CutCaptions(QTreeWidget* tree) {
    tree->expandAll();
    QApplication::processEvents();
    QStringList cut;
    const QFontMetrics metrics(tree->font());
    const int reach = tree->viewport()->width() + tree->horizontalScrollBar()->maximum();
    std::function<void(QTreeWidgetItem*)> visit = [&](QTreeWidgetItem* item) {
        const QRect at = tree->visualItemRect(item);
        // The text starts after the indentation and the icon; it needs its advance from there.
        const int textStart = at.left() + tree->horizontalScrollBar()->value() + tree->iconSize().width();
        const int needs = textStart + metrics.horizontalAdvance(item->text(0));
        if (needs > tree->columnWidth(0) || needs > reach || item->toolTip(0) != item->text(0))
            cut << item->text(0);
        for (int i = 0; i < item->childCount(); ++i)
            visit(item->child(i));
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        visit(tree->topLevelItem(i));
    return cut;
}

// A combo box shows the start of its current entry, lists every entry whole and has the whole
// text as its tooltip.
inline bool ShowsEntriesWhole(QComboBox* combo, QString* why) {
    const QFontMetrics metrics(combo->view()->font());
    int widest = 0;
    for (int i = 0; i < combo->count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(combo->itemText(i)));
    *why = QStringLiteral("cursor %1, list %2 for %3, tip '%4'")
               .arg(combo->lineEdit()->cursorPosition())
               .arg(combo->view()->minimumWidth())
               .arg(widest)
               .arg(combo->toolTip());
    return combo->lineEdit()->cursorPosition() == 0 && combo->view()->minimumWidth() > widest &&
           combo->toolTip() == combo->currentText();
}

}  // namespace
