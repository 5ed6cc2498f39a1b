#pragma once
// The question Export data asks of a zoomed view: the time span on show, or the whole curves.

#include <optional>

class QWidget;

// True for the span from `from` to `to` (us), false for the whole curves, none on Cancel.
std::optional<bool> AskExportSpan(QWidget* parent, double from, double to);
