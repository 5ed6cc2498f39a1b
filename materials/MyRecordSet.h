#pragma once
// The program's only access to the material database: an updatable record set over the table
// "material" with nine columns. Open reads the keys and values of every row (a keyset); the
// scan then moves over that keyset, so rows added by AddNew/Update are seen only after
// Requery. Every failure of the data source or of the driver is raised as CDBException; the
// record set never shows anything itself and never checks or interprets values.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <vector>

#include "MaterialSource.h"

class QSqlQuery;

class CMyRecordSet {
public:
    // Without a source: the program's default data source, decided at the first Open.
    CMyRecordSet();
    explicit CMyRecordSet(CMaterialSource source);
    ~CMyRecordSet();
    CMyRecordSet(const CMyRecordSet&) = delete;
    CMyRecordSet& operator=(const CMyRecordSet&) = delete;

    bool IsOpen() const { return m_bOpen; }
    // Connects on first use, runs the query and positions on the first row (past the end for
    // an empty table). A failed Open leaves the record set closed.
    void Open();
    void Close();
    bool IsBOF() const;
    bool IsEOF() const;
    void MoveFirst();
    void MoveNext();
    // Starts a new row: the members read as null until assigned. Raises when the data source
    // accepts no changes.
    void AddNew();
    // Writes the row started by AddNew: the name and the seven numbers, except an empty name
    // and numbers equal to kNullNumber, which stay NULL. The key is the data source's.
    void Update();
    // Deletes the current row; raises when there is none, and (with m_bRowGone) when the table
    // no longer holds it: another user removed it since the list was read.
    void Delete();
    // Whether the table still holds the current row (not deleted by another user meanwhile).
    bool CurrentRowStillThere();
    void Requery();
    bool CanUpdate() const;

    // One unit of work on the connection, so a row can be replaced without losing it when the
    // new row is refused. Without driver support they do nothing; CanTransact says which.
    bool CanTransact() const;
    void BeginTrans();
    void CommitTrans();
    void Rollback();

    const CMaterialSource& Source() const { return m_source; }

    // What a NULL number reads as.
    static constexpr double kNullNumber = -9.123e19;
    static constexpr int m_nFields = 9;

    // The current row (bound columns, in binding order).
    int m_ID = 0;
    QString m_Material;
    double m_E1GPa = 0;
    double m_E2GPa = 0;
    double m_G12GPa = 0;
    double m_v12 = 0;
    double m_v23 = 0;
    double m_p = 0;
    double m_Angle = 0;

private:
    struct Row {
        std::optional<qlonglong> key;  // NULL keys are allowed by the table
        QString name;
        bool nameNull = false;
        double numbers[7] = {};
        bool deleted = false;
    };

    void Connect();
    // Closes our connection when a failed statement left it dead (a restarted or unreachable
    // server), so the next action connects afresh; true when it did.
    bool DropConnectionIfLost();
    void DisconnectNow();
    void RunQuery();
    void RunQueryOnce();
    void LoadMembers();
    void RequireOpen(const char* operation) const;
    // " WHERE ..." finding the current row by its key, or by its values when it has none.
    QString RowCondition(const Row& row, QVariantList& bound) const;
    // Runs head + table + the current row's condition ("DELETE FROM ", "SELECT COUNT(*) FROM ");
    // a failure raises with failure's words.
    QSqlQuery RunOnCurrentRow(const QString& head, const QString& failure);
    bool HasCurrentRow() const;
    QString Quoted(const QString& column) const;
    QString TableName() const;
    [[noreturn]] void Raise(const QString& what, const QString& detail) const;
    // Raises a failed statement's error, first closing the connection if it is gone.
    [[noreturn]] void RaiseStatement(const QString& what, const QString& detail);

    CMaterialSource m_source;
    bool m_bSourceChosen = false;
    QString m_connection;  // our own connection, made at the first Open
    bool m_bOpen = false;
    bool m_bAdding = false;
    bool m_bReadOnly = false;
    bool m_bInTrans = false;
    bool m_bTransBegun = false;  // the data source itself holds an open transaction
    bool m_bTransLost = false;   // it did, until the connection was lost
    std::vector<std::size_t> m_transDeleted;  // rows deleted since BeginTrans
    std::vector<Row> m_rows;
    std::size_t m_nPos = 0;  // index into m_rows; m_rows.size() is past the end
};
