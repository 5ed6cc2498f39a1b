// The main window's document windows: making one for a document, the Window menu's list of
// the open windows (the documents' and their tool windows) and its commands New Window,
// Cascade, Tile and Arrange Icons.

#include "MainFrm.h"

#include <algorithm>

#include <QAction>
#include <QMdiArea>
#include <QMenu>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QTimer>

#include "ChildFrm.h"
#include "DocumentHost.h"
#include "FrameApplication.h"
#include "ToolbarIcons.h"
#include "ViewFactory.h"
#include "WindowArrangement.h"

namespace {

// How far one document window stands below and right of the one before it: its title bar.
int TitleBarStep(const QWidget* window) {
    QStyleOptionTitleBar option;
    option.initFrom(window);
    option.titleBarFlags = Qt::SubWindow;
    const int title = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, window);
    const int frame = window->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, window);
    return std::max(8, title + frame);
}

// One entry of the Window menu's list: "&<number> <title>", an ampersand of the title shown as one.
template <class Activate>
QAction* AddWindowEntry(QMenu& menu, std::size_t number, QString title, Activate activate) {
    title.replace("&", "&&");
    QAction* action = menu.addAction(QStringLiteral("&%1 %2").arg(number).arg(title));
    action->setStatusTip("Activate this window");
    QObject::connect(action, &QAction::triggered, &menu, std::move(activate));
    return action;
}

}  // namespace

CChildFrame* CMainFrame::AddChildFrame(CDocumentHost* host) {
    auto* child = new CChildFrame(host);
    child->setWindowIcon(ApplicationIcon());
    SetViewPrinter(child->View(), &m_app->Printer());
    SetViewModalRunner(child->View(), m_app->ModalRunner());
    m_mdiArea->addSubWindow(child);
    // The place the window goes back to when it is restored (by the user, by activating
    // another maximised window, by Cascade): a usable size, never its bare title bar.
    child->setGeometry(DefaultChildGeometry(m_mdiArea->viewport()->size(), m_nChildrenMade++, TitleBarStep(child)));
    connect(child, &QObject::destroyed, this, [this] { QTimer::singleShot(0, this, [this] { UpdateFrameState(); }); });
    connect(child, &QWidget::windowTitleChanged, this, [this] { UpdateFrameState(); });
    child->ActivateFrame();
    m_mdiArea->setActiveSubWindow(child);
    UpdateFrameState();
    return child;
}

void CMainFrame::UpdateWindowList() {
    // As on every multiple-document desktop: the open windows below the Window commands, the
    // active one checked.
    if (!m_windowMenu)
        return;
    for (QAction* action : m_windowListActions) {
        m_windowMenu->removeAction(action);
        action->deleteLater();
    }
    m_windowListActions.clear();
    const auto children = ChildFrames();
    if (children.empty())
        return;
    m_windowListActions.push_back(m_windowMenu->addSeparator());
    CChildFrame* active = ActiveChild();
    for (std::size_t i = 0; i < children.size() && i < kMaxWindowListEntries; ++i) {
        QPointer<CChildFrame> child = children[i];
        QAction* action = AddWindowEntry(*m_windowMenu, i + 1, child->windowTitle(), [this, child] {
            if (!child)
                return;
            if (child->isMinimized())
                child->showNormal();
            m_mdiArea->setActiveSubWindow(child);
        });
        action->setCheckable(true);
        action->setChecked(children[i] == active);
        m_windowListActions.push_back(action);
    }
    // Then the documents' other windows (dispersion curves, study results).
    std::vector<QWidget*> others;
    for (CChildFrame* child : children)
        if (CDocumentHost* host = child->Host())
            for (QWidget* window : host->ToolWindows())
                if (std::find(others.begin(), others.end(), window) == others.end())
                    others.push_back(window);
    for (std::size_t i = 0; i < others.size() && children.size() + i < kMaxWindowListEntries; ++i) {
        QPointer<QWidget> window = others[i];
        m_windowListActions.push_back(AddWindowEntry(*m_windowMenu, children.size() + i + 1, window->windowTitle(), [window] {
            if (!window)
                return;
            if (window->isMinimized())
                window->showNormal();
            window->show();
            window->raise();
            window->activateWindow();
        }));
    }
}

void CMainFrame::OnWindowTile() {
    m_mdiArea->tileSubWindows();
    UpdateCommandUI();
}

void CMainFrame::OnWindowNew() {
    CChildFrame* active = ActiveChild();
    if (active && active->Host())
        AddChildFrame(active->Host());
}

void CMainFrame::OnWindowCascade() {
    // The windows overlap at a usable size, the active one in front. (The area's own cascade
    // sizes windows from their size hints, which an OpenGL view does not give.)
    std::vector<CChildFrame*> order;
    CChildFrame* active = ActiveChild();
    for (CChildFrame* child : ChildFrames())
        if (child != active && !child->isMinimized())
            order.push_back(child);
    if (active && !active->isMinimized())
        order.push_back(active);
    if (order.empty())
        return;
    const std::vector<QRect> places =
        CascadeGeometries(m_mdiArea->viewport()->size(), int(order.size()), TitleBarStep(order.front()));
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (order[i]->isMaximized())
            order[i]->showNormal();
        order[i]->setGeometry(places[i]);
        order[i]->raise();
    }
    if (active)
        m_mdiArea->setActiveSubWindow(active);
}

void CMainFrame::OnWindowArrange() {
    // Minimised document windows in a row along the bottom edge, left to right.
    int x = 0;
    const int bottom = m_mdiArea->viewport()->height();
    for (CChildFrame* child : ChildFrames()) {
        if (!child->isMinimized())
            continue;
        child->move(x, bottom - child->height());
        x += child->width();
    }
}
