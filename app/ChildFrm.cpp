#include "ChildFrm.h"

#include "CommandTable.h"
#include "DocumentHost.h"
#include "ViewFactory.h"

CChildFrame::CChildFrame(CDocumentHost* host, QWidget* parent) : QMdiSubWindow(parent), m_host(host) {
    setAttribute(Qt::WA_DeleteOnClose);
    m_view = CreateDocumentView(&host->Doc(), this);
    // A view squeezed to nothing loses its picture for good (it comes back black when the
    // window grows again), so the window never gets smaller than a small drawing.
    m_view->setMinimumSize(kMinimumViewSize);
    setWidget(m_view);
    host->AddFrame(this, m_view);
    OnViewDescriptionChanged(m_view, this, [this] {
        if (m_host)
            m_host->RetitleFrames();
    });
}

CChildFrame::~CChildFrame() {
    // The host learns of every way a window goes (close box, Close, Exit), and frees the
    // document with its last window.
    if (m_host)
        m_host->RemoveFrame(this);
}

ICommandTarget* CChildFrame::ViewTarget() const { return m_view ? ViewCommandTarget(m_view) : nullptr; }

void CChildFrame::ActivateFrame() {
    showMaximized();
    if (m_view)
        m_view->setFocus();
}

void CChildFrame::OnFileClose() {
    if (m_host)
        m_host->CloseAllFrames();
}

const TCommandHandler<CChildFrame>* CChildFrame::HandlerOf(int id) const { return TableHandler<CChildFrame>(id); }
