#include "CommandLineInfo.h"

namespace {

// The switch name without its "/" or "-", lower case; empty when arg is no switch form.
QString SwitchName(const QString& arg) {
    if (arg.size() < 2 || (arg[0] != u'/' && arg[0] != u'-'))
        return {};
    return arg.mid(1).toLower();
}

bool IsKnownSwitch(const QString& name) {
    static const QStringList known = {"p", "pt", "dde", "unregister", "unregserver", "embedding", "automation"};
    return known.contains(name);
}

}  // namespace

CCommandLineInfo ParseCommandLine(const QStringList& args) {
    CCommandLineInfo info;
    int printToParams = 0;  // printer, driver and port still expected after /pt
    for (const QString& arg : args) {
        const QString name = SwitchName(arg);
        if (IsKnownSwitch(name)) {
            if (name == "p") {
                info.m_nShellCommand = CCommandLineInfo::FilePrint;
            } else if (name == "pt") {
                info.m_nShellCommand = CCommandLineInfo::FilePrintTo;
                printToParams = 3;
            } else if (name == "dde") {
                info.m_nShellCommand = CCommandLineInfo::FileDDE;
            } else if (name == "unregister" || name == "unregserver") {
                info.m_nShellCommand = CCommandLineInfo::AppUnregister;
            } else if (name == "embedding") {
                info.m_bRunEmbedded = true;
            } else if (name == "automation") {
                info.m_bRunAutomated = true;
            }
            continue;
        }
        if (arg.startsWith(u'-'))
            continue;  // an option meant for someone else
        if (info.m_strFileName.isEmpty()) {
            info.m_strFileName = arg;
            if (info.m_nShellCommand == CCommandLineInfo::FileNew)
                info.m_nShellCommand = CCommandLineInfo::FileOpen;
        } else if (printToParams == 3) {
            info.m_strPrinterName = arg;
            --printToParams;
        } else if (printToParams == 2) {
            info.m_strDriverName = arg;
            --printToParams;
        } else if (printToParams == 1) {
            info.m_strPortName = arg;
            --printToParams;
        }
    }
    return info;
}
