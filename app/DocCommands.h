#pragma once
// The document's own commands: the Pre-processing forms with the values they exchange with the
// document, the Computing runs and the two project-opening commands, with their enabling.

#include <QPointer>
#include <functional>
#include <memory>
#include <QWidget>

#include "CommandTarget.h"
#include "DispersionRun.h"
#include "FieldFile.h"
#include "StudyLauncher.h"

class COstrelDoc;
class IModalRunner;
struct CProjectKind;
class QDialog;

class CDocCommands : public TCommandCarrier<CDocCommands> {
public:
    // modals: where the forms are shown (the window layer's runner; null: QDialog::exec).
    CDocCommands(COstrelDoc& doc, QWidget* dialogParent, IModalRunner* modals = nullptr);

    const COstrelDoc& Doc() const { return m_doc; }
    // Told of every window the commands open (dispersion curves and their directions, study
    // results, wave fields) before it is shown, so that the window layer places it and manages
    // it with the document's own; the commands then show it.
    void SetWindowOpened(std::function<void(QWidget*)> opened) { m_windowOpened = std::move(opened); }

    // The commands, carried from the command table.

    void OnMaterialSelected();
    void OnLayerPara();
    // "Input composite parameters" / "Input FGM parameters": the kind's form, then after OK its
    // project file and solver input.
    void OnInput(const CProjectKind& kind);
    // "Open Composite File" / "Open FGM File".
    void OnOpen(const CProjectKind& kind);
    // "Execute composite" / "Execute FGM": the run of the input written last.
    void OnExecute(const CProjectKind& kind);
    void OnStudy();
    void OnOpenStudy();
    void OnSampledLoad();
    // "Solver options...": the project's element order, which is also where the user's next
    // new project starts.
    void OnSolverOptions();
    void OnDispersionCurves();
    // "Wave field...": the form (with the project's last settings, or defaults from its own load
    // and window), the settings kept with the project, the run, and the field's window.
    void OnWaveField();
    // A wave-field file (a study case's) read and shown in that window; one that does not read
    // is said, and no window opens.
    void OpenWaveFieldFile(const std::string& path, const std::string& title);
    // Enabling: a sampled load needs a project whose load type is "Any f(t)"; dispersion curves
    // and a study a stack.
    bool OnUpdateSampledLoad() const;
    bool OnUpdateDispersionCurves() const;
    bool OnUpdateStudy() const { return OnUpdateDispersionCurves(); }
    // What the Study form showed last, offered again.
    const StudyFormMemory& StudyMemory() const { return m_study; }
    // The last dispersion window opened (for tests), null once closed.
    QWidget* LastDispersionWindow() const { return m_lastDispersion; }
    QWidget* LastWaveFieldWindow() const { return m_lastWaveField; }

    static constexpr const char* kSolverInputFailed = "writing data to the file failed ! ";

protected:
    const TCommandHandler<CDocCommands>* HandlerOf(int id) const override;

private:
    int RunForm(QDialog& form) const;
    StudyLaunchHooks StudyHooks();
    // A field in the wave-field window of its own, as "Wave field..." and the study window show it.
    void ShowWaveField(numerics::CFieldFile field, const QString& title);

    COstrelDoc& m_doc;
    QPointer<QWidget> m_parent;
    IModalRunner* m_modals;
    QPointer<QWidget> m_lastDispersion;
    QPointer<QWidget> m_lastWaveField;
    CDispersionSettings m_dispersion;  // the last settings, offered again
    StudyFormMemory m_study;
    std::function<void(QWidget*)> m_windowOpened;
    // Held only by these commands: windows that outlive them see it gone.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
    // Hands a new window to the window layer, then shows it.
    void Opened(QWidget* window) const;
};
