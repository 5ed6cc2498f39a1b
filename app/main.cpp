#include <QApplication>
#include <QCoreApplication>
#include <QSaveFile>

#include <csignal>
#include <cstdio>
#include <cstring>

#include "DBException.h"
#include "MaterialSource.h"
#include "OstrelApp.h"

namespace {

constexpr const char kExportSeedOption[] = "--export-seed-materials";

// "pemblar --export-seed-materials FILE" (or "-" for the standard output): the program's own
// seed list as CSV, to fill a shared material table with only the installed program at hand.
// Needs no display.
int ExportSeedMaterials(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s %s FILE   (FILE - writes to the standard output)\n", argv[0], kExportSeedOption);
        return 2;
    }
    QByteArray csv;
    try {
        csv = SeedMaterialsCsv(LoadSeedMaterials()).toUtf8();
    } catch (const CDBException& error) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.m_strError.c_str());
        return 1;
    }
    if (std::strcmp(argv[2], "-") == 0)
        return std::fwrite(csv.constData(), 1, std::size_t(csv.size()), stdout) == std::size_t(csv.size()) &&
                       std::fflush(stdout) == 0
                   ? 0
                   : 1;
    QSaveFile file(QString::fromLocal8Bit(argv[2]));
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size() || !file.commit()) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", argv[0], argv[2], qPrintable(file.errorString()));
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], kExportSeedOption) == 0)
        return ExportSeedMaterials(argc, argv);
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
