#include "StudyLauncher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

#include <filesystem>

#include "ModalRunner.h"
#include "OstrelDoc.h"
#include "PosixProcessRunner.h"
#include "ProjectFormat.h"
#include "StudyChanges.h"
#include "StudyCommands.h"
#include "StudyDialog.h"
#include "StudyManifest.h"
#include "StudyPlan.h"
#include "StudyResults.h"
#include "StudyWindow.h"

namespace fs = std::filesystem;

namespace {

int Ask(const StudyLaunchHooks& hooks, QWidget* parent, const QString& text, QMessageBox::StandardButtons buttons) {
    QMessageBox question(QMessageBox::Question, QObject::tr("Pemblar"), text, buttons, parent);
    const int answer = RunModal(hooks.modals, question);
    // A button clicked (or Escape's) says the answer; a runner that plays the user gives it.
    return question.clickedButton() ? int(question.standardButton(question.clickedButton())) : answer;
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// The study directory a definition made from the document gets (its project file may not be
// written yet).
std::string ExpectedStudyDir(const StudyDefinition& def) {
    const fs::path project(def.projectFile);
    return (project.parent_path().parent_path() / (def.kind == StudyKind::FGM ? "outputFGM" : "output") /
            project.stem() / "studies" / def.name)
        .string();
}

std::string StudyFilePath(const StudyDefinition& def) {
    return (fs::path(def.projectFile).parent_path() / (def.name + ".study.toml")).string();
}

// A study file of that name that says something else is replaced only when the user agrees.
bool MayReplaceStudyFile(const StudyLaunchHooks& hooks, QWidget* parent, const StudyDefinition& def) {
    const std::string path = StudyFilePath(def);
    std::error_code ec;
    if (!fs::exists(path, ec))
        return true;
    StudyDefinition file;
    std::string error;
    QString text;
    if (!ReadStudyFile(path, file, &error)) {
        text = QObject::tr("The study file %1 exists but cannot be read:\n%2\n\nReplace it with the form's settings?")
                   .arg(Q(path), Q(error));
    } else {
        const auto changes = DefinitionChanges(file, def, ChangeSides{"in the file", "in the form"});
        if (changes.empty())
            return true;
        text = Q(ChangesText("The study file " + path + " holds other settings than the form:", changes)) +
               QObject::tr("\n\nYes: replace the file with the form's settings.\nNo: keep it (Study, Open study... "
                           "loads it into the form, or give this study another name).");
    }
    return Ask(hooks, parent, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

enum class Existing { None, Resume, Replace, Cancel };

// A started study of that name: resumed, started again, or left alone. A study that was started
// with other settings cannot be resumed with these.
Existing AskAboutExisting(COstrelDoc& doc, const StudyLaunchHooks& hooks, QWidget* parent, const StudyDefinition& def,
                          const std::string& dir) {
    std::error_code ec;
    if (!fs::exists(fs::path(dir) / kManifestName, ec))
        return Existing::None;
    StudyManifest m;
    std::vector<std::string> changes;
    std::string error;
    const std::string project = FormatProject(ProjectKindOf(def.kind), doc);
    if (!ReadManifest(dir, m, &error) || !StartedStudyChanges(def, m, changes, &error, &project))
        changes = {"its settings cannot be compared (" + error + ")"};
    if (changes.empty()) {
        const QString text = QObject::tr("The study in %1 exists already.\n\nYes: resume it (what is complete is "
                                         "kept).\nNo: start it again from nothing.")
                                 .arg(Q(dir));
        const int answer = Ask(hooks, parent, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        return answer == QMessageBox::Yes ? Existing::Resume : answer == QMessageBox::No ? Existing::Replace : Existing::Cancel;
    }
    const QString text = Q(ChangesText("The study in " + dir + " was started with other settings:", changes)) +
                         QObject::tr("\n\nYes: start it again with the form's settings (its results are removed).\n"
                                     "No: keep it (give this study another name).");
    return Ask(hooks, parent, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes ? Existing::Replace
                                                                                              : Existing::Cancel;
}

CStudyWindow* RunStudy(COstrelDoc& doc, QWidget* parent, const StudyDefinition& def, const std::string& command,
                       const StudyLaunchHooks& hooks) {
    std::string error;
    const std::string file = WriteDocumentStudy(doc, def, &error);
    if (file.empty()) {
        doc.ShowMessage(error);
        return nullptr;
    }
    const std::string dir = ExpectedStudyDir(def);
    CPosixProcessRunner headless;
    IProcessRunner& runner = doc.m_services.processes ? *doc.m_services.processes : headless;
    ProcessRequest request;
    request.program = StudyProgramPath();
    request.arguments = {command, file};
    request.workingDirectory = doc.m_szStartDir;
    const ProcessOutcome outcome = runner.Run(request);
    switch (outcome.status) {
    case ProcessOutcome::Status::FailedToStart:
        doc.ShowMessage("pemblar-study could not be started (" + outcome.errorText + ").");
        return nullptr;
    case ProcessOutcome::Status::Cancelled:
        if (def.scheduler.kind == SchedulerKind::Slurm) {
            // Stopping the follower leaves the jobs queued; Cancel means the study's work stops.
            StudyCommandIO io;
            std::string said;
            io.err = [&](const std::string& line) { said += line + "\n"; };
            if (StudyCancelCommand(file, io) != 0)
                doc.ShowMessage("The study's Slurm jobs could not be cancelled: " + said);
        }
        doc.ShowMessage("The study was cancelled; complete cases are kept, and Study... with the same name resumes it.");
        return ShowStudyResults(doc, dir, parent, true, hooks);
    case ProcessOutcome::Status::Crashed:
        doc.ShowMessage("pemblar-study ended abnormally (" + outcome.errorText + ").");
        return nullptr;
    case ProcessOutcome::Status::Finished:
        break;
    }
    if (outcome.exitCode != 0)
        doc.ShowMessage("The study did not complete (exit code " + std::to_string(outcome.exitCode) +
                        "); \"pemblar-study status " + file + "\" says which cases failed and why.");
    return ShowStudyResults(doc, dir, parent, outcome.exitCode != 0, hooks);
}

}  // namespace

std::string StudyProgramPath() {
    if (const QByteArray chosen = qgetenv("PEMBLAR_STUDY"); !chosen.isEmpty())
        return chosen.toStdString();
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& candidate : {dir + QStringLiteral("/pemblar-study"), dir + QStringLiteral("/../study/pemblar-study")}) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable())
            return QDir::cleanPath(info.absoluteFilePath()).toStdString();
    }
    return "pemblar-study";
}

CStudyWindow* ShowStudyResults(COstrelDoc& doc, const std::string& studyDir, QWidget* parent, bool quietWhenEmpty,
                               const StudyLaunchHooks& hooks) {
    StudyManifest m;
    StudyResults r;
    std::string error;
    if (!ReadManifest(studyDir, m, &error) || !LoadStudyResults(m, r, &error)) {
        doc.ShowMessage("The study's results cannot be read: " + error);
        return nullptr;
    }
    if (r.complete == 0) {
        if (!quietWhenEmpty)
            doc.ShowMessage("The study has no results yet.");
        return nullptr;
    }
    auto* window = new CStudyWindow(std::move(m), std::move(r), parent);
    window->m_openField = hooks.openField;
    window->m_pModals = hooks.modals;
    return window;
}

CStudyWindow* OnStudy(COstrelDoc& doc, QWidget* parent, const StudyLaunchHooks& hooks, int elementOrder,
                      StudyFormMemory* memory) {
    CStudyDialog form(doc, parent);
    form.m_nElementOrder = elementOrder;
    form.ShowElementOrder();
    if (memory && memory->choice)
        form.SetChoice(*memory->choice);
    if (memory)
        form.m_base = memory->base;
    const int answer = RunModal(hooks.modals, form);
    // What the user entered is offered again, OK or not.
    if (memory)
        memory->choice = form.Choice();
    if (answer != QDialog::Accepted)
        return nullptr;
    const StudyDefinition& def = form.Definition();
    if (!MayReplaceStudyFile(hooks, parent, def))
        return nullptr;
    const std::string dir = ExpectedStudyDir(def);
    std::string command = "run";
    switch (AskAboutExisting(doc, hooks, parent, def, dir)) {
    case Existing::None: break;
    case Existing::Cancel: return nullptr;
    case Existing::Resume: command = "resume"; break;
    case Existing::Replace:
        if (std::string why; !RemoveStartedStudy(dir, &why)) {
            doc.ShowMessage("The study cannot be started again: " + why + ".");
            return nullptr;
        }
        break;
    }
    return RunStudy(doc, parent, def, command, hooks);
}

CStudyWindow* OnOpenStudy(COstrelDoc& doc, QWidget* parent, const StudyLaunchHooks& hooks, int elementOrder,
                          StudyFormMemory& memory) {
    if (!doc.m_services.files)
        return nullptr;
    FileDialogRequest request;
    request.title = "Open study";
    request.filter = "Study files (*.study.toml *.toml);;All files (*)";
    request.startDir = (fs::path(doc.m_szStartDir) / "input").string();
    const std::optional<std::string> path = doc.m_services.files->ChooseFile(request);
    if (!path || path->empty())
        return nullptr;
    StudyDefinition def;
    std::string error;
    if (!ReadStudyFile(*path, def, &error)) {
        doc.ShowMessage("The study file cannot be read: " + error);
        return nullptr;
    }
    memory.choice = ChoiceFromDefinition(def);
    memory.base = def;
    const std::string dir = StudyDirectory(def, &error);
    std::error_code ec;
    if (!dir.empty() && fs::exists(fs::path(dir) / kManifestName, ec)) {
        if (CStudyWindow* window = ShowStudyResults(doc, dir, parent, true, hooks))
            return window;
    }
    // Not run yet (or without results): the form, to run it.
    return OnStudy(doc, parent, hooks, elementOrder, &memory);
}
