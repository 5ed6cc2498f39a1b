#include "MyRecordSet.h"

#include <sql.h>
#include <sqlext.h>

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

#include "DBException.h"

namespace {

constexpr int kNumberColumns = 7;

QString SqlErrorText(const QSqlError& error) {
    QString text = error.databaseText().trimmed();
    const QString driverText = error.driverText().trimmed();
    if (!driverText.isEmpty() && !text.contains(driverText))
        text = text.isEmpty() ? driverText : text + QStringLiteral(" (") + driverText + QStringLiteral(")");
    return text;
}

// Whether an ODBC connection says its data source accepts no changes.
bool OdbcSaysReadOnly(const QSqlDatabase& db) {
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || handle.metaType().sizeOf() != static_cast<int>(sizeof(SQLHANDLE)))
        return false;
    SQLHANDLE hdbc = *static_cast<const SQLHANDLE*>(handle.constData());
    if (!hdbc)
        return false;
    SQLCHAR answer[8] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(hdbc, SQL_DATA_SOURCE_READ_ONLY, answer, sizeof answer, &length)))
        return false;
    return answer[0] == 'Y';
}

bool IsSqliteUri(const QString& name) { return name.startsWith(QStringLiteral("file:")); }

}  // namespace

CMyRecordSet::CMyRecordSet() = default;

CMyRecordSet::CMyRecordSet(CMaterialSource source) : m_source(std::move(source)), m_bSourceChosen(true) {}

CMyRecordSet::~CMyRecordSet() {
    Close();
    if (!m_connection.isEmpty()) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connection, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(m_connection);
    }
}

void CMyRecordSet::Raise(const QString& what, const QString& detail) const {
    QString text = what;
    if (!detail.isEmpty())
        text += QStringLiteral(": ") + detail;
    throw CDBException(text.toStdString(), detail.toStdString());
}

void CMyRecordSet::DisconnectNow() {
    if (m_connection.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
    m_connection.clear();
    // The server rolls back what a vanished connection left open.
    m_bTransLost = m_bTransBegun;
    m_bTransBegun = false;
}

bool CMyRecordSet::DropConnectionIfLost() {
    if (m_connection.isEmpty())
        return false;
    {
        // A driver keeps calling a connection open after its server went away; only a
        // statement tells. One that needs no table fails only when the connection is gone
        // (or, on some servers, inside a transaction that failed, where closing is harmless:
        // the server rolls it back).
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isOpen()) {
            QSqlQuery probe(db);
            if (probe.exec(QStringLiteral("SELECT 1")) && probe.next())
                return false;
        }
    }
    DisconnectNow();
    return true;
}

void CMyRecordSet::RaiseStatement(const QString& what, const QString& detail) {
    if (!DropConnectionIfLost())
        Raise(what, detail);
    QString text = what;
    if (!detail.isEmpty())
        text += QStringLiteral(": ") + detail;
    text += QStringLiteral("\n\nThe connection to the material data source was lost; it is made again at the next action.");
    throw CDBException(text.toStdString(), detail.toStdString(), true);
}

QString CMyRecordSet::Quoted(const QString& column) const {
    return QSqlDatabase::database(m_connection, false).driver()->escapeIdentifier(column, QSqlDriver::FieldName);
}

QString CMyRecordSet::TableName() const {
    return QSqlDatabase::database(m_connection, false)
        .driver()
        ->escapeIdentifier(QString::fromLatin1(kMaterialTable), QSqlDriver::TableName);
}

