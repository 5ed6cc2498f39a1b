#include "MaterialSource.h"

#include <sql.h>
#include <sqlext.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUuid>

#include "DBException.h"
#include "MyRecordSet.h"
#include "OstrelDoc.h"

// Outside any namespace: the macro declares the resource's initialiser where it stands.
static void InitMaterialResources() {
    // The seed list lives in a static library; nothing else would pull it into the program.
    Q_INIT_RESOURCE(materials);
}

namespace {

constexpr const char* kSeedResource = ":/materials/seed_materials.csv";

// A connection used for one piece of work and removed again, whatever happens.
class CScopedConnection {
public:
    CScopedConnection(const QString& driver, const QString& databaseName)
        : m_name(QStringLiteral("pemblar-create-") + QUuid::createUuid().toString(QUuid::WithoutBraces)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, m_name);
        db.setDatabaseName(databaseName);
    }
    ~CScopedConnection() {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase Database() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
};

[[noreturn]] void RaiseSql(const QString& what, const QSqlError& error) {
    throw CDBException((what + QStringLiteral(": ") + error.text()).toStdString());
}

void Exec(QSqlQuery& query, const QString& sql) {
    if (!query.exec(sql))
        RaiseSql(QStringLiteral("Cannot create the material table"), query.lastError());
}

QString CreateTableSql(const QSqlDriver* driver) {
    const QStringList& columns = MaterialColumns();
    auto field = [driver](const QString& name) {
        return driver->escapeIdentifier(name, QSqlDriver::FieldName);
    };
    QString sql = QStringLiteral("CREATE TABLE ") +
                  driver->escapeIdentifier(QString::fromLatin1(kMaterialTable), QSqlDriver::TableName) +
                  QStringLiteral(" (") + field(columns[0]) +
                  QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT, ") + field(columns[1]) +
                  QStringLiteral(" VARCHAR(255)");
    for (int i = 2; i < columns.size(); ++i)
        sql += QStringLiteral(", ") + field(columns[i]) + QStringLiteral(" DOUBLE");
    return sql + QStringLiteral(")");
}

void FillDatabase(QSqlDatabase& db, const std::vector<CSeedMaterial>& rows) {
    const QSqlDriver* driver = db.driver();
    QSqlQuery query(db);
    Exec(query, CreateTableSql(driver));
    const QStringList& columns = MaterialColumns();
    QStringList names;
    QStringList marks;
    for (int i = 1; i < columns.size(); ++i) {
        names << driver->escapeIdentifier(columns[i], QSqlDriver::FieldName);
        marks << QStringLiteral("?");
    }
    const QString insert = QStringLiteral("INSERT INTO ") +
                           driver->escapeIdentifier(QString::fromLatin1(kMaterialTable), QSqlDriver::TableName) +
                           QStringLiteral(" (") + names.join(QStringLiteral(", ")) +
                           QStringLiteral(") VALUES (") + marks.join(QStringLiteral(", ")) +
                           QStringLiteral(")");
    if (!db.transaction())
        RaiseSql(QStringLiteral("Cannot create the material table"), db.lastError());
    if (!query.prepare(insert))
        RaiseSql(QStringLiteral("Cannot create the material table"), query.lastError());
    for (const CSeedMaterial& row : rows) {
        query.bindValue(0, row.name);
        for (int i = 0; i < 7; ++i)
            query.bindValue(i + 1, row.numbers[i]);
        if (!query.exec())
            RaiseSql(QStringLiteral("Cannot create the material table"), query.lastError());
    }
    query.finish();
    if (!db.commit())
        RaiseSql(QStringLiteral("Cannot create the material table"), db.lastError());
}

[[noreturn]] void FailSeedLine(int index, const char* why) {
    throw CDBException("Seed material list, line " + std::to_string(index + 1) + ": " + why);
}

}  // namespace

const QStringList& MaterialColumns() {
    static const QStringList columns = {
        QStringLiteral("ID"),        QStringLiteral("Material"), QStringLiteral("E1(GPa)"),
        QStringLiteral("E2(GPa)"),   QStringLiteral("G12(GPa)"), QStringLiteral("v12"),
        QStringLiteral("v23"),       QStringLiteral("p"),        QStringLiteral("Angle"),
    };
    return columns;
}

