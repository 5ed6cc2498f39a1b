#pragma once
// The windows a document opens beside its own (dispersion curves, study results) belong to the
// program's window management: placed over the main window's work area so that they never
// cover its menus and toolbar, titled apart from the document's other windows of the same
// title, presented to assistive technology as windows, listed in the Window menu and closed
// with their document (CDocumentHost keeps them).

#include <QRect>
#include <QSize>
#include <QString>
#include <functional>
#include <vector>

class QBoxLayout;
class QPushButton;
class QWidget;

// Where such a window goes: its top-left corner stepped down and right by one step per window
// already open from the top-left of area (the work area, global coordinates), starting again
// at the top when the next step would leave it; its size kept within the area and the screen,
// leaving room for a few steps.
QRect ToolWindowGeometry(const QRect& area, const QRect& screen, QSize size, int index, int step);

// title, or "title (2)", "title (3)", ...: the first that none of taken is.
QString DistinctTitle(const QString& title, const std::vector<QString>& taken);

// Makes window one of the program's windows for assistive technology (the role "window", not
// that of a bare panel).
void MarkAsToolWindow(QWidget* window);

// A button of a tool window's row: named for tests, with its tooltip, added to row, running
// clicked while owner lives.
QPushButton* AddToolButton(QWidget* owner, QBoxLayout* row, const QString& text, const char* name,
                           const QString& tip, std::function<void()> clicked);
