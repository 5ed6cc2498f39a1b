// The material database on a failing machine: a file locked by another writer, a file on a
// read-only mount, a write cut by the file-size limit. Each time the record set raises an
// exception with the driver's words (what the material form shows), the table holds exactly
// what it held (or what the other writer committed), and no journal is left beside it.

#include <sched.h>
#include <sys/mount.h>

#include <QCryptographicHash>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

#include "DBException.h"
#include "MaterialTestSupport.h"
#include "MyRecordSet.h"
#include "../FileSizeLimit.h"

using namespace materials_test;

namespace {

QByteArray Digest(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

QStringList Scan(CMyRecordSet& set) {
    QStringList names;
    for (set.MoveFirst(); !set.IsEOF(); set.MoveNext())
        names << set.m_Material;
    return names;
}

// What a record-set call raised, or an empty text when it went through.
template <class F>
QString Raised(F&& call) {
    try {
        call();
    } catch (const CDBException& e) {
        return QString::fromStdString(e.m_strError).isEmpty() ? QStringLiteral("<empty message>")
                                                              : QString::fromStdString(e.m_strError);
    }
    return {};
}

// Another program holding the database: the sqlite3 shell inside BEGIN EXCLUSIVE.
class CExclusiveWriter {
public:
    explicit CExclusiveWriter(const QString& path) {
        m_shell.setProgram(QStringLiteral(SQLITE3_PROGRAM));
        m_shell.setArguments({path});
        m_shell.setProcessChannelMode(QProcess::MergedChannels);
        m_shell.start();
        m_started = m_shell.waitForStarted(10000);
        m_shell.write("BEGIN EXCLUSIVE;\nINSERT INTO material (Material) VALUES ('theirs');\nSELECT 'holding';\n");
        while (m_started && !m_output.contains("holding") && m_shell.waitForReadyRead(10000))
            m_output += m_shell.readAll();
    }
    bool Holding() const { return m_output.contains("holding"); }
    QByteArray Output() const { return m_output; }
    bool Commit() {
        m_shell.write("COMMIT;\n.quit\n");
        m_shell.closeWriteChannel();
        return m_shell.waitForFinished(10000) && m_shell.exitCode() == 0;
    }
    ~CExclusiveWriter() {
        if (m_shell.state() != QProcess::NotRunning) {
            m_shell.kill();
            m_shell.waitForFinished(5000);
        }
    }

private:
    QProcess m_shell;
    bool m_started = false;
    QByteArray m_output;
};

}  // namespace

class TestDatabaseFaults : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_root;
    QString m_dir;    // the database's own directory, which the read-only case mounts
    QString m_table;

    void NoJournalLeft() {
        for (const char* suffix : {"-journal", "-wal"})
            QVERIFY2(!QFileInfo::exists(m_table + QLatin1String(suffix)), suffix);
    }

private slots:
    void initTestCase() {
        QVERIFY(m_root.isValid());
        m_dir = m_root.filePath(QStringLiteral("db"));
        QVERIFY(QDir().mkpath(m_dir));
        m_table = m_dir + QStringLiteral("/table.db");
        IsolateEnvironment(m_root.path(), m_table);
    }

    void init() { WriteTable(m_table, {Row("glass", 38.6, 8.27, 4.14, 0.26, 0.4, 1.8, 0)}); }

