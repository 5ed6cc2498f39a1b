#pragma once
// The application object: start-up, the one document type, the documents, the recent-file
// list and the per-user settings, and the commands New, Print Setup, About, Exit and the
// recent-file entries.

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

#include "CommandLineInfo.h"
#include "CommandTable.h"
#include "CommandTarget.h"
#include "DocTemplate.h"
#include "FrameApplication.h"
#include "RecentFileList.h"
#include "UiServices.h"
#include "UserSettings.h"

class CChildFrame;
class CDocumentHost;
class CMainFrame;
class IModalRunner;
class QDialog;
class QPrinter;
class QSettings;
class QWidget;

class COstrelApp : public QObject, public IFrameApplication, public TCommandCarrier<COstrelApp> {
    Q_OBJECT
public:
    explicit COstrelApp(QObject* parent = nullptr);
    ~COstrelApp() override;

    // Start-up in its fixed order; false ends the process. args: without the program name.
    bool InitInstance(const QStringList& args);
    // Writes the settings back; called when the event loop ends and on destruction.
    void ExitInstance();
    // False when the command line asked for work that is done once start-up returns (printing,
    // unregistering, or a server start this platform has no server for).
    bool RunsEventLoop() const { return m_bRunEventLoop; }

    CMainFrame* MainFrame() const { return m_pMainWnd; }
    CDocTemplate& DocTemplate() { return m_docTemplate; }
    const CCommandLineInfo& CommandLine() const { return m_cmdInfo; }

    // Documents.
    CDocumentHost* OnFileNew();
    // The generic open route: a new document titled with the file's name, nothing read from
    // it. An already open file is brought to the front instead. Null (with a message) when the
    // file cannot be opened.
    CDocumentHost* OpenDocumentFile(const QString& path);
    std::vector<CDocumentHost*> Documents() const;

    CRecentFileList& RecentFiles() { return m_recentFiles; }
    const CRecentFileList& RecentFileList() const override { return m_recentFiles; }
    void OpenDroppedFile(const QString& path) override { OpenDocumentFile(path); }
    void AddToRecentFileList(const QString& path);
    void OnOpenRecentFile(int index);

    // Shared by every view for printing and set by Print Setup.
    QPrinter& Printer() override;
    IModalRunner* ModalRunner() const override { return m_modals; }
    int m_nNumPreviewPages = 0;

    // Runs for every document just made (New and open), before its first window exists: the
    // place where the document's command carrier and process runner are plugged in.
    using DocumentSetup = std::function<void(CDocumentHost& host)>;
    void SetDocumentSetup(DocumentSetup setup) { m_documentSetup = std::move(setup); }
    // "/p file" and "/pt file printer driver port": prints the view of the opened document.
    using DirectPrint = std::function<bool(QWidget* view, CDocumentHost& host, const CCommandLineInfo& info)>;
    void SetDirectPrint(DirectPrint print) { m_directPrint = std::move(print); }

    // The settings store ("Local AppWizard-Generated Applications" / "Pemblar").
    static constexpr const char* kRegistryKey = kUserSettingsKey;
    static constexpr const char* kAppName = kUserSettingsApp;
    static std::unique_ptr<QSettings> OpenSettings();

    // Its commands (New, Print Setup, About, Exit, the recent-file entries), from the table.
    ICommandTarget* AppCommands() override { return this; }

    void OnAppAbout();
    void OnAppExit();
    void OnFilePrintSetup();
    // The user's element order (0 automatic), where every new document starts.
    static int StoredElementOrder();

    // Where the application's own messages go (a message box unless set).
    void SetMessageSink(IMessageSink* sink) { m_messages = sink; }
    // Where every modal dialog of the program is shown (QDialog::exec unless set): About, Print
    // Setup, and the forms of the documents made from now on.
    void SetModalRunner(IModalRunner* runner) { m_modals = runner; }

protected:
    const TCommandHandler<COstrelApp>* HandlerOf(int id) const override { return TableHandler<COstrelApp>(id); }

private:
    void SetRegistryKey();
    void LoadStdProfileSettings(int mruSize);
    void SaveStdProfileSettings();
    bool ProcessShellCommand(const CCommandLineInfo& info);
    bool PrintFromCommandLine(const CCommandLineInfo& info);
    void UnregisterShellFileTypes();
    CDocumentHost* CreateDocumentHost();
    void OnDocumentClosed(CDocumentHost* host);
    void ShowMessage(const QString& text);

    CDocTemplate m_docTemplate{CDocTemplate::kDescription};
    CRecentFileList m_recentFiles{kRecentFileCount};
    CCommandLineInfo m_cmdInfo;
    CMainFrame* m_pMainWnd = nullptr;
    std::vector<CDocumentHost*> m_documents;
    std::unique_ptr<QPrinter> m_printer;
    DocumentSetup m_documentSetup;
    DirectPrint m_directPrint;
    IMessageSink* m_messages = nullptr;
    IModalRunner* m_modals = nullptr;
    bool m_bRunEventLoop = true;
    bool m_bSettingsLoaded = false;
};
