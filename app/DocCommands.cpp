#include "DocCommands.h"

#include <QDialog>
#include <filesystem>
#include <memory>

#include "AllPara.h"
#include "CommandIds.h"
#include "CommandTable.h"
#include "FGM.h"
#include "LayerNumber.h"
#include "MaterialSource.h"
#include "Mateselect.h"
#include "ModalRunner.h"
#include "OstrelDoc.h"
#include "ProjectKind.h"
#include "ProjectFiles.h"
#include "RecordList.h"
#include "SolverRun.h"
#include "StudyLauncher.h"
#include "StudyWindow.h"
#include "UserSettings.h"
#include "DispersionDlg.h"
#include "DispersionWindow.h"
#include "SampledLoadDlg.h"
#include "ProjectSettings.h"
#include "SampledLoadFiles.h"
#include "SolverOptionsDlg.h"
#include "WaveFieldDlg.h"
#include "WaveFieldRun.h"
#include "WaveFieldWindow.h"

namespace {

void WriteLoad(COstrelDoc& doc, const CProjectKind& kind, CSampledLoad load) {
    std::string error;
    if (!WriteSampledLoad(doc, kind, load, &error))
        doc.ShowMessage("Cannot write the sampled load!\n" + error);
}

// Once a project has a sampled load, its ft.dat follows the project: a new title gets its
// settings file, a new time window the held end of a step.
void RefreshSampledLoad(COstrelDoc& doc, const CProjectKind& kind) {
    const CSampledLoad& load = doc.*kind.sampledLoad;
    if (doc.*kind.loadType != Codes::kAnyFt || !load.m_bDefined)
        return;
    CSampledLoad updated = load;
    updated.m_dEnd = doc.*kind.timeTo;
    WriteLoad(doc, kind, updated);
}

// The project's settings go beside its file once it is on disk.
void KeepProjectSettings(COstrelDoc& doc, const CProjectKind& kind) {
    const std::filesystem::path project =
        std::filesystem::path(doc.m_szStartDir) / kind.projectDir / (doc.*kind.title + ".dat");
    std::error_code ec;
    std::string error;
    if (std::filesystem::is_regular_file(project, ec) && !WriteProjectSettings(doc, kind, &error))
        doc.ShowMessage("Cannot write the project settings!\n" + error);
}

// The element order goes with every project already on disk.
// "Dispersion curves - plate: f h 0 to 2 MHz mm, 8 modes": what tells one run's window from another's.
QString DispersionWindowTitle(const std::string& project, const CDispersionSettings& s) {
    return QStringLiteral("Dispersion curves - %1: %2 %3 to %4 %5, %6 modes")
        .arg(QString::fromStdString(project), s.bPerThickness ? QStringLiteral("f h") : QStringLiteral("f"))
        .arg(s.dFrom, 0, 'g', 6)
        .arg(s.dTo, 0, 'g', 6)
        .arg(s.bPerThickness ? QStringLiteral("MHz mm") : QStringLiteral("MHz"))
        .arg(s.nModes);
}

void KeepElementOrder(COstrelDoc& doc) {
    for (const CProjectKind* kind : ProjectKinds())
        KeepProjectSettings(doc, *kind);
}

}  // namespace

CDocCommands::CDocCommands(COstrelDoc& doc, QWidget* dialogParent, IModalRunner* modals)
    : m_doc(doc), m_parent(dialogParent), m_modals(modals) {}

const TCommandHandler<CDocCommands>* CDocCommands::HandlerOf(int id) const {
    return TableHandler<CDocCommands>(id);
}

void CDocCommands::OnOpen(const CProjectKind& kind) {
    OnOpenProject(m_doc, kind);
}

void CDocCommands::OnExecute(const CProjectKind& kind) {
    ::OnExecute(m_doc, kind);
}

void CDocCommands::OnStudy() {
    Opened(::OnStudy(m_doc, m_parent, StudyHooks(), m_doc.m_nElementOrder, &m_study));
}

