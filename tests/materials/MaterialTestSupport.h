#pragma once
// What the material tests share: a private per-user data directory and ODBC configuration, so
// no test ever reaches the real material database, and tables written with plain SQL.

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <QtTest>
#include <optional>
#include <vector>

#include "MaterialSource.h"
#include "UiServices.h"

namespace materials_test {

inline constexpr const char* kOdbcDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";
inline constexpr const char* kTestDsn = "PemblarTable";
inline constexpr const char* kReadOnlyDsn = "PemblarTableReadOnly";

// Points the per-user data directory and the ODBC driver manager at files below root. Must run
// before anything asks either of them.
inline void IsolateEnvironment(const QString& root, const QString& tableFile) {
    const QString data = root + QStringLiteral("/data");
    const QString odbc = root + QStringLiteral("/odbc");
    QDir().mkpath(data);
    QDir().mkpath(odbc);
    qputenv("XDG_DATA_HOME", data.toLocal8Bit());
    qputenv("ODBCSYSINI", odbc.toLocal8Bit());
    qputenv("ODBCINI", (odbc + QStringLiteral("/user-odbc.ini")).toLocal8Bit());
    auto write = [](const QString& path, const QString& text) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
    };
    write(odbc + QStringLiteral("/odbcinst.ini"),
          QStringLiteral("[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=%1\n").arg(QLatin1String(kOdbcDriver)));
    write(odbc + QStringLiteral("/odbc.ini"), QString());
    write(odbc + QStringLiteral("/user-odbc.ini"),
          QStringLiteral("[%1]\nDriver=SQLite3\nDatabase=%2\n\n[%3]\nDriver=SQLite3\nDatabase=file:%2?mode=ro\n")
              .arg(QLatin1String(kTestDsn), tableFile, QLatin1String(kReadOnlyDsn)));
}

// One row as the tests write it; a missing value is NULL.
struct TestRow {
    std::optional<QString> name;
    std::optional<double> numbers[7];
};

inline TestRow Row(const QString& name, double e1, double e2, double g12, double v12, double v23,
                   double p, double angle) {
    TestRow row;
    row.name = name;
    const double values[7] = {e1, e2, g12, v12, v23, p, angle};
    for (int i = 0; i < 7; ++i)
        row.numbers[i] = values[i];
    return row;
}

// A connection of the test's own to a SQLite file, removed when it goes.
class DirectConnection {
public:
    explicit DirectConnection(const QString& path) : m_name(QStringLiteral("test-direct-") + path) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        if (!db.open())
            qFatal("cannot open %s", qPrintable(path));
    }
    ~DirectConnection() {
        { QSqlDatabase::database(m_name, false).close(); }
        QSqlDatabase::removeDatabase(m_name);
    }
    void Exec(const QString& sql) {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        if (!query.exec(sql))
            qFatal("%s: %s", qPrintable(sql), qPrintable(query.lastError().text()));
    }
    void Insert(const TestRow& row) {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        query.prepare(QStringLiteral("INSERT INTO material (Material, \"E1(GPa)\", \"E2(GPa)\", \"G12(GPa)\", "
                                     "v12, v23, p, Angle) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
        query.bindValue(0, row.name ? QVariant(*row.name) : QVariant(QMetaType::fromType<QString>()));
        for (int i = 0; i < 7; ++i)
            query.bindValue(i + 1, row.numbers[i] ? QVariant(*row.numbers[i]) : QVariant(QMetaType::fromType<double>()));
        if (!query.exec())
            qFatal("insert: %s", qPrintable(query.lastError().text()));
    }
    // Every row as "name|E1|...|Angle" in key order, NULL shown as "NULL".
    QStringList Rows() {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        query.exec(QStringLiteral("SELECT Material, \"E1(GPa)\", \"E2(GPa)\", \"G12(GPa)\", v12, v23, p, Angle "
                                  "FROM material ORDER BY ID"));
        QStringList rows;
        while (query.next()) {
            QStringList fields;
            for (int i = 0; i < 8; ++i)
                fields << (query.value(i).isNull() ? QStringLiteral("NULL") : query.value(i).toString());
            rows << fields.join(QLatin1Char('|'));
        }
        return rows;
    }

private:
    QString m_name;
};

// Makes path a new SQLite file with the material table (the name column may be declared NOT
// NULL, as some shared databases do) holding rows.
inline void WriteTable(const QString& path, const std::vector<TestRow>& rows, bool nameRequired = false) {
    QFile::remove(path);
    DirectConnection db(path);
    db.Exec(QStringLiteral("CREATE TABLE material (ID INTEGER PRIMARY KEY AUTOINCREMENT, Material VARCHAR(255)%1, "
                           "\"E1(GPa)\" DOUBLE, \"E2(GPa)\" DOUBLE, \"G12(GPa)\" DOUBLE, v12 DOUBLE, "
                           "v23 DOUBLE, p DOUBLE, Angle DOUBLE)")
                .arg(nameRequired ? QStringLiteral(" NOT NULL") : QString()));
    for (const TestRow& row : rows)
        db.Insert(row);
}

inline QStringList TableRows(const QString& path) {
    DirectConnection db(path);
    return db.Rows();
}

class RecordingSink : public IMessageSink {
public:
    void ShowMessage(const std::string& text) override { messages << QString::fromStdString(text); }
    QStringList messages;
};

}  // namespace materials_test
