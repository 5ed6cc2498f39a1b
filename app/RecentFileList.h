#pragma once
// The recent-file list: full paths, most recent first, at most a fixed number of entries, kept
// in the settings store under "Recent File List" as File1, File2, ...

#include <QString>
#include <QStringList>

class QSettings;

class CRecentFileList {
public:
    explicit CRecentFileList(int size) : m_nSize(size) {}

    // Puts path first; an entry already there moves up instead of appearing twice.
    void Add(const QString& path);
    void Remove(int index);
    int GetSize() const { return m_nSize; }
    int Count() const { return static_cast<int>(m_entries.size()); }
    bool IsEmpty() const { return m_entries.isEmpty(); }
    const QString& operator[](int index) const { return m_entries[index]; }
    const QStringList& Entries() const { return m_entries; }

    // Reads File1..FileN of the section; empty values end nothing, they are skipped.
    void ReadList(QSettings& settings);
    // Writes the section anew: File1..FileCount, stale higher entries removed.
    void WriteList(QSettings& settings) const;

    // The menu text of entry index: "&1 name" with the folder shortened when it is long.
    QString MenuText(int index, int maxChars = 60) const;

    static constexpr const char* kSection = "Recent File List";

private:
    int m_nSize;
    QStringList m_entries;
};
