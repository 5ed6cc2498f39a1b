#include <QApplication>

#include "OstrelApp.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    COstrelApp theApp;
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    if (!theApp.InitInstance(args))
        return 1;
    if (!theApp.RunsEventLoop())
        return 0;
    return application.exec();
}
