#pragma once
// One open document with what the window layer adds to it: its user-facing services, the
// command carrier that holds its commands, its file path and its windows. The document lives
// as long as it has a window; closing the last one destroys it without any question.

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <vector>

#include "OstrelDoc.h"
#include "QtUiServices.h"
#include "QtViewNotifier.h"

class CChildFrame;
class ICommandTarget;
class QWidget;

class CDocumentHost : public QObject {
    Q_OBJECT
public:
    // dialogParent: the window the document's message boxes and file dialogs belong to.
    explicit CDocumentHost(QWidget* dialogParent, QObject* parent = nullptr);
    ~CDocumentHost() override;

    COstrelDoc& Doc() { return *m_pDoc; }
    const COstrelDoc& Doc() const { return *m_pDoc; }

    // The document's own commands (Open, Pre-processing, Computing); second in routing order.
    // The host owns it. Null until one is plugged in.
    void SetCommandCarrier(std::unique_ptr<ICommandTarget> carrier);
    ICommandTarget* CommandCarrier() const { return m_carrier.get(); }
    // Starts the solvers for this document; the host owns it and hands it to the document.
    void SetProcessRunner(std::unique_ptr<IProcessRunner> runner);

    // Path the document was opened from; empty for a new document.
    const QString& PathName() const { return m_strPathName; }
    void SetPathName(const QString& path) { m_strPathName = path; }
    QString Title() const { return QString::fromStdString(m_pDoc->m_strTitle); }
    void SetTitle(const QString& title);

    // Windows: each child frame registers itself and its view.
    void AddFrame(CChildFrame* frame, QWidget* view);
    void RemoveFrame(CChildFrame* frame);
    std::vector<CChildFrame*> Frames() const;
    int FrameCount() const { return static_cast<int>(Frames().size()); }
    CQtViewNotifier& ViewNotifier() { return m_views; }

    // A window the document opened beside its own (dispersion curves, study results): titled
    // apart from the others, placed over the main window's work area, closed by Ctrl+W, listed in
    // the Window menu and closed with the document. Called before the window is first shown.
    void AddToolWindow(QWidget* window);
    std::vector<QWidget*> ToolWindows() const;

    // Closes every window of the document (which then destroys it).
    void CloseAllFrames();
    // Gives every window its title again: the document's title (":n" among several windows),
    // then what its view shows, when it shows a curve.
    void RetitleFrames();

signals:
    void TitleChanged();
    // The last window has gone; the owner deletes the host.
    void LastFrameClosed(CDocumentHost* host);

private:
    std::unique_ptr<COstrelDoc> m_pDoc;
    CQtMessageSink m_messages;
    CQtFileChooser m_files;
    CQtViewNotifier m_views;
    std::unique_ptr<IProcessRunner> m_processes;
    std::unique_ptr<ICommandTarget> m_carrier;
    QString m_strPathName;
    std::vector<QPointer<CChildFrame>> m_frames;
    std::vector<QPointer<QWidget>> m_toolWindows;
    QPointer<QWidget> m_mainWindow;
};
