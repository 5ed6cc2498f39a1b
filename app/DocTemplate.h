#pragma once
// The one document type, described by a newline-separated string: window title, document name
// (the base of new titles), the name offered for New, file-dialog filter name, file extension,
// shell file-type identifier and its display name.

#include <QString>
#include <QStringList>

class CDocTemplate {
public:
    enum DocStringIndex { windowTitle, docName, fileNewName, filterName, filterExt, regFileTypeId, regFileTypeName };

    explicit CDocTemplate(const QString& description);
    // The field, empty when the description has fewer fields.
    QString GetDocString(DocStringIndex index) const;
    // "Pemblar1", "Pemblar2", ...: the document name and a number that never repeats.
    QString NextUntitledTitle();

    static constexpr const char* kDescription = "\nPemblar\nPemblar\n\n\nPemblar.Document\nPemblar Document";
    static constexpr int kResourceId = 129;

private:
    QStringList m_fields;
    int m_nUntitledCount = 0;
};
