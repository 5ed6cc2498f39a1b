#include "StudyLauncher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

#include <filesystem>

#include "OstrelDoc.h"
#include "PosixProcessRunner.h"
#include "StudyCommands.h"
#include "StudyDialog.h"
#include "LocalRun.h"
#include "SlurmRun.h"
#include "StudyManifest.h"
#include "StudyResults.h"
#include "StudyWindow.h"

namespace fs = std::filesystem;

namespace {

enum class Existing { Resume, Replace, Cancel };

Existing AskAboutExisting(const StudyLaunchHooks& hooks, QWidget* parent, const std::string& dir) {
    const QString text = QObject::tr("The study in %1 exists already.\n\nYes: resume it (what is complete is kept).\n"
                                     "No: start it again from nothing.")
                             .arg(QString::fromStdString(dir));
    const int answer = hooks.ask ? hooks.ask(text)
                                 : QMessageBox::question(parent, QObject::tr("Pemblar"), text,
                                                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    return answer == QMessageBox::Yes ? Existing::Resume : answer == QMessageBox::No ? Existing::Replace : Existing::Cancel;
}

// The study directory a definition made from the document gets (its project file may not be
// written yet).
std::string ExpectedStudyDir(const StudyDefinition& def) {
    const fs::path project(def.projectFile);
    return (project.parent_path().parent_path() / (def.kind == StudyKind::FGM ? "outputFGM" : "output") /
            project.stem() / "studies" / def.name)
        .string();
}

CStudyWindow* ShowResults(COstrelDoc& doc, const std::string& studyDir, QWidget* parent, bool quietWhenEmpty) {
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
    window->show();
    return window;
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

CStudyWindow* OnStudy(COstrelDoc& doc, QWidget* parent, const StudyLaunchHooks& hooks, int elementOrder) {
    CStudyDialog form(doc, parent);
    form.m_nElementOrder = elementOrder;
    form.ShowElementOrder();
    if ((hooks.runForm ? hooks.runForm(form) : form.exec()) != QDialog::Accepted)
        return nullptr;
    const StudyDefinition& def = form.Definition();
    const std::string dir = ExpectedStudyDir(def);
    std::string command = "run";
    std::error_code ec;
    if (fs::exists(fs::path(dir) / kManifestName, ec)) {
        switch (AskAboutExisting(hooks, parent, dir)) {
        case Existing::Cancel: return nullptr;
        case Existing::Resume: command = "resume"; break;
        case Existing::Replace:
            if (std::string why; !RemoveStartedStudy(dir, &why)) {
                doc.ShowMessage("The study cannot be started again: " + why + ".");
                return nullptr;
            }
            break;
        }
    }
    std::string error;
    const std::string file = WriteDocumentStudy(doc, def, &error);
    if (file.empty()) {
        doc.ShowMessage(error);
        return nullptr;
    }
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
        return ShowResults(doc, dir, parent, true);
    case ProcessOutcome::Status::Crashed:
        doc.ShowMessage("pemblar-study ended abnormally (" + outcome.errorText + ").");
        return nullptr;
    case ProcessOutcome::Status::Finished:
        break;
    }
    if (outcome.exitCode != 0)
        doc.ShowMessage("The study did not complete (exit code " + std::to_string(outcome.exitCode) +
                        "); \"pemblar-study status " + file + "\" says which cases failed and why.");
    return ShowResults(doc, dir, parent, outcome.exitCode != 0);
}
