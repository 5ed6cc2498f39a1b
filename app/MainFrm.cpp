#include "MainFrm.h"

#include <algorithm>

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QProxyStyle>
#include <QStyle>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include "ChildFrm.h"
#include "CommandIds.h"
#include "CommandTable.h"
#include "DocumentHost.h"
#include "HelpWindow.h"
#include "KeyLockState.h"
#include "FrameApplication.h"
#include "RecentFileList.h"
#include "SolverRun.h"
#include "ToolbarIcons.h"
#include "ViewFactory.h"

namespace {

QString Text(const char* s) { return s ? QString::fromUtf8(s) : QString(); }

// A QAction showing the table's texts for id under the given menu bar.
QAction* MakeAction(const CCommandInfo& info, int menu, QObject* parent) {
    const CMenuLabel label = MenuLabelFor(info.id, menu);
    auto* action = new QAction(parent);
    action->setText(label.text.empty() ? Text(info.prompt) : QString::fromStdString(label.text));
    if (!label.shortcut.empty())
        action->setShortcut(QKeySequence(QString::fromStdString(label.shortcut)));
    action->setStatusTip(Text(info.prompt));
    action->setToolTip(info.toolTip ? Text(info.toolTip) : action->text());
    action->setData(info.id);
    if (info.id == Cmd::kViewToolbar || info.id == Cmd::kViewStatusBar)
        action->setCheckable(true);
    if (info.places & kPlaceToolbar)
        action->setIcon(ToolbarIcon(info.id));
    return action;
}

// Menus in which a greyed entry can be highlighted, so the status bar explains it too (the
// prompt of "Open..." without a document, of "Recent File", of an Execute that waits for its
// input).
class CMenuPromptStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == QStyle::SH_Menu_AllowActiveAndDisabled)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

bool HasLocalFile(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return false;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            return true;
    return false;
}

}  // namespace

CMainFrame::CMainFrame(IFrameApplication* app, QWidget* parent) : QMainWindow(parent), m_app(app) {
    setObjectName("MainFrame128");
    m_strCaption = "Pemblar";
    setWindowTitle(m_strCaption);
    setWindowIcon(ApplicationIcon());
    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setObjectName("mdiArea");
    setCentralWidget(m_mdiArea);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, [this] { UpdateFrameState(); });
}

CMainFrame::~CMainFrame() {
    // The document windows go first, while everything they notify is still whole.
    m_bDestroying = true;
    if (m_idleTimer)
        m_idleTimer->stop();
    disconnect(m_mdiArea, nullptr, this, nullptr);
    delete m_mdiArea;
    m_mdiArea = nullptr;
}

void CMainFrame::ShowMaximised() {
    if (QScreen* screen = this->screen())
        setGeometry(screen->availableGeometry());
    showMaximized();
}

bool CMainFrame::OnCreate() {
    CreateActions();
    for (const CMenuNode& node : MenuBarLayout(128))
        m_menus128.push_back(BuildMenu(node, 128));
    for (const CMenuNode& node : MenuBarLayout(129))
        m_menus129.push_back(BuildMenu(node, 129));
    if (!CreateToolBar()) {
        qWarning("Failed to create toolbar");
        return false;
    }
    if (!CreateStatusBar()) {
        qWarning("Failed to create status bar");
        return false;
    }
    ShowMenuBar(128);
    UpdateRecentFileMenu();

    // Enabling follows the document state; refresh it whenever the program is idle a moment
    // as well as when a menu opens.
    m_idleTimer = new QTimer(this);
    m_idleTimer->setInterval(200);
    connect(m_idleTimer, &QTimer::timeout, this, [this] {
        UpdateCommandUI();
        UpdateIndicators();
    });
    m_idleTimer->start();
    UpdateCommandUI();
    UpdateIndicators();
    return true;
}

void CMainFrame::CreateActions() {
    m_bar128.menu = 128;
    m_bar129.menu = 129;
    CreateBarActions(m_bar128);
    CreateBarActions(m_bar129);
}