void CMyRecordSet::Connect() {
    if (!m_connection.isEmpty() && QSqlDatabase::database(m_connection, false).isOpen())
        return;
    if (!m_bSourceChosen) {
        m_source = DefaultMaterialSource();
        m_bSourceChosen = true;
    }
    const QString where = QStringLiteral("Cannot open the material data source \"") +
                          m_source.databaseName + QStringLiteral("\"");
    if (!QSqlDatabase::isDriverAvailable(m_source.driver))
        Raise(where, QStringLiteral("the database driver ") + m_source.driver + QStringLiteral(" is not installed"));
    if (m_source.driver == QStringLiteral("QSQLITE") && !IsSqliteUri(m_source.databaseName) &&
        !QFileInfo::exists(m_source.databaseName)) {
        // SQLite would quietly make an empty file without the table; only the embedded
        // database is made here, and then complete with its seed rows.
        if (!m_source.createIfMissing)
            Raise(where, QStringLiteral("the file does not exist"));
        CreateMaterialDatabase(m_source.databaseName, LoadSeedMaterials());
    }
    if (m_connection.isEmpty())
        m_connection = QStringLiteral("pemblar-materials-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::contains(m_connection)
                              ? QSqlDatabase::database(m_connection, false)
                              : QSqlDatabase::addDatabase(m_source.driver, m_connection);
        db.setDatabaseName(m_source.databaseName);
        db.setConnectOptions(m_source.connectOptions);
        if (db.open()) {
            if (m_source.driver == QStringLiteral("QODBC"))
                m_bReadOnly = OdbcSaysReadOnly(db);
            else
                m_bReadOnly = m_source.connectOptions.contains(QStringLiteral("QSQLITE_OPEN_READONLY")) ||
                              (!IsSqliteUri(m_source.databaseName) &&
                               !QFileInfo(m_source.databaseName).isWritable());
            return;
        }
        error = SqlErrorText(db.lastError());
    }
    QSqlDatabase::removeDatabase(m_connection);
    m_connection.clear();
    Raise(where, error);
}

void CMyRecordSet::RunQuery() {
    Connect();
    try {
        RunQueryOnce();
    } catch (const CDBException& error) {
        // A connection that died since the last statement (a restarted server) is made again
        // once; reading twice changes nothing.
        if (!error.m_bConnectionLost)
            throw;
        Connect();
        RunQueryOnce();
    }
}

void CMyRecordSet::RunQueryOnce() {
    QStringList columns;
    for (const QString& column : MaterialColumns())
        columns << Quoted(column);
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) +
                    QStringLiteral(" FROM ") + TableName()))
        RaiseStatement(QStringLiteral("Cannot read the material table"), SqlErrorText(query.lastError()));
    std::vector<Row> rows;
    while (query.next()) {
        Row row;
        const QVariant key = query.value(0);
        if (!key.isNull())
            row.key = key.toLongLong();
        const QVariant name = query.value(1);
        row.nameNull = name.isNull();
        row.name = name.toString();
        for (int i = 0; i < kNumberColumns; ++i) {
            const QVariant value = query.value(i + 2);
            row.numbers[i] = value.isNull() ? kNullNumber : value.toDouble();
        }
        rows.push_back(std::move(row));
    }
    if (query.lastError().isValid())
        RaiseStatement(QStringLiteral("Cannot read the material table"), SqlErrorText(query.lastError()));
    query.finish();
    m_rows = std::move(rows);
    m_transDeleted.clear();
    m_nPos = 0;
    m_bAdding = false;
    LoadMembers();
}

void CMyRecordSet::Open() {
    if (m_bOpen)
        Close();
    RunQuery();
    m_bOpen = true;
}

void CMyRecordSet::Close() {
    m_bOpen = false;
    m_bAdding = false;
    m_rows.clear();
    m_nPos = 0;
}

void CMyRecordSet::RequireOpen(const char* operation) const {
    if (!m_bOpen)
        Raise(QStringLiteral("The material table is not open, so \"") + QString::fromLatin1(operation) +
                  QStringLiteral("\" cannot be done. Its data source could not be read when the list was last "
                                 "filled; check that the database can be reached, then close the form and open it again"),
              QString());
}

bool CMyRecordSet::IsBOF() const { return !m_bOpen || m_rows.empty(); }

bool CMyRecordSet::IsEOF() const { return !m_bOpen || m_nPos >= m_rows.size(); }

bool CMyRecordSet::HasCurrentRow() const {
    return m_bOpen && !m_bAdding && m_nPos < m_rows.size() && !m_rows[m_nPos].deleted;
}

