#include "DocumentHost.h"

#include <algorithm>

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QShortcut>
#include <QStyle>

#include "ChildFrm.h"
#include "CommandTarget.h"
#include "ToolWindows.h"
#include "ViewFactory.h"

CDocumentHost::CDocumentHost(QWidget* dialogParent, QObject* parent)
    : QObject(parent), m_pDoc(std::make_unique<COstrelDoc>()), m_messages(dialogParent), m_files(dialogParent),
      m_mainWindow(dialogParent) {
    m_pDoc->m_services.messages = &m_messages;
    m_pDoc->m_services.files = &m_files;
    m_pDoc->m_services.views = &m_views;
}

CDocumentHost::~CDocumentHost() {
    // Its other windows go with the document.
    for (QWidget* window : ToolWindows()) {
        window->close();
        if (!window->testAttribute(Qt::WA_DeleteOnClose))
            window->deleteLater();
    }
    // The carrier may refer to the document; it goes first.
    m_carrier.reset();
    m_pDoc->m_services = CDocServices{};
}

void CDocumentHost::SetCommandCarrier(std::unique_ptr<ICommandTarget> carrier) { m_carrier = std::move(carrier); }

void CDocumentHost::SetProcessRunner(std::unique_ptr<IProcessRunner> runner) {
    m_processes = std::move(runner);
    m_pDoc->m_services.processes = m_processes.get();
}

void CDocumentHost::SetTitle(const QString& title) {
    m_pDoc->m_strTitle = title.toStdString();
    RetitleFrames();
    emit TitleChanged();
}

void CDocumentHost::AddFrame(CChildFrame* frame, QWidget* view) {
    m_frames.emplace_back(frame);
    m_views.AddView(view);
    RetitleFrames();
}

void CDocumentHost::RemoveFrame(CChildFrame* frame) {
    m_views.RemoveView(frame ? frame->View() : nullptr);
    std::erase_if(m_frames, [frame](const QPointer<CChildFrame>& f) { return f.isNull() || f == frame; });
    if (m_frames.empty()) {
        emit LastFrameClosed(this);
        return;
    }
    RetitleFrames();
    emit TitleChanged();
}

std::vector<CChildFrame*> CDocumentHost::Frames() const {
    std::vector<CChildFrame*> live;
    for (const auto& frame : m_frames)
        if (frame)
            live.push_back(frame);
    return live;
}

void CDocumentHost::AddToolWindow(QWidget* window) {
    if (!window)
        return;
    std::vector<QString> taken;
    for (QWidget* other : ToolWindows())
        taken.push_back(other->windowTitle());
    window->setWindowTitle(DistinctTitle(window->windowTitle(), taken));
    MarkAsToolWindow(window);
    // Closed from the keyboard as the desktop's other windows are (Ctrl+W).
    auto* close = new QShortcut(QKeySequence::Close, window);
    connect(close, &QShortcut::activated, window, &QWidget::close);
    // Over the main window's work area, below its menus and toolbar.
    auto* main = qobject_cast<QMainWindow*>(m_mainWindow.data());
    if (main && main->centralWidget()) {
        const QWidget* work = main->centralWidget();
        const QRect area(work->mapToGlobal(QPoint(0, 0)), work->size());
        const QScreen* screen = main->screen() ? main->screen() : QGuiApplication::primaryScreen();
        const int step = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
        const QRect place = ToolWindowGeometry(area, screen ? screen->availableGeometry() : area, window->size(),
                                               int(taken.size()), std::max(step, 16));
        window->resize(place.size());
        window->move(place.topLeft());
    }
    m_toolWindows.emplace_back(window);
}

std::vector<QWidget*> CDocumentHost::ToolWindows() const {
    std::vector<QWidget*> live;
    for (const auto& window : m_toolWindows)
        if (window)
            live.push_back(window);
    return live;
}

void CDocumentHost::CloseAllFrames() {
    for (CChildFrame* frame : Frames())
        frame->close();
}

void CDocumentHost::RetitleFrames() {
    // One window shows the title; several are told apart as "title:1", "title:2", ...
    const auto frames = Frames();
    const QString title = Title();
    for (std::size_t i = 0; i < frames.size(); ++i) {
        QString text = frames.size() == 1 ? title : QStringLiteral("%1:%2").arg(title).arg(i + 1);
        const QString shown = ViewDescription(frames[i]->View());
        if (!shown.isEmpty())
            text += QStringLiteral(" - ") + shown;
        frames[i]->setWindowTitle(text);
    }
}
