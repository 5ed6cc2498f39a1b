#pragma once
// "Every view of the document redraws": the Qt side of IViewNotifier. A document's windows
// register their views here; a view that has been destroyed simply drops out.

#include <QPointer>
#include <QWidget>

#include <vector>

#include "UiServices.h"

class CQtViewNotifier : public IViewNotifier {
public:
    void AddView(QWidget* view);
    void RemoveView(QWidget* view);
    // Schedules a repaint of every live view (for an OpenGL view: its next frame).
    void UpdateAllViews() override;
    std::vector<QWidget*> Views() const;

private:
    std::vector<QPointer<QWidget>> m_views;
};