    void lockedByAnotherWriter() {
        const QStringList before = TableRows(m_table);
        {
            CExclusiveWriter other(m_table);
            QVERIFY2(other.Holding(), other.Output().constData());
            // Reading waits for the lock for a while, then says why it gave up.
            CMyRecordSet set(SqliteMaterialSource(m_table, false));
            const QString why = Raised([&] { set.Open(); });
            QVERIFY2(why.contains(QStringLiteral("locked"), Qt::CaseInsensitive), qPrintable(why));
            QVERIFY(!set.IsOpen());
            QVERIFY(other.Commit());
        }
        QCOMPARE(TableRows(m_table), before + QStringList{"theirs|NULL|NULL|NULL|NULL|NULL|NULL|NULL"});

        // Open first, then the other writer takes the file: our new row is refused whole.
        CMyRecordSet set(SqliteMaterialSource(m_table, false));
        set.Open();
        const QStringList committed = TableRows(m_table);
        {
            CExclusiveWriter other(m_table);
            QVERIFY2(other.Holding(), other.Output().constData());
            const QString why = Raised([&] {
                set.AddNew();
                set.m_Material = QStringLiteral("ours");
                set.m_E1GPa = 100;
                set.Update();
            });
            QVERIFY2(why.contains(QStringLiteral("locked"), Qt::CaseInsensitive), qPrintable(why));
            QVERIFY(other.Commit());
        }
        QStringList expected = committed;
        expected << QStringLiteral("theirs|NULL|NULL|NULL|NULL|NULL|NULL|NULL");
        QCOMPARE(TableRows(m_table), expected);
        NoJournalLeft();
        // Once the other writer is done the same record set writes again.
        set.AddNew();
        set.m_Material = QStringLiteral("ours");
        set.Update();
        set.Requery();
        QCOMPARE(Scan(set), (QStringList{"glass", "theirs", "theirs", "ours"}));
    }

    void readOnlyMount() {
        const QByteArray before = Digest(m_table);
        static const bool privateNamespace =
            ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        const QByteArray dir = QFile::encodeName(m_dir);
        if (!privateNamespace || ::mount(dir.constData(), dir.constData(), nullptr, MS_BIND, nullptr) != 0)
            QSKIP("no private bind mount here");
        const bool readOnly =
            ::mount(nullptr, dir.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
        QString why;
        QStringList seen;
        {
            CMyRecordSet set(SqliteMaterialSource(m_table, false));
            if (readOnly) {
                set.Open();
                seen = Scan(set);
                why = Raised([&] {
                    set.AddNew();
                    set.m_Material = QStringLiteral("boron");
                    set.Update();
                });
                if (why.isEmpty())
                    why = QStringLiteral("<no exception>");
                const QString deleteWhy = Raised([&] { set.MoveFirst(); set.Delete(); });
                QVERIFY2(!deleteWhy.isEmpty(), "a delete on a read-only file reported success");
                QVERIFY(set.IsOpen());
            }
        }
        ::umount2(dir.constData(), MNT_DETACH);
        QVERIFY(readOnly);
        QCOMPARE(seen, QStringList{"glass"});
        // The record set sees the file is read-only and says so before the driver has to.
        QVERIFY2(why.contains(QStringLiteral("readonly"), Qt::CaseInsensitive) ||
                     why.contains(QStringLiteral("accepts no"), Qt::CaseInsensitive),
                 qPrintable(why));
        QCOMPARE(Digest(m_table), before);
        NoJournalLeft();
    }

    void writeCutByTheFileSizeLimit() {
        const QStringList before = TableRows(m_table);
        CMyRecordSet set(SqliteMaterialSource(m_table, false));
        set.Open();
        const qint64 size = QFileInfo(m_table).size();
        QString why;
        {
            CFileSizeLimit limit(static_cast<rlim_t>(size + 2048));
            why = Raised([&] {
                set.AddNew();
                set.m_Material = QString(200000, QLatin1Char('x'));  // a row far larger than the room left
                set.Update();
            });
        }
        QVERIFY2(!why.isEmpty(), "a write cut by the file-size limit reported success");
        QCOMPARE(TableRows(m_table), before);
        NoJournalLeft();
        // Room again: the same record set goes on.
        set.AddNew();
        set.m_Material = QStringLiteral("boron");
        set.Update();
        set.Requery();
        QCOMPARE(Scan(set), (QStringList{"glass", "boron"}));
    }
};

QTEST_GUILESS_MAIN(TestDatabaseFaults)
#include "test_database_faults.moc"
