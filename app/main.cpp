#include <QApplication>

#include <csignal>

#include "OstrelApp.h"

int main(int argc, char** argv) {
    // Beyond the file-size limit a write then fails with EFBIG and is reported like a full disk,
    // instead of the signal ending the program with the document unsaved.
    std::signal(SIGXFSZ, SIG_IGN);
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