void CDocCommands::OnOpenStudy() {
    Opened(::OnOpenStudy(m_doc, m_parent, StudyHooks(), m_doc.m_nElementOrder, m_study));
}

void CDocCommands::Opened(QWidget* window) const {
    if (!window)
        return;
    // Placed (and titled, listed) before it is shown, so that it never jumps once on screen.
    if (m_windowOpened)
        m_windowOpened(window);
    window->show();
}

StudyLaunchHooks CDocCommands::StudyHooks() {
    return StudyLaunchHooks{m_modals,
                            [this](const std::string& path, const std::string& title) { OpenWaveFieldFile(path, title); }};
}

void CDocCommands::OpenWaveFieldFile(const std::string& path, const std::string& title) {
    numerics::CFieldFile field;
    if (const std::string error = numerics::ReadFieldFile(path, field); !error.empty()) {
        m_doc.ShowMessage("The wave field cannot be read: " + path + ", " + error + ".");
        return;
    }
    ShowWaveField(std::move(field), QString::fromStdString(title));
}

int CDocCommands::RunForm(QDialog& form) const {
    return RunModal(m_modals, form);
}

void CDocCommands::OnMaterialSelected() {
    CMateselect form(m_parent);
    form.m_pSet = EnsureMaterialRecordSet(m_doc).get();
    form.m_pDoc = &m_doc;
    // The selection always starts empty; what the form adds stays even after Cancel.
    if (m_doc.m_nMaterials != 0)
        ClearRecords(m_doc.m_materials, m_doc.m_nMaterials);
    if (RunForm(form) != 1)
        return;
    for (int i = 0; i < m_doc.m_nMaterials; ++i)
        m_doc.m_materials[static_cast<std::size_t>(i)].m_nNo = i + 1;
}

void CDocCommands::OnLayerPara() {
    CLayerNumber form(m_parent);
    form.m_pMessages = m_doc.m_services.messages;
    form.m_nLayers = m_doc.m_nLayers;
    if (RunForm(form) == 1)
        m_doc.m_nLayers = form.m_nLayers;
}

void CDocCommands::OnInput(const CProjectKind& kind) {
    std::unique_ptr<CLayerStackForm> form;
    if (kind.kind == EProjectKind::FGM)
        form = std::make_unique<CFGM>(&m_doc, m_parent);
    else
        form = std::make_unique<CAllPara>(&m_doc, m_parent);
    form->m_pMessages = m_doc.m_services.messages;
    form->LoadFrom(m_doc);
    if (RunForm(*form) != 1)
        return;
    // Prepared before writing, so the run stays offered even when a write fails.
    m_doc.m_nRunType = kind.index;
    form->StoreTo(m_doc);
    WriteProjectFile(m_doc, kind);
    if (WriteSolverInput(m_doc, kind) != 1)
        m_doc.ShowMessage(kSolverInputFailed);
    RefreshSampledLoad(m_doc, kind);
}

void CDocCommands::OnSolverOptions() {
    if (!EditSolverOptions(m_doc.m_nElementOrder, m_parent, [this](QDialog& form) { return RunForm(form); }))
        return;
    // The choice is the project's, and where the user's next new project starts.
    KeepUserElementOrder(m_doc.m_nElementOrder);
    KeepElementOrder(m_doc);
}

bool CDocCommands::OnUpdateSampledLoad() const {
    return m_doc.m_nLoadType == 4 || m_doc.m_nFGMLoadType == 4;
}

bool CDocCommands::OnUpdateDispersionCurves() const {
    return m_doc.m_nComLayerCount > 0 || m_doc.m_nFGMLayerCount > 0;
}

