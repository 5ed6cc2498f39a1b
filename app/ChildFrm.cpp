#include "ChildFrm.h"

#include "CommandIds.h"
#include "DocumentHost.h"
#include "ViewFactory.h"

CChildFrame::CChildFrame(CDocumentHost* host, QWidget* parent) : QMdiSubWindow(parent), m_host(host) {
    setAttribute(Qt::WA_DeleteOnClose);
    m_view = CreateDocumentView(&host->Doc(), this);
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

bool CChildFrame::OnCommand(int id) {
    if (id != Cmd::kFileClose || !m_host)
        return false;
    m_host->CloseAllFrames();
    return true;
}

bool CChildFrame::Carries(int id) const { return id == Cmd::kFileClose; }
