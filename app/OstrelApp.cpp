#include "OstrelApp.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QFileInfo>
#include <QMdiArea>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QSettings>

#include "AboutDlg.h"
#include "ChildFrm.h"
#include "DocCommands.h"
#include "CommandIds.h"
#include "DocumentHost.h"
#include "MainFrm.h"
#include "ModalRunner.h"
#include "ProcessProgress.h"
#include "SolverOptions.h"
#include "SolverOptionsDlg.h"
#include "ViewFactory.h"

// The help page is compiled into a static library; this keeps the linker from dropping it.
static void InitHelpResources() { Q_INIT_RESOURCE(help); }

namespace {
constexpr const char* kSettingsSection = "Settings";
constexpr const char* kPreviewPages = "PreviewPages";
}  // namespace

COstrelApp::COstrelApp(QObject* parent) : QObject(parent) {
    InitHelpResources();
    if (qApp)
        connect(qApp, &QCoreApplication::aboutToQuit, this, &COstrelApp::ExitInstance);
}

COstrelApp::~COstrelApp() {
    ExitInstance();
    // The windows go before the documents they show; the documents are freed here, not
    // through the closing signal, since no event loop runs any more.
    for (CDocumentHost* host : m_documents)
        disconnect(host, nullptr, this, nullptr);
    delete m_pMainWnd;
    m_pMainWnd = nullptr;
    for (CDocumentHost* host : m_documents)
        delete host;
    m_documents.clear();
}

std::unique_ptr<QSettings> COstrelApp::OpenSettings() {
    return OpenUserSettings();
}

bool COstrelApp::InitInstance(const QStringList& args) {
    SetRegistryKey();
    LoadStdProfileSettings(kRecentFileCount);
    // The one document type: its description string is held by m_docTemplate from the start;
    // documents, child frames and views are made by OnFileNew / OpenDocumentFile.

    m_pMainWnd = new CMainFrame(this);
    if (!m_pMainWnd->OnCreate()) {
        delete m_pMainWnd;
        m_pMainWnd = nullptr;
        return false;
    }
    m_pMainWnd->setAcceptDrops(true);
    // Shell open and file-type registration: the desktop entry installed with the program
    // takes their place; the description names no extension, so none would be associated.

    m_cmdInfo = ParseCommandLine(args);
    if (m_cmdInfo.m_bRunEmbedded || m_cmdInfo.m_bRunAutomated) {
        // There is no embedding or automation server here; an invisible process waiting for
        // calls that never come would only linger, so the start ends at once.
        m_bRunEventLoop = false;
        return true;
    }
    if (m_cmdInfo.m_nShellCommand == CCommandLineInfo::FileNew)
        m_cmdInfo.m_nShellCommand = CCommandLineInfo::FileNothing;
    if (!ProcessShellCommand(m_cmdInfo))
        return false;
    if (!m_bRunEventLoop)
        return true;
    m_pMainWnd->ShowMaximised();
    m_pMainWnd->activateWindow();
    m_pMainWnd->update();
    return true;
}

void COstrelApp::SetRegistryKey() {
    QCoreApplication::setOrganizationName(kRegistryKey);
    QCoreApplication::setApplicationName(kAppName);
}

void COstrelApp::LoadStdProfileSettings(int mruSize) {
    m_recentFiles = CRecentFileList(mruSize);
    auto settings = OpenSettings();
    m_recentFiles.ReadList(*settings);
    m_nNumPreviewPages = settings->value(QStringLiteral("%1/%2").arg(kSettingsSection, kPreviewPages), 0).toInt();
    m_bSettingsLoaded = true;
}

void COstrelApp::SaveStdProfileSettings() {
    auto settings = OpenSettings();
    m_recentFiles.WriteList(*settings);
    settings->setValue(QStringLiteral("%1/%2").arg(kSettingsSection, kPreviewPages), m_nNumPreviewPages);
    settings->sync();
}

void COstrelApp::ExitInstance() {
    // Only what was loaded is written back: a start that failed early leaves the store alone.
    if (m_bSettingsLoaded && m_cmdInfo.m_nShellCommand != CCommandLineInfo::AppUnregister)
        SaveStdProfileSettings();
}

bool COstrelApp::ProcessShellCommand(const CCommandLineInfo& info) {
    switch (info.m_nShellCommand) {
    case CCommandLineInfo::FileNew: return OnFileNew() != nullptr;
    case CCommandLineInfo::FileOpen: return OpenDocumentFile(info.m_strFileName) != nullptr;
    case CCommandLineInfo::FilePrint:
    case CCommandLineInfo::FilePrintTo: return PrintFromCommandLine(info);
    case CCommandLineInfo::FileDDE:      // no shell conversation here: start as without arguments
    case CCommandLineInfo::FileNothing: return true;
    case CCommandLineInfo::AppUnregister:
        UnregisterShellFileTypes();
        m_bRunEventLoop = false;
        return true;
    }
    return false;
}

