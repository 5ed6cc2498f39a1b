// The material table on a real PostgreSQL server through psqlODBC, as a shared database is set
// up: the server is made by the test in a temporary directory on a free port, restarted while
// the record set and the form hold their connection, and removed at the end.

#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "ConfirmForm.h"
#include "DBException.h"
#include "MaterialSource.h"
#include "Mateselect.h"
#include "MyRecordSet.h"
#include "OstrelDoc.h"
#include "../GuiTestMain.h"

namespace {

constexpr const char* kPsqlOdbcDriver = "/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so";

// The newest installed server's programs, or empty.
QString ServerBinDir() {
    QDir root(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    std::sort(versions.begin(), versions.end(), [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
    for (const QString& v : versions) {
        const QString bin = root.filePath(v + QStringLiteral("/bin"));
        if (QFileInfo(bin + QStringLiteral("/initdb")).isExecutable() && QFileInfo(bin + QStringLiteral("/pg_ctl")).isExecutable())
            return bin;
    }
    return {};
}

int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

// A server cluster of the test's own. The server refuses to run as root, so under root its
// programs run as the unprivileged "postgres" user, which owns the cluster's directory.
class CTestServer {
public:
    // Empty when the server runs; otherwise why it cannot.
    QString Start() {
        m_bin = ServerBinDir();
        if (m_bin.isEmpty())
            return QStringLiteral("the PostgreSQL server programs are not installed (apt package postgresql)");
        if (!QFileInfo::exists(QString::fromLatin1(kPsqlOdbcDriver)))
            return QStringLiteral("the psqlODBC driver is not installed (apt package odbc-postgresql)");
        if (!m_dir.isValid())
            return QStringLiteral("no temporary directory");
        if (::geteuid() == 0) {
            const passwd* user = ::getpwnam("postgres");
            if (!user)
                return QStringLiteral("running as root, and there is no user \"postgres\" to run the server as");
            m_prefix = {QStringLiteral("runuser"), QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--")};
            // The server's user must reach its directory.
            QFile::setPermissions(m_dir.path(), QFile::permissions(m_dir.path()) | QFile::ExeOther | QFile::ReadOther);
            QDir().mkpath(Cluster());
            if (::chown(Cluster().toLocal8Bit().constData(), user->pw_uid, user->pw_gid) != 0)
                return QStringLiteral("cannot hand the cluster directory to postgres");
        }
        m_port = FreePort();
        QString output;
        if (!Run(QStringLiteral("initdb"), {QStringLiteral("-D"), Cluster(), QStringLiteral("-U"), QStringLiteral("pemblar"),
                                            QStringLiteral("--auth=trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                                            QStringLiteral("--locale=C")},
                 &output))
            return QStringLiteral("initdb failed: ") + output;
        if (!Control(QStringLiteral("start"), &output))
            return QStringLiteral("the server did not start: ") + output;
        m_bRunning = true;
        return {};
    }

    bool Restart(QString* output) { return Control(QStringLiteral("restart"), output); }

    ~CTestServer() {
        if (m_bRunning) {
            QString ignored;
            Run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), Cluster(), QStringLiteral("-m"), QStringLiteral("immediate"),
                                           QStringLiteral("-w"), QStringLiteral("stop")},
                &ignored);
        }
    }

    int Port() const { return m_port; }
    QString Root() const { return m_dir.path(); }

private:
    QString Cluster() const { return m_dir.filePath(QStringLiteral("cluster")); }

    bool Control(const QString& verb, QString* output) {
        // Only the loopback port, and the socket in the cluster's own directory.
        const QString options = QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1").arg(m_port).arg(Cluster());
        return Run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), Cluster(), QStringLiteral("-o"), options, QStringLiteral("-l"),
                                              Cluster() + QStringLiteral("/server.log"), QStringLiteral("-w"), QStringLiteral("-t"),
                                              QStringLiteral("60"), verb},
                   output);
    }

    bool Run(const QString& program, const QStringList& arguments, QString* output) {
        QStringList command = m_prefix;
        command << m_bin + QLatin1Char('/') + program << arguments;
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setWorkingDirectory(m_dir.path());
        process.start(command.takeFirst(), command);
        const bool finished = process.waitForFinished(120000);
        *output = QString::fromLocal8Bit(process.readAll());
        return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/pemblar-pg-XXXXXX")};
    QString m_bin;
    QStringList m_prefix;
    int m_port = 0;
    bool m_bRunning = false;
};

// Answers the next confirmation form with OK.
void ConfirmWhenAsked() {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer] {
        if (auto* confirm = dynamic_cast<CConfirmForm*>(QApplication::activeModalWidget())) {
            timer->deleteLater();
            QTest::mouseClick(confirm->findChild<QPushButton*>("ok"), Qt::LeftButton);
        }
    });
    timer->start(10);
}

