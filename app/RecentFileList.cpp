#include "RecentFileList.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

void CRecentFileList::Add(const QString& path) {
    if (path.isEmpty())
        return;
    m_entries.removeAll(path);
    m_entries.prepend(path);
    while (m_entries.size() > m_nSize)
        m_entries.removeLast();
}

void CRecentFileList::Remove(int index) {
    if (index >= 0 && index < m_entries.size())
        m_entries.removeAt(index);
}

void CRecentFileList::ReadList(QSettings& settings) {
    m_entries.clear();
    settings.beginGroup(kSection);
    for (int i = 1; i <= m_nSize; ++i) {
        const QString value = settings.value(QStringLiteral("File%1").arg(i)).toString();
        if (!value.isEmpty() && !m_entries.contains(value))
            m_entries.append(value);
    }
    settings.endGroup();
}

void CRecentFileList::WriteList(QSettings& settings) const {
    settings.beginGroup(kSection);
    settings.remove(QString());  // the whole section, so a shorter list leaves no stale entries
    for (int i = 0; i < m_entries.size(); ++i)
        settings.setValue(QStringLiteral("File%1").arg(i + 1), m_entries[i]);
    settings.endGroup();
}

QString CRecentFileList::MenuText(int index, int maxChars) const {
    if (index < 0 || index >= m_entries.size())
        return {};
    QString shown = QDir::toNativeSeparators(m_entries[index]);
    const QString home = QDir::homePath();
    if (!home.isEmpty() && home != "/" && shown.startsWith(home + "/"))
        shown = "~" + shown.mid(home.size());
    if (shown.size() > maxChars) {
        // Keep the file name whole and as much of the start of the path as fits.
        const QString name = QFileInfo(shown).fileName();
        const int keep = qMax(0, maxChars - static_cast<int>(name.size()) - 4);
        shown = shown.left(keep) + QStringLiteral(".../") + name;
    }
    shown.replace("&", "&&");
    return QStringLiteral("&%1 %2").arg(index + 1).arg(shown);
}