bool IsOdbcDataSourceDefined(const QString& name) {
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return false;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    bool found = false;
    SQLCHAR dsn[SQL_MAX_DSN_LENGTH + 1];
    SQLCHAR description[512];
    SQLSMALLINT dsnLength = 0;
    SQLSMALLINT descriptionLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    // User and system data sources both count; data source names ignore letter case.
    while (!found && SQL_SUCCEEDED(SQLDataSources(env, direction, dsn, sizeof dsn, &dsnLength,
                                                  description, sizeof description,
                                                  &descriptionLength))) {
        found = QString::fromLocal8Bit(reinterpret_cast<const char*>(dsn))
                    .compare(name, Qt::CaseInsensitive) == 0;
        direction = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return found;
}

CMaterialSource OdbcMaterialSource(const QString& dataSourceName) {
    // The bare data source name: the driver manager looks it up; "DSN=...;" does not connect.
    return {QStringLiteral("QODBC"), dataSourceName, QString(), false};
}

CMaterialSource SqliteMaterialSource(const QString& path, bool createIfMissing) {
    return {QStringLiteral("QSQLITE"), path, QString(), createIfMissing};
}

QString EmbeddedMaterialDatabasePath() {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir(dir).filePath(QString::fromLatin1(kMaterialDatabaseFile));
}

CMaterialSource DefaultMaterialSource(const QString& dataSourceName) {
    if (IsOdbcDataSourceDefined(dataSourceName))
        return OdbcMaterialSource(dataSourceName);
    return SqliteMaterialSource(EmbeddedMaterialDatabasePath(), true);
}

std::vector<CSeedMaterial> ParseSeedMaterials(const QString& text) {
    std::vector<CSeedMaterial> rows;
    const QStringList lines = text.split(QLatin1Char('\n'));
    bool headerSeen = false;
    for (int n = 0; n < lines.size(); ++n) {
        const QString line = lines[n].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char(','));
        if (!headerSeen) {
            if (fields.size() < 9 || fields[0].trimmed() != MaterialColumns()[1])
                FailSeedLine(n, "the header does not name the material columns");
            headerSeen = true;
            continue;
        }
        if (fields.size() != 9)
            FailSeedLine(n, "a row has not nine fields");
        CSeedMaterial row;
        row.name = fields[0].trimmed();
        if (row.name.isEmpty() || row.name.size() > 255)
            FailSeedLine(n, "a material name is empty or longer than 255 characters");
        for (int i = 0; i < 7; ++i) {
            bool ok = false;
            row.numbers[i] = fields[i + 1].trimmed().toDouble(&ok);
            if (!ok)
                FailSeedLine(n, "a value is not a number");
        }
        row.source = fields[8].trimmed();
        rows.push_back(row);
    }
    return rows;
}

std::vector<CSeedMaterial> LoadSeedMaterials() {
    InitMaterialResources();
    QFile file(QString::fromLatin1(kSeedResource));
    if (!file.open(QIODevice::ReadOnly))
        throw CDBException("The seed material list is missing from the program.");
    return ParseSeedMaterials(QString::fromUtf8(file.readAll()));
}

QString SeedMaterialsCsv(const std::vector<CSeedMaterial>& rows) {
    QStringList header;
    for (int i = 1; i < MaterialColumns().size(); ++i)
        header << MaterialColumns()[i];
    QString text = header.join(QLatin1Char(',')) + QLatin1Char('\n');
    for (const CSeedMaterial& row : rows) {
        QString name = row.name;
        name.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        text += QLatin1Char('"') + name + QLatin1Char('"');
        for (double value : row.numbers)
            text += QLatin1Char(',') + QString::number(value, 'g', 15);
        text += QLatin1Char('\n');
    }
    return text;
}

void CreateMaterialDatabase(const QString& path, const std::vector<CSeedMaterial>& rows) {
    const QFileInfo target(path);
    if (!QDir().mkpath(target.absolutePath()))
        throw CDBException(("Cannot create the directory " + target.absolutePath() +
                            " for the material database.").toStdString());
    const QString partial = path + QStringLiteral(".part");
    QFile::remove(partial);
    try {
        CScopedConnection connection(QStringLiteral("QSQLITE"), partial);
        QSqlDatabase db = connection.Database();
        if (!db.open())
            RaiseSql(QStringLiteral("Cannot create the material database ") + path, db.lastError());
        FillDatabase(db, rows);
    } catch (...) {
        QFile::remove(partial);
        throw;
    }
    // Another instance may have made it meanwhile: keep theirs.
    if (QFileInfo::exists(path)) {
        QFile::remove(partial);
        return;
    }
    if (!QFile::rename(partial, path)) {
        QFile::remove(partial);
        throw CDBException(("Cannot create the material database " + path + ".").toStdString());
    }
}

std::shared_ptr<CMyRecordSet> EnsureMaterialRecordSet(COstrelDoc& doc) {
    if (!doc.m_recordSet)
        doc.m_recordSet = std::make_shared<CMyRecordSet>();
    return doc.m_recordSet;
}