class CRecordingSink : public IMessageSink {
public:
    void ShowMessage(const std::string& text) override { messages << QString::fromStdString(text); }
    QStringList messages;
};

QStringList Names(CMyRecordSet& set) {
    QStringList names;
    for (set.MoveFirst(); !set.IsEOF(); set.MoveNext())
        names << set.m_Material;
    return names;
}

}  // namespace

class TestRecordSetPostgres : public QObject {
    Q_OBJECT

    std::unique_ptr<CTestServer> m_server;
    QString m_skip;

    // The data source "Material" of the user, on the test's server.
    void WriteOdbcConfiguration() {
        const QString odbc = m_server->Root() + QStringLiteral("/odbc");
        QDir().mkpath(odbc);
        qputenv("ODBCSYSINI", odbc.toLocal8Bit());
        qputenv("ODBCINI", (odbc + QStringLiteral("/odbc.ini")).toLocal8Bit());
        qputenv("XDG_DATA_HOME", (m_server->Root() + QStringLiteral("/data")).toLocal8Bit());
        QFile drivers(odbc + QStringLiteral("/odbcinst.ini"));
        QVERIFY(drivers.open(QIODevice::WriteOnly));
        drivers.write(QStringLiteral("[PostgreSQL Unicode]\nDriver=%1\n").arg(QLatin1String(kPsqlOdbcDriver)).toUtf8());
        drivers.close();
        QFile sources(odbc + QStringLiteral("/odbc.ini"));
        QVERIFY(sources.open(QIODevice::WriteOnly));
        sources.write(QStringLiteral("[Material]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=%1\n"
                                     "Database=postgres\nUsername=pemblar\n\n"
                                     "[MaterialReaders]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=%1\n"
                                     "Database=postgres\nUsername=pemblar\nReadOnly=1\n")
                          .arg(m_server->Port())
                          .toUtf8());
    }

    void CreateTable() {
        const QString name = QStringLiteral("test-postgres-setup");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
            db.setDatabaseName(QStringLiteral("Material"));
            QVERIFY2(db.open(), qPrintable(db.lastError().text()));
            QSqlQuery query(db);
            QVERIFY2(query.exec(QStringLiteral(
                         "CREATE TABLE material (\"ID\" SERIAL PRIMARY KEY, \"Material\" VARCHAR(255), "
                         "\"E1(GPa)\" DOUBLE PRECISION, \"E2(GPa)\" DOUBLE PRECISION, \"G12(GPa)\" DOUBLE PRECISION, "
                         "\"v12\" DOUBLE PRECISION, \"v23\" DOUBLE PRECISION, \"p\" DOUBLE PRECISION, "
                         "\"Angle\" DOUBLE PRECISION)")),
                     qPrintable(query.lastError().text()));
            QVERIFY(query.exec(QStringLiteral("INSERT INTO material (\"Material\", \"E1(GPa)\") VALUES ('glass', 38.6), "
                                              "('carbon', 181)")));
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }

    void RestartServer() {
        QString output;
        QVERIFY2(m_server->Restart(&output), qPrintable(output));
    }

private slots:
    void initTestCase() {
        m_server = std::make_unique<CTestServer>();
        m_skip = m_server->Start();
        if (!m_skip.isEmpty())
            return;
        WriteOdbcConfiguration();
        CreateTable();
    }

    void cleanupTestCase() { m_server.reset(); }

    void aRestartedServerIsReachedAgain() {
        if (!m_skip.isEmpty())
            QSKIP(qPrintable(m_skip));
        QVERIFY(IsOdbcDataSourceDefined(QStringLiteral("Material")));
        CMyRecordSet set(OdbcMaterialSource(QStringLiteral("Material")));
        set.Open();
        QCOMPARE(Names(set), (QStringList{"glass", "carbon"}));

        // Opening the list again after a restart reads it through a new connection.
        RestartServer();
        set.Open();
        QCOMPARE(Names(set), (QStringList{"glass", "carbon"}));

        // So does a requery, a read as well.
        RestartServer();
        set.Requery();
        QCOMPARE(Names(set), (QStringList{"glass", "carbon"}));

        // A write on the dead connection fails once and says so; the next one connects afresh.
        RestartServer();
        QString said;
        bool lost = false;
        try {
            set.AddNew();
            set.m_Material = QStringLiteral("steel");
            set.Update();
        } catch (const CDBException& error) {
            said = QString::fromStdString(error.m_strError);
            lost = error.m_bConnectionLost;
        }
        QVERIFY2(lost && said.contains(QStringLiteral("connection to the material data source was lost")), qPrintable(said));
        set.AddNew();
        set.m_Material = QStringLiteral("steel");
        set.Update();
        set.Requery();
        QCOMPARE(Names(set), (QStringList{"glass", "carbon", "steel"}));
    }

