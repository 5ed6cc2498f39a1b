#include "ViewFactory.h"

#include <QWidget>

#include "CommandTarget.h"
#include "OstrelDoc.h"

QWidget* CreateDocumentView(COstrelDoc* doc, QWidget* parent) {
    (void)doc;
    auto* view = new QWidget(parent);
    view->setAutoFillBackground(true);
    QPalette palette = view->palette();
    palette.setColor(QPalette::Window, Qt::white);
    view->setPalette(palette);
    return view;
}

ICommandTarget* ViewCommandTarget(QWidget* view) { return dynamic_cast<ICommandTarget*>(view); }

void SetViewPrinter(QWidget* view, QPrinter* printer) {
    (void)view;
    (void)printer;
}

bool PrintViewDirect(QWidget* view, const QString& printerName) {
    (void)view;
    (void)printerName;
    return false;
}
