#pragma once
// Help Topics: the bundled manual in a window of its own.

class QTextBrowser;
class QWidget;

// The contents page of the manual, in a top-level window owned by parent.
QTextBrowser* CreateHelpWindow(QWidget* parent);
constexpr const char* kHelpContentsUrl = "qrc:/help/index.html";