void CMyRecordSet::LoadMembers() {
    if (m_nPos >= m_rows.size())
        return;
    const Row& row = m_rows[m_nPos];
    m_ID = row.key ? static_cast<int>(*row.key) : 0;
    m_Material = row.name;
    double* members[kNumberColumns] = {&m_E1GPa, &m_E2GPa, &m_G12GPa, &m_v12, &m_v23, &m_p, &m_Angle};
    for (int i = 0; i < kNumberColumns; ++i)
        *members[i] = row.numbers[i];
}

void CMyRecordSet::MoveFirst() {
    RequireOpen("MoveFirst");
    m_bAdding = false;
    m_nPos = 0;
    while (m_nPos < m_rows.size() && m_rows[m_nPos].deleted)
        ++m_nPos;
    LoadMembers();
}

void CMyRecordSet::MoveNext() {
    RequireOpen("MoveNext");
    if (IsEOF())
        Raise(QStringLiteral("Attempt to move past the last material"), QString());
    m_bAdding = false;
    ++m_nPos;
    while (m_nPos < m_rows.size() && m_rows[m_nPos].deleted)
        ++m_nPos;
    LoadMembers();
}

bool CMyRecordSet::CanUpdate() const { return !m_connection.isEmpty() && !m_bReadOnly; }

void CMyRecordSet::AddNew() {
    RequireOpen("AddNew");
    // A connection closed because it was lost is made again for the new row.
    Connect();
    if (!CanUpdate())
        Raise(QStringLiteral("The material data source accepts no new rows"), QString());
    m_bAdding = true;
    m_ID = 0;
    m_Material.clear();
    for (double* member : {&m_E1GPa, &m_E2GPa, &m_G12GPa, &m_v12, &m_v23, &m_p, &m_Angle})
        *member = kNullNumber;
}

void CMyRecordSet::Update() {
    RequireOpen("Update");
    if (!m_bAdding)
        Raise(QStringLiteral("Update without AddNew"), QString());
    m_bAdding = false;
    Connect();
    const QStringList& columns = MaterialColumns();
    const double values[kNumberColumns] = {m_E1GPa, m_E2GPa, m_G12GPa, m_v12, m_v23, m_p, m_Angle};
    QStringList names;
    QVariantList bound;
    // The key is the data source's; an empty name and the null marker stay NULL.
    if (!m_Material.isEmpty()) {
        names << Quoted(columns[1]);
        bound << m_Material;
    }
    for (int i = 0; i < kNumberColumns; ++i) {
        if (values[i] != kNullNumber) {
            names << Quoted(columns[i + 2]);
            bound << values[i];
        }
    }
    QString sql = QStringLiteral("INSERT INTO ") + TableName();
    if (names.isEmpty()) {
        sql += QStringLiteral(" DEFAULT VALUES");
    } else {
        QStringList marks;
        for (int i = 0; i < names.size(); ++i)
            marks << QStringLiteral("?");
        sql += QStringLiteral(" (") + names.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (") +
               marks.join(QStringLiteral(", ")) + QStringLiteral(")");
    }
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.prepare(sql))
        RaiseStatement(QStringLiteral("Cannot add the material"), SqlErrorText(query.lastError()));
    for (int i = 0; i < bound.size(); ++i)
        query.bindValue(i, bound[i]);
    if (!query.exec())
        RaiseStatement(QStringLiteral("Cannot add the material"), SqlErrorText(query.lastError()));
    LoadMembers();
}

void CMyRecordSet::Delete() {
    RequireOpen("Delete");
    if (!HasCurrentRow())
        Raise(QStringLiteral("No current record"), QString());
    Connect();
    if (m_bReadOnly)
        Raise(QStringLiteral("The material data source accepts no changes"), QString());
    QSqlQuery query = RunOnCurrentRow(QStringLiteral("DELETE FROM "), QStringLiteral("Cannot delete the material"));
    // A statement that touched no row found the row gone: said, never taken for success.
    if (query.numRowsAffected() == 0)
        throw CDBException("The material is no longer in the material set: another user removed it since the list "
                           "was read.",
                           {}, false, true);
    m_rows[m_nPos].deleted = true;
    if (m_bInTrans)
        m_transDeleted.push_back(m_nPos);
}

