#pragma once
// The program's command line, parsed the way desktop shells pass it: switches begin with "/"
// or "-" and are matched without regard to case; the first other argument names a file; after
// /pt the next three name the printer, its driver and its port.

#include <QString>
#include <QStringList>

class CCommandLineInfo {
public:
    enum ShellCommand { FileNew, FileOpen, FilePrint, FilePrintTo, FileDDE, AppUnregister, FileNothing };

    ShellCommand m_nShellCommand = FileNew;
    bool m_bRunEmbedded = false;
    bool m_bRunAutomated = false;
    QString m_strFileName;
    QString m_strPrinterName;
    QString m_strDriverName;
    QString m_strPortName;
};

// args without the program name. A path such as "/home/a/p.dat" is a file name, not a switch:
// only the switches this program knows are taken as switches; other "-x" arguments are ignored.
CCommandLineInfo ParseCommandLine(const QStringList& args);
