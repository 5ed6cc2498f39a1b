#pragma once
// The main window: menu bar (128 while no document is open, 129 while one is), toolbar 128,
// status bar, and the area holding the document windows. It routes every command to the
// active view, its document, the document window, itself and the application, in that order.

#include <QMainWindow>
#include <QPointer>
#include <QTextBrowser>

#include <map>
#include <vector>

#include "CommandTarget.h"

class CChildFrame;
class CDocumentHost;
class IFrameApplication;
class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QStyle;
class QTextBrowser;
class QTimer;
class QToolBar;

class CMainFrame : public QMainWindow, public TCommandCarrier<CMainFrame> {
    Q_OBJECT
public:
    explicit CMainFrame(IFrameApplication* app, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Menus, toolbar and status bar. False when the toolbar or status bar cannot be built; the
    // reason is written to the diagnostic log.
    bool OnCreate();

    // Maximised; the frame also covers the screen's free area itself, since without a window
    // manager (a bare X server) nobody else would.
    void ShowMaximised();

    QMdiArea* MdiArea() const { return m_mdiArea; }
    QToolBar* ToolBar() const { return m_toolBar; }
    QLabel* MessagePane() const { return m_messagePane; }
    // What the active document's last run wrote and the element orders it used; hidden until a
    // run kept a result.
    QLabel* RunPane() const { return m_runPane; }
    QLabel* Indicator(int index) const { return m_indicators[index]; }  // 0 CAP, 1 NUM, 2 SCRL
    // The menu bar on show: 128 or 129.
    int CurrentMenu() const { return m_nCurrentMenu; }
    // The top-level menus of menu bar 128 or 129.
    const std::vector<QMenu*>& Menus(int menu) const { return menu == 128 ? m_menus128 : m_menus129; }
    // The action of a command in menu bar 128 or 129. Each menu bar has its own entries (assistive
    // technology sees an entry in one menu at one place), kept in step by UpdateCommandUI; the
    // toolbar shares those of 129.
    QAction* Action(int id, int menu = 129) const;
    // The recent-file entries of a menu bar's File menu (0: the one on show).
    QAction* RecentFilePlaceholder(int menu = 0) const { return Bar(menu).recentPlaceholder; }
    const std::vector<QAction*>& RecentFileActions(int menu = 0) const { return Bar(menu).recent; }

    CChildFrame* ActiveChild() const;
    std::vector<CChildFrame*> ChildFrames() const;
    // A new maximised window on host's document.
    CChildFrame* AddChildFrame(CDocumentHost* host);

    // Routing.
    std::vector<ICommandTarget*> RoutingChain() const;
    bool RouteCommand(int id);
    bool IsCommandEnabled(int id) const;
    // Enabled and checked states of every action, from the targets' rules.
    void UpdateCommandUI();
    // The recent-file entries of both File menus, from the application's list.
    void UpdateRecentFileMenu();
    // Menu bar and caption for the document windows present now.
    void UpdateFrameState();

    static constexpr const char* kIdleMessage = "For Help, press F1";
    // The Window menu lists this many document windows at most.
    static constexpr int kMaxWindowListEntries = 9;

    // Its commands (toolbar and status-bar toggles, window commands, Help Topics), carried from
    // the command table; each brings the enabled states up to date.
    void OnViewToolbar();
    void OnViewStatusBar();
    void OnHelpFinder();
    void OnWindowNew();
    void OnWindowCascade();
    void OnWindowTile();
    void OnWindowArrange();
    QTextBrowser* HelpWindow() const { return m_helpWindow; }

protected:
    const TCommandHandler<CMainFrame>* HandlerOf(int id) const override;
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateActions();
    QMenu* BuildMenu(const struct CMenuNode& node, int menu);
    bool CreateToolBar();
    bool CreateStatusBar();
    void ShowMenuBar(int menu);
    void UpdateIndicators();
    void UpdateRunPane();
    void UpdateWindowList();
    void SetMessageText(const QString& text);

    IFrameApplication* m_app;
    QMdiArea* m_mdiArea = nullptr;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_messagePane = nullptr;
    QLabel* m_runPane = nullptr;
    QLabel* m_indicators[3] = {nullptr, nullptr, nullptr};
    // The entries of one menu bar.
    struct CBarActions {
        int menu = 0;                          // 128 or 129
        std::map<int, QAction*> commands;
        QAction* recentPlaceholder = nullptr;  // "Recent File", greyed, while the list is empty
        std::vector<QAction*> recent;
        std::vector<QMenu*> fileMenus;         // where the recent-file entries go
    };
    const CBarActions& Bar(int menu) const;
    CBarActions& Bar(int menu) { return const_cast<CBarActions&>(static_cast<const CMainFrame*>(this)->Bar(menu)); }
    void CreateBarActions(CBarActions& bar);
    CBarActions m_bar128, m_bar129;
    std::vector<QMenu*> m_menus128;
    std::vector<QMenu*> m_menus129;
    QMenu* m_windowMenu = nullptr;    // ends with the list of document windows
    std::vector<QAction*> m_windowListActions;
    int m_nCurrentMenu = 0;
    int m_nChildrenMade = 0;  // steps each new window's restored place
    bool m_bDestroying = false;
    QString m_strCaption;
    QTimer* m_idleTimer = nullptr;
    QStyle* m_menuStyle = nullptr;  // lets greyed menu entries show their prompts
    QPointer<QTextBrowser> m_helpWindow;
};
