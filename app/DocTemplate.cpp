#include "DocTemplate.h"

CDocTemplate::CDocTemplate(const QString& description) : m_fields(description.split('\n')) {}

QString CDocTemplate::GetDocString(DocStringIndex index) const {
    return index < m_fields.size() ? m_fields[index] : QString();
}

QString CDocTemplate::NextUntitledTitle() { return GetDocString(docName) + QString::number(++m_nUntitledCount); }
