#pragma once
// A document window inside the main window: one view on one document, always shown maximised.

#include <QMdiSubWindow>
#include <QPointer>
#include <QSize>

#include "CommandTarget.h"

class CDocumentHost;

class CChildFrame : public QMdiSubWindow, public TCommandCarrier<CChildFrame> {
    Q_OBJECT
public:
    CChildFrame(CDocumentHost* host, QWidget* parent = nullptr);
    static constexpr QSize kMinimumViewSize{64, 48};
    ~CChildFrame() override;

    CDocumentHost* Host() const { return m_host; }
    QWidget* View() const { return m_view; }
    // The view as the first command target; null while it carries nothing.
    ICommandTarget* ViewTarget() const;

    // Shows the window maximised, whatever show state was asked for.
    void ActivateFrame();

    // Close (57602): closes the whole document, every window of it.
    void OnFileClose();

protected:
    const TCommandHandler<CChildFrame>* HandlerOf(int id) const override;

private:
    QPointer<CDocumentHost> m_host;
    QPointer<QWidget> m_view;
};
