#include "HelpWindow.h"

#include <QTextBrowser>
#include <QUrl>

QTextBrowser* CreateHelpWindow(QWidget* parent) {
    auto* browser = new QTextBrowser(parent);
    browser->setWindowFlags(Qt::Window);
    browser->setObjectName("HelpWindow");
    browser->setWindowTitle("Pemblar Help");
    browser->setOpenExternalLinks(true);
    browser->setSource(QUrl(kHelpContentsUrl));
    browser->resize(760, 640);
    return browser;
}