    void seedListLoadsWithTheInstalledProgramAndReadOnlyIsKept() {
        if (!m_skip.isEmpty())
            QSKIP(qPrintable(m_skip));
        // The way the README fills a shared table: the program's export, then psql's \copy.
        const QString csv = m_server->Root() + QStringLiteral("/seed.csv");
        QProcess exporter;
        exporter.start(QStringLiteral(PEMBLAR_PROGRAM), {QStringLiteral("--export-seed-materials"), csv});
        QVERIFY(exporter.waitForFinished(60000));
        QCOMPARE(exporter.exitCode(), 0);
        QFile::setPermissions(csv, QFile::permissions(csv) | QFile::ReadOther);
        const QString psql = ServerBinDir() + QStringLiteral("/psql");
        QProcess loader;
        loader.setProcessChannelMode(QProcess::MergedChannels);
        loader.start(psql, {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(m_server->Port()),
                            QStringLiteral("-U"), QStringLiteral("pemblar"), QStringLiteral("-d"), QStringLiteral("postgres"),
                            QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-c"),
                            QStringLiteral("\\copy material (\"Material\",\"E1(GPa)\",\"E2(GPa)\",\"G12(GPa)\",\"v12\",\"v23\",\"p\",\"Angle\") "
                                           "FROM '%1' CSV HEADER").arg(csv)});
        QVERIFY(loader.waitForFinished(60000));
        QVERIFY2(loader.exitCode() == 0, loader.readAll().constData());
        CMyRecordSet set(OdbcMaterialSource(QStringLiteral("Material")));
        set.Open();
        const QStringList names = Names(set);
        const std::vector<CSeedMaterial> seed = LoadSeedMaterials();
        QVERIFY(names.size() >= int(seed.size()));
        for (const CSeedMaterial& row : seed)
            QVERIFY2(names.contains(row.name), qPrintable(row.name));
        // The same table through a data source the driver is told to keep read-only.
        CMyRecordSet readers(OdbcMaterialSource(QStringLiteral("MaterialReaders")));
        readers.Open();
        QVERIFY(!readers.CanUpdate());
        QCOMPARE(Names(readers), names);
        // Leave the table as the other cases expect it.
        for (set.MoveFirst(); !set.IsEOF(); set.MoveNext())
            if (set.m_Material != QLatin1String("glass") && set.m_Material != QLatin1String("carbon") &&
                set.m_Material != QLatin1String("steel"))
                set.Delete();
    }

    void theFormWorksAfterARestart() {
        if (!m_skip.isEmpty())
            QSKIP(qPrintable(m_skip));
        CRecordingSink sink;
        COstrelDoc doc;
        doc.m_services.messages = &sink;
        auto set = std::make_shared<CMyRecordSet>(OdbcMaterialSource(QStringLiteral("Material")));
        doc.m_recordSet = set;
        auto openForm = [&] {
            auto form = std::make_unique<CMateselect>();
            form->m_pSet = set.get();
            form->m_pDoc = &doc;
            form->show();
            return form;
        };
        {
            auto form = openForm();
            QVERIFY(QTest::qWaitForWindowExposed(form.get()));
            QCOMPARE(form->findChild<QComboBox*>("materialName")->count(), 3);
        }
        RestartServer();
        // The next opening of the form, and an Add in it, work without a message.
        auto form = openForm();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCOMPARE(form->findChild<QComboBox*>("materialName")->count(), 3);
        QCOMPARE(sink.messages, QStringList());
        form->findChild<QComboBox*>("materialName")->setEditText(QStringLiteral("titanium"));
        ConfirmWhenAsked();
        QTest::mouseClick(form->findChild<QPushButton*>("addRecord"), Qt::LeftButton);
        QCOMPARE(sink.messages, QStringList());
        QCOMPARE(form->findChild<QComboBox*>("materialName")->count(), 4);
    }
};

PEMBLAR_GUI_TEST_MAIN(TestRecordSetPostgres)
#include "test_recordset_postgres.moc"