void CMainFrame::CreateBarActions(CBarActions& bar) {
    for (const CCommandInfo& info : CommandTable()) {
        if (info.id == Cmd::kFileMruFirst)
            continue;  // the recent-file entries are made below
        QAction* action = MakeAction(info, bar.menu, this);
        connect(action, &QAction::triggered, this, [this, id = info.id] { RouteCommand(id); });
        bar.commands[info.id] = action;
    }
    const CCommandInfo& recent = *FindCommand(Cmd::kFileMruFirst);
    bar.recentPlaceholder = MakeAction(recent, bar.menu, this);
    bar.recentPlaceholder->setEnabled(false);
    for (int i = 0; i < kRecentFileCount; ++i) {
        auto* action = new QAction(this);
        action->setStatusTip(Text(recent.prompt));
        action->setData(Cmd::kFileMruFirst + i);
        connect(action, &QAction::triggered, this, [this, id = Cmd::kFileMruFirst + i] { RouteCommand(id); });
        bar.recent.push_back(action);
    }
}

const CMainFrame::CBarActions& CMainFrame::Bar(int menu) const {
    if (menu == 0)
        menu = m_nCurrentMenu == 128 ? 128 : 129;
    return menu == 128 ? m_bar128 : m_bar129;
}

QMenu* CMainFrame::BuildMenu(const CMenuNode& node, int menu) {
    auto* popup = new QMenu(QString::fromUtf8(node.title), this);
    if (!m_menuStyle) {
        m_menuStyle = new CMenuPromptStyle;
        m_menuStyle->setParent(this);
    }
    popup->setStyle(m_menuStyle);
    connect(popup, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    if (menu == 129 && QByteArray(node.title) == "&Window") {
        m_windowMenu = popup;
        // Windows beside the documents' come and go without a command: the list is made afresh.
        connect(popup, &QMenu::aboutToShow, this, &CMainFrame::UpdateWindowList);
    }
    for (const CMenuNode& child : node.children) {
        switch (child.kind) {
        case CMenuNode::Kind::Command: popup->addAction(Action(child.id, menu)); break;
        case CMenuNode::Kind::Separator: popup->addSeparator(); break;
        case CMenuNode::Kind::Popup: popup->addMenu(BuildMenu(child, menu)); break;
        case CMenuNode::Kind::Recent:
            popup->addAction(Bar(menu).recentPlaceholder);
            Bar(menu).fileMenus.push_back(popup);
            break;
        }
    }
    return popup;
}

bool CMainFrame::CreateToolBar() {
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName("ToolBar128");
    m_toolBar->setWindowTitle("Toolbar");
    m_toolBar->setIconSize(QSize(kToolbarIconWidth, kToolbarIconHeight));
    m_toolBar->setMovable(true);
    m_toolBar->setFloatable(true);
    m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    for (int id : ToolbarLayout()) {
        if (id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction* action = Action(id);
        if (!action || action->icon().isNull())
            return false;
        m_toolBar->addAction(action);
    }
    setDockNestingEnabled(true);
    addToolBar(Qt::TopToolBarArea, m_toolBar);
    return true;
}

bool CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    if (!bar)
        return false;
    m_messagePane = new QLabel(kIdleMessage, bar);
    m_messagePane->setObjectName("MessagePane");
    bar->addWidget(m_messagePane, 1);
    m_runPane = new QLabel(bar);
    m_runPane->setObjectName("RunPane");
    m_runPane->setAccessibleName(QStringLiteral("Last run"));
    m_runPane->setVisible(false);
    bar->addWidget(m_runPane);
    const char* names[3] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        m_indicators[i] = new QLabel(names[i], bar);
        m_indicators[i]->setObjectName(names[i]);
        m_indicators[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        m_indicators[i]->setAlignment(Qt::AlignCenter);
        m_indicators[i]->setMinimumWidth(m_indicators[i]->fontMetrics().horizontalAdvance("SCRL") + 10);
        bar->addPermanentWidget(m_indicators[i]);
    }
    return true;
}

QAction* CMainFrame::Action(int id, int menu) const {
    const CBarActions& bar = Bar(menu == 128 ? 128 : 129);
    if (IsRecentFileCommand(id))
        return bar.recent[id - Cmd::kFileMruFirst];
    const auto it = bar.commands.find(id);
    return it == bar.commands.end() ? nullptr : it->second;
}

void CMainFrame::ShowMenuBar(int menu) {
    if (menu == m_nCurrentMenu)
        return;
    m_nCurrentMenu = menu;
    // Only the entries on show carry their accelerators: the same keys on both menu bars' entries
    // would be ambiguous and trigger neither.
    for (CBarActions* bar : {&m_bar128, &m_bar129})
        for (auto& [id, action] : bar->commands) {
            const std::string keys = bar->menu == menu ? MenuLabelFor(id, menu).shortcut : std::string();
            action->setShortcut(QKeySequence(QString::fromStdString(keys)));
        }
    menuBar()->clear();  // removes the menus' actions only; the menus stay ours
    for (QMenu* m : Menus(menu))
        menuBar()->addMenu(m);
}

CChildFrame* CMainFrame::ActiveChild() const {
    if (!m_mdiArea)
        return nullptr;
    auto* child = qobject_cast<CChildFrame*>(m_mdiArea->currentSubWindow());
    if (child && !child->isHidden())
        return child;
    return nullptr;
}

std::vector<CChildFrame*> CMainFrame::ChildFrames() const {
    std::vector<CChildFrame*> frames;
    if (!m_mdiArea)
        return frames;
    for (QMdiSubWindow* window : m_mdiArea->subWindowList(QMdiArea::CreationOrder))
        if (auto* child = qobject_cast<CChildFrame*>(window); child && !child->isHidden())
            frames.push_back(child);
    return frames;
}

void CMainFrame::UpdateFrameState() {
    if (m_bDestroying)
        return;
    const bool anyDocument = !ChildFrames().empty();
    ShowMenuBar(anyDocument ? 129 : 128);
    UpdateWindowList();
    CChildFrame* active = ActiveChild();
    m_strCaption = active ? QStringLiteral("Pemblar - %1").arg(active->windowTitle()) : QStringLiteral("Pemblar");
    setWindowTitle(m_strCaption);
    UpdateCommandUI();
}

std::vector<ICommandTarget*> CMainFrame::RoutingChain() const {
    std::vector<ICommandTarget*> chain;
    if (CChildFrame* child = ActiveChild()) {
        if (ICommandTarget* view = child->ViewTarget())
            chain.push_back(view);
        if (CDocumentHost* host = child->Host(); host && host->CommandCarrier())
            chain.push_back(host->CommandCarrier());
        chain.push_back(child);
    }
    chain.push_back(const_cast<CMainFrame*>(this));
    if (m_app)
        chain.push_back(m_app->AppCommands());
    return chain;
}

bool CMainFrame::IsCommandEnabled(int id) const {
    bool carried = false;
    for (ICommandTarget* target : RoutingChain()) {
        if (!target->Carries(id))
            continue;
        carried = true;
        if (const auto rule = target->OnUpdateCommand(id))
            return *rule;
    }
    return carried;  // a command nobody carries is greyed
}

bool CMainFrame::RouteCommand(int id) {
    if (!IsCommandEnabled(id))
        return false;
    bool handled = false;
    for (ICommandTarget* target : RoutingChain()) {
        if (target->Carries(id) && target->OnCommand(id)) {
            handled = true;
            break;
        }
    }
    // A command can open or close windows: the chain above may be gone, so ask anew.
    QTimer::singleShot(0, this, [this] { UpdateFrameState(); });
    return handled;
}

void CMainFrame::UpdateCommandUI() {
    if (m_bDestroying)
        return;
    for (CBarActions* bar : {&m_bar128, &m_bar129}) {
        for (auto& [id, action] : bar->commands)
            action->setEnabled(IsCommandEnabled(id));
        for (QAction* action : bar->recent)
            action->setEnabled(IsCommandEnabled(action->data().toInt()));
        if (m_toolBar)
            bar->commands.at(Cmd::kViewToolbar)->setChecked(m_toolBar->isVisibleTo(this));
        bar->commands.at(Cmd::kViewStatusBar)->setChecked(statusBar()->isVisibleTo(this));
    }
    UpdateRunPane();
}

void CMainFrame::UpdateRunPane() {
    if (!m_runPane)
        return;
    CChildFrame* child = ActiveChild();
    CDocumentHost* host = child ? child->Host() : nullptr;
    const QString text = host ? QString::fromStdString(LastRunText(host->Doc())) : QString();
    if (text != m_runPane->text())
        m_runPane->setText(text);
    m_runPane->setVisible(!text.isEmpty());
}

void CMainFrame::UpdateRecentFileMenu() {
    const CRecentFileList& list = m_app->RecentFileList();
    for (CBarActions* bar : {&m_bar128, &m_bar129}) {
        for (int i = 0; i < kRecentFileCount; ++i) {
            QAction* action = bar->recent[i];
            action->setText(list.MenuText(i));
            action->setVisible(i < list.Count());
        }
        for (QMenu* menu : bar->fileMenus) {
            for (QAction* action : bar->recent)
                menu->removeAction(action);
            for (int i = 0; i < list.Count(); ++i)
                menu->insertAction(bar->recentPlaceholder, bar->recent[i]);
        }
        // "Recent File" holds the place, greyed, while the list is empty.
        bar->recentPlaceholder->setVisible(list.IsEmpty());
    }
    UpdateCommandUI();
}

void CMainFrame::UpdateIndicators() {
    if (!m_indicators[0])
        return;
    const CKeyLocks locks = QueryKeyLocks();
    m_indicators[0]->setEnabled(locks.caps);
    m_indicators[1]->setEnabled(locks.num);
    m_indicators[2]->setEnabled(locks.scroll);
}

void CMainFrame::SetMessageText(const QString& text) {
    if (m_messagePane)
        m_messagePane->setText(text.isEmpty() ? QString(kIdleMessage) : text);
}

bool CMainFrame::event(QEvent* event) {
    // Prompts go to the message pane, which falls back to the idle text; the status bar's own
    // temporary message would cover the pane instead.
    if (event->type() == QEvent::StatusTip) {
        SetMessageText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    // A maximised document window writes its own title into the caption; the caption stays
    // "Pemblar - <title>".
    if (event->type() == QEvent::WindowTitleChange && !m_strCaption.isEmpty() && windowTitle() != m_strCaption) {
        const bool handled = QMainWindow::event(event);
        setWindowTitle(m_strCaption);
        return handled;
    }
    if (event->type() == QEvent::KeyRelease || event->type() == QEvent::WindowActivate)
        UpdateIndicators();
    return QMainWindow::event(event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // No document is ever marked as changed, so nothing asks to save.
    m_mdiArea->closeAllSubWindows();
    if (m_helpWindow)
        m_helpWindow->close();
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (HasLocalFile(event->mimeData()))
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    if (!HasLocalFile(event->mimeData()))
        return;
    event->acceptProposedAction();
    activateWindow();
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            m_app->OpenDroppedFile(url.toLocalFile());
}

const TCommandHandler<CMainFrame>* CMainFrame::HandlerOf(int id) const {
    return TableHandler<CMainFrame>(id);
}

void CMainFrame::OnViewToolbar() {
    m_toolBar->setVisible(!m_toolBar->isVisibleTo(this));
    UpdateCommandUI();
}

void CMainFrame::OnViewStatusBar() {
    statusBar()->setVisible(!statusBar()->isVisibleTo(this));
    UpdateCommandUI();
}

void CMainFrame::OnHelpFinder() {
    if (!m_helpWindow)
        m_helpWindow = CreateHelpWindow(this);
    m_helpWindow->show();
    m_helpWindow->raise();
    m_helpWindow->activateWindow();
    UpdateCommandUI();
}