void CDocCommands::OnSampledLoad() {
    CSampledLoadDlg form(m_parent);
    form.m_pMessages = m_doc.m_services.messages;
    form.m_pFiles = m_doc.m_services.files;
    form.m_offered = {m_doc.m_nLoadType == 4, m_doc.m_nFGMLoadType == 4};
    form.m_loads = {m_doc.m_comSampledLoad, m_doc.m_fgmSampledLoad};
    form.m_windowEnd = {m_doc.m_fTimeTo, m_doc.m_fFGMTimeTo};
    // The kind whose input was written last, when it samples its load.
    form.m_nProject = (m_doc.m_nRunType == 1 && form.m_offered[1]) || !form.m_offered[0] ? 1 : 0;
    if (RunForm(form) != 1)
        return;
    WriteLoad(m_doc, KindAt(form.m_nProject), form.m_loads[static_cast<size_t>(form.m_nProject)]);
}

void CDocCommands::OnDispersionCurves() {
    CDispersionDlg form(m_parent);
    form.m_pMessages = m_doc.m_services.messages;
    form.m_offered = {m_doc.m_nComLayerCount > 0, m_doc.m_nFGMLayerCount > 0};
    form.m_settings = m_dispersion;
    if (m_doc.m_nRunType >= 0)
        form.m_settings.nProject = m_doc.m_nRunType;
    if (!form.m_offered[static_cast<size_t>(form.m_settings.nProject)])
        form.m_settings.nProject = form.m_offered[0] ? 0 : 1;
    if (RunForm(form) != 1)
        return;
    m_dispersion = form.m_settings;
    m_dispersion.nElementOrder = m_doc.m_nElementOrder;
    CDispersionTable table;
    if (RunDispersion(m_doc, m_dispersion, table) != DispersionOutcome::Done)
        return;
    const std::string& title = m_dispersion.nProject == 0 ? m_doc.m_strComTitle : m_doc.m_strFGMTitle;
    auto* window = new CDispersionWindow(std::move(table), m_dispersion.bPerThickness,
                                         DispersionWindowTitle(title, m_dispersion), m_parent ? m_parent->window() : nullptr);
    // Its own file dialogs and messages: they belong to it, not to the main window.
    window->m_strExportDir = m_doc.m_szStartDir;
    window->m_pModals = m_modals;
    // The windows it opens in turn (directions) join the document's windows as it did; not once
    // these commands are gone.
    window->m_openWindow = [this, alive = std::weak_ptr<int>(m_alive)](QWidget* opened) {
        if (alive.lock())
            Opened(opened);
        else
            opened->show();
    };
    Opened(window);
    m_lastDispersion = window;
}

void CDocCommands::OnWaveField() {
    CWaveFieldDlg form(m_parent);
    form.m_pMessages = m_doc.m_services.messages;
    form.m_offered = {m_doc.m_nComLayerCount > 0, m_doc.m_nFGMLayerCount > 0};
    for (const CProjectKind* kind : ProjectKinds()) {
        const CWaveFieldSettings& kept = m_doc.*kind->waveField;
        form.m_settings[size_t(kind->index)] = kept.m_bDefined ? kept : DefaultWaveField(*kind, m_doc);
    }
    form.m_nProject = m_doc.m_nRunType == 1 ? 1 : 0;
    if (!form.m_offered[size_t(form.m_nProject)])
        form.m_nProject = form.m_offered[0] ? 0 : 1;
    if (RunForm(form) != 1)
        return;
    const CProjectKind& kind = KindAt(form.m_nProject);
    const CWaveFieldSettings settings = form.m_settings[size_t(form.m_nProject)];
    m_doc.*kind.waveField = settings;
    KeepProjectSettings(m_doc, kind);
    CWaveFieldResult result;
    if (RunWaveField(m_doc, kind, settings, result) != WaveFieldOutcome::Done)
        return;
    ShowWaveField(std::move(result.field), QStringLiteral("Wave field - %1").arg(QString::fromStdString(m_doc.*kind.title)));
}

void CDocCommands::ShowWaveField(numerics::CFieldFile field, const QString& title) {
    auto* window = new CWaveFieldWindow(std::move(field), title, m_parent ? m_parent->window() : nullptr);
    // Its own file dialogs and messages, as the dispersion window's.
    window->m_strExportDir = m_doc.m_szStartDir;
    window->m_pModals = m_modals;
    Opened(window);
    m_lastWaveField = window;
}