bool COstrelApp::PrintFromCommandLine(const CCommandLineInfo& info) {
    // The picture is drawn by OpenGL, which needs the windows on the screen.
    m_pMainWnd->ShowMaximised();
    CDocumentHost* host = OpenDocumentFile(info.m_strFileName);
    if (!host)
        return false;
    QApplication::processEvents();
    CChildFrame* frame = host->Frames().empty() ? nullptr : host->Frames().front();
    QWidget* view = frame ? frame->View() : nullptr;
    bool printed = false;
    if (m_directPrint)
        printed = m_directPrint(view, *host, info);
    else
        printed = PrintViewDirect(view, info.m_nShellCommand == CCommandLineInfo::FilePrintTo ? info.m_strPrinterName
                                                                                              : QString());
    m_bRunEventLoop = false;  // printing from the command line ends the program
    return printed;
}

void COstrelApp::UnregisterShellFileTypes() {
    auto settings = OpenSettings();
    settings->clear();
    settings->sync();
    m_recentFiles = CRecentFileList(kRecentFileCount);
}

CDocumentHost* COstrelApp::CreateDocumentHost() {
    auto* host = new CDocumentHost(m_pMainWnd);
    connect(host, &CDocumentHost::LastFrameClosed, this, &COstrelApp::OnDocumentClosed);
    // Solver runs keep the windows repainting and can be cancelled.
    host->SetProcessRunner(std::make_unique<CProcessProgress>(m_pMainWnd));
    auto commands = std::make_unique<CDocCommands>(host->Doc(), m_pMainWnd, m_modals);
    commands->SetWindowOpened([host](QWidget* window) { host->AddToolWindow(window); });
    host->SetCommandCarrier(std::move(commands));
    // A new project starts from the user's element order; an opened one brings its own.
    host->Doc().m_nElementOrder = StoredElementOrder();
    if (m_documentSetup)
        m_documentSetup(*host);
    m_documents.push_back(host);
    return host;
}

void COstrelApp::OnDocumentClosed(CDocumentHost* host) {
    std::erase(m_documents, host);
    host->deleteLater();
}

CDocumentHost* COstrelApp::OnFileNew() {
    if (!m_pMainWnd)
        return nullptr;
    CDocumentHost* host = CreateDocumentHost();
    if (!host->Doc().OnNewDocument()) {
        ShowMessage("Cannot find the current directory for the new document.");
        std::erase(m_documents, host);
        delete host;
        return nullptr;
    }
    host->SetTitle(m_docTemplate.NextUntitledTitle());
    m_pMainWnd->AddChildFrame(host);
    return host;
}

CDocumentHost* COstrelApp::OpenDocumentFile(const QString& path) {
    if (!m_pMainWnd || path.isEmpty())
        return nullptr;
    const QFileInfo file(path);
    const QString full = file.absoluteFilePath();
    for (CDocumentHost* host : m_documents) {
        if (!host->PathName().isEmpty() && host->PathName() == full && !host->Frames().empty()) {
            CChildFrame* frame = host->Frames().front();
            m_pMainWnd->MdiArea()->setActiveSubWindow(frame);
            frame->ActivateFrame();
            AddToRecentFileList(full);
            return host;
        }
    }
    if (!file.isFile() || !file.isReadable()) {
        ShowMessage(QStringLiteral("Cannot open the file %1.").arg(full));
        const int index = m_recentFiles.Entries().indexOf(full);
        if (index >= 0) {
            m_recentFiles.Remove(index);
            m_pMainWnd->UpdateRecentFileMenu();
        }
        return nullptr;
    }
    CDocumentHost* host = CreateDocumentHost();
    if (!host->Doc().OnOpenDocument(full.toStdString())) {
        ShowMessage("Cannot find the current directory for the document.");
        std::erase(m_documents, host);
        delete host;
        return nullptr;
    }
    host->SetPathName(full);
    host->SetTitle(host->Title());
    m_pMainWnd->AddChildFrame(host);
    AddToRecentFileList(full);
    return host;
}

std::vector<CDocumentHost*> COstrelApp::Documents() const { return m_documents; }

void COstrelApp::AddToRecentFileList(const QString& path) {
    m_recentFiles.Add(path);
    if (m_pMainWnd)
        m_pMainWnd->UpdateRecentFileMenu();
}

void COstrelApp::OnOpenRecentFile(int index) {
    if (index < 0 || index >= m_recentFiles.Count())
        return;
    OpenDocumentFile(m_recentFiles[index]);
}

QPrinter& COstrelApp::Printer() {
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>();
    return *m_printer;
}

void COstrelApp::OnAppExit() {
    if (m_pMainWnd)
        m_pMainWnd->close();
}

void COstrelApp::OnAppAbout() {
    CAboutDlg dialog(m_pMainWnd);
    RunModal(m_modals, dialog);
}

int COstrelApp::StoredElementOrder() {
    return UserElementOrder();
}

void COstrelApp::OnFilePrintSetup() {
    QPageSetupDialog dialog(&Printer(), m_pMainWnd);
    RunModal(m_modals, dialog);
}

void COstrelApp::ShowMessage(const QString& text) {
    if (m_messages)
        m_messages->ShowMessage(text.toStdString());
    else
        QMessageBox::warning(m_pMainWnd, QStringLiteral("Pemblar"), text);
}
