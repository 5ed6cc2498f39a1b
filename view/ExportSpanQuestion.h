#pragma once
// The question Export data asks of a zoomed view: the time span on show, or the whole curves.

#include <optional>

class IModalRunner;
class QWidget;

// True for the span from `from` to `to` (us), false for the whole curves, none on Cancel. Asked
// in a message box over parent's window, shown through modals (null: exec) like every dialog.
std::optional<bool> AskExportSpan(QWidget* parent, IModalRunner* modals, double from, double to);
