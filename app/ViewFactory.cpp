#include "ViewFactory.h"

#include <QPalette>
#include <QWidget>

#include "CommandTarget.h"
#include "OstrelDoc.h"
#include "OstrelView.h"

namespace {

// Stands in for the view where the display has no OpenGL: the window opens but never draws.
QWidget* BlankView(QWidget* parent) {
    auto* view = new QWidget(parent);
    view->setAutoFillBackground(true);
    QPalette palette = view->palette();
    palette.setColor(QPalette::Window, Qt::white);
    view->setPalette(palette);
    return view;
}

}  // namespace

QWidget* CreateDocumentView(COstrelDoc* doc, QWidget* parent) {
    // Qt cannot show an OpenGL widget at all on a display without OpenGL, so ask first; the
    // view's own set-up check then tells the user, as it would on a failed pixel format.
    if (!COstrelView::OpenGLAvailable()) {
        COstrelView probe(doc);
        probe.SetupPixelFormat();
        return BlankView(parent);
    }
    return new COstrelView(doc, parent);
}

ICommandTarget* ViewCommandTarget(QWidget* view) { return dynamic_cast<ICommandTarget*>(view); }

void SetViewPrinter(QWidget* view, QPrinter* printer) {
    if (auto* curveView = qobject_cast<COstrelView*>(view))
        curveView->SetPrinter(printer);
}

void SetViewModalRunner(QWidget* view, IModalRunner* modals) {
    if (auto* curveView = qobject_cast<COstrelView*>(view))
        curveView->SetModalRunner(modals);
}

bool PrintViewDirect(QWidget* view, const QString& printerName) {
    auto* curveView = qobject_cast<COstrelView*>(view);
    return curveView && curveView->PrintDirect(printerName);
}

QString ViewDescription(QWidget* view) {
    auto* curveView = qobject_cast<COstrelView*>(view);
    return curveView ? QString::fromStdString(curveView->Description()) : QString();
}

void OnViewDescriptionChanged(QWidget* view, QObject* context, std::function<void()> changed) {
    if (auto* curveView = qobject_cast<COstrelView*>(view))
        QObject::connect(curveView, &COstrelView::DescriptionChanged, context, [changed] { changed(); });
}