QString CMyRecordSet::RowCondition(const Row& row, QVariantList& bound) const {
    const QStringList& columns = MaterialColumns();
    if (row.key) {
        bound << *row.key;
        return QStringLiteral(" WHERE ") + Quoted(columns[0]) + QStringLiteral(" = ?");
    }
    // A row without a key is found by its values; identical keyless rows go together.
    QStringList terms;
    terms << Quoted(columns[0]) + QStringLiteral(" IS NULL");
    if (row.nameNull) {
        terms << Quoted(columns[1]) + QStringLiteral(" IS NULL");
    } else {
        terms << Quoted(columns[1]) + QStringLiteral(" = ?");
        bound << row.name;
    }
    for (int i = 0; i < kNumberColumns; ++i) {
        if (row.numbers[i] == kNullNumber) {
            terms << Quoted(columns[i + 2]) + QStringLiteral(" IS NULL");
        } else {
            terms << Quoted(columns[i + 2]) + QStringLiteral(" = ?");
            bound << row.numbers[i];
        }
    }
    return QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
}

bool CMyRecordSet::CurrentRowStillThere() {
    RequireOpen("CurrentRowStillThere");
    if (!HasCurrentRow())
        Raise(QStringLiteral("No current record"), QString());
    Connect();
    QSqlQuery query = RunOnCurrentRow(QStringLiteral("SELECT COUNT(*) FROM "), QStringLiteral("Cannot read the material table"));
    if (!query.next())
        RaiseStatement(QStringLiteral("Cannot read the material table"), SqlErrorText(query.lastError()));
    return query.value(0).toLongLong() > 0;
}

QSqlQuery CMyRecordSet::RunOnCurrentRow(const QString& head, const QString& failure) {
    QVariantList bound;
    const QString sql = head + TableName() + RowCondition(m_rows[m_nPos], bound);
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.prepare(sql))
        RaiseStatement(failure, SqlErrorText(query.lastError()));
    for (int i = 0; i < bound.size(); ++i)
        query.bindValue(i, bound[i]);
    if (!query.exec())
        RaiseStatement(failure, SqlErrorText(query.lastError()));
    return query;
}

void CMyRecordSet::Requery() {
    RequireOpen("Requery");
    RunQuery();
}

bool CMyRecordSet::CanTransact() const {
    if (m_connection.isEmpty())
        return false;
    return QSqlDatabase::database(m_connection, false).driver()->hasFeature(QSqlDriver::Transactions);
}

void CMyRecordSet::BeginTrans() {
    RequireOpen("BeginTrans");
    m_transDeleted.clear();
    Connect();
    m_bInTrans = true;
    m_bTransLost = false;
    if (!CanTransact())
        return;
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.transaction()) {
            m_bTransBegun = true;
            return;
        }
        error = SqlErrorText(db.lastError());
    }
    m_bInTrans = false;
    RaiseStatement(QStringLiteral("Cannot start a transaction"), error);
}

void CMyRecordSet::CommitTrans() {
    RequireOpen("CommitTrans");
    m_bInTrans = false;
    m_transDeleted.clear();
    if (!m_bTransBegun || m_connection.isEmpty())
        return;
    m_bTransBegun = false;
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.commit())
            return;
        error = SqlErrorText(db.lastError());
    }
    RaiseStatement(QStringLiteral("Cannot store the change"), error);
}

void CMyRecordSet::Rollback() {
    // The rows deleted inside the unit of work are back in the table, so back in the keyset;
    // also when the connection was lost on the way.
    if (m_bInTrans && (m_bTransBegun || m_bTransLost)) {
        for (std::size_t index : m_transDeleted)
            if (index < m_rows.size())
                m_rows[index].deleted = false;
    }
    m_bInTrans = false;
    m_bTransLost = false;
    m_transDeleted.clear();
    if (!m_bTransBegun || m_connection.isEmpty()) {
        m_bTransBegun = false;
        return;
    }
    m_bTransBegun = false;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    db.rollback();
}
