#pragma once
// Makes the one view of a document window. Kept apart so the frames never depend on the view
// class itself.

#include <QString>

#include <functional>

class COstrelDoc;
class IModalRunner;
class QObject;
class ICommandTarget;
class QPrinter;
class QWidget;

QWidget* CreateDocumentView(COstrelDoc* doc, QWidget* parent);
// The view as a command target (the first in routing order); null when it carries nothing.
ICommandTarget* ViewCommandTarget(QWidget* view);
// Gives the view the program's shared printer (the one Print Setup sets up).
void SetViewPrinter(QWidget* view, QPrinter* printer);
// Gives the view the runner its dialogs are shown through (the program's; null: exec).
void SetViewModalRunner(QWidget* view, IModalRunner* modals);
// Prints the view's picture without a dialog: on the named printer, or on the default one when
// printerName is empty. False when the view cannot print.
bool PrintViewDirect(QWidget* view, const QString& printerName);
// What the view shows ("W (mm) at x = 10 mm, H(t) load"), empty without a curve; and a call
// of changed (in context) whenever that text changes.
QString ViewDescription(QWidget* view);
void OnViewDescriptionChanged(QWidget* view, QObject* context, std::function<void()> changed);
