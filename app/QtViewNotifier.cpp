#include "QtViewNotifier.h"

#include <algorithm>

void CQtViewNotifier::AddView(QWidget* view) {
    if (view && std::find(m_views.begin(), m_views.end(), view) == m_views.end())
        m_views.emplace_back(view);
}

void CQtViewNotifier::RemoveView(QWidget* view) {
    std::erase_if(m_views, [view](const QPointer<QWidget>& v) { return v.isNull() || v == view; });
}

void CQtViewNotifier::UpdateAllViews() {
    for (const auto& view : m_views)
        if (view)
            view->update();
}

std::vector<QWidget*> CQtViewNotifier::Views() const {
    std::vector<QWidget*> live;
    for (const auto& view : m_views)
        if (view)
            live.push_back(view);
    return live;
}
