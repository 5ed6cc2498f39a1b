#pragma once
// The main of every GUI test: before Qt starts, the user's settings, data, caches (Qt's shader
// cache, Mesa's), runtime directory and ODBC set-up are sent to one directory of this run, so
// that no test reads or writes the user's own; the directory goes, with everything in it, when
// the run ends.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>

class CPrivateUserDirs {
public:
    CPrivateUserDirs() {
        if (!m_root.isValid())
            qFatal("no temporary directory for the user's files: %s", qPrintable(m_root.errorString()));
        for (const char* dir : {"config", "data", "cache", "odbc", "runtime"})
            QDir().mkpath(Path(dir));
        // Qt refuses a runtime directory others may enter (and would make its own in /tmp).
        QFile::setPermissions(Path("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // An empty ODBC set-up: no data source of the user's, none of the system's.
        for (const char* file : {"odbc/odbc.ini", "odbc/odbcinst.ini"})
            (void)QFile(Path(file)).open(QIODevice::WriteOnly);
        qputenv("XDG_CONFIG_HOME", Path("config").toLocal8Bit());
        qputenv("XDG_DATA_HOME", Path("data").toLocal8Bit());
        qputenv("XDG_CACHE_HOME", Path("cache").toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", Path("runtime").toLocal8Bit());
        qputenv("ODBCSYSINI", Path("odbc").toLocal8Bit());
        qputenv("ODBCINI", Path("odbc/odbc.ini").toLocal8Bit());
        for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, Path("config"));
    }
    CPrivateUserDirs(const CPrivateUserDirs&) = delete;
    CPrivateUserDirs& operator=(const CPrivateUserDirs&) = delete;

    QString Root() const { return m_root.path(); }
    QString Config() const { return Path("config"); }  // where QSettings writes

private:
    QString Path(const char* below) const { return m_root.path() + QLatin1Char('/') + QLatin1String(below); }

    QTemporaryDir m_root;
};

// This run's directories, made on the first call (which must come before anything asks Qt or
// ODBC where the user's files are) and removed when the program ends.
inline const CPrivateUserDirs& PrivateUserDirs() {
    static const CPrivateUserDirs dirs;
    return dirs;
}

struct GuiTestOptions {
    bool quitOnLastWindowClosed = true;  // false: tests that close every window go on running
    bool openGl = true;                  // false: no OpenGL on this X connection at all
};

template <class TestObject>
int RunGuiTest(int argc, char** argv, const char* sourceFile, GuiTestOptions options = {}) {
    PrivateUserDirs();
    if (!options.openGl)
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    QApplication app(argc, argv);
    // As QTEST_MAIN: fonts of the same pixel size on every machine.
    app.setAttribute(Qt::AA_Use96Dpi, true);
    app.setQuitOnLastWindowClosed(options.quitOnLastWindowClosed);
    TestObject test;
    QTest::setMainSourcePath(sourceFile);
    return QTest::qExec(&test, argc, argv);
}

// QTEST_MAIN with the user's files kept away; options as GuiTestOptions{...}.
#define PEMBLAR_GUI_TEST_MAIN(TestObject, ...) \
    int main(int argc, char** argv) { return RunGuiTest<TestObject>(argc, argv, __FILE__ __VA_OPT__(, ) __VA_ARGS__); }
