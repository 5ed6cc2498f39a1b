#include "ProjectFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "AtomicFile.h"
#include "OstrelDoc.h"
#include "ProjectFormat.h"
#include "ProjectKind.h"
#include "ProjectSettings.h"
#include "WorkingDirectory.h"

namespace {

const char* const kCannotWrite = "Cannot open the file for writing!";
const char* const kCannotRead = "Cannot open the file for reading!";

// Project files larger than this are not project files; refuse before filling memory.
constexpr std::size_t kMaxProjectFileSize = 16u << 20;

// Goes into dir below the working directory, making it first when it is missing.
bool EnterDirectory(const char* dir, std::string* error) {
    if (ChangeDirectory(dir))
        return true;
    MakeDirectory(dir);
    if (ChangeDirectory(dir))
        return true;
    if (error)
        *error = std::string(dir) + ": cannot create or enter the directory: " +
                 std::strerror(errno);
    return false;
}

}  // namespace

bool WriteBelowHome(const COstrelDoc& doc, const char* dir, const std::string& name, const std::string& bytes,
                    std::string* error) {
    CDirectoryGuard home(doc.m_szStartDir);
    if (!ChangeDirectory(home.Home())) {
        if (error)
            *error = "the project directory \"" + home.Home() + "\" cannot be entered";
        return false;
    }
    if (!EnterDirectory(dir, error))
        return false;
    if (!ResolvesInsideTree(home.Home(), ".")) {
        // Reported here for the solver inputs, whose callers say nothing of their own.
        if (error)
            *error = std::string(dir) + ": the directory leads outside the working directory (through a symbolic link)";
        else
            doc.ShowMessage(OutsideTreeMessage(dir));
        return false;
    }
    std::string why;
    if (!WriteFileAtomically(name, bytes, &why)) {
        if (error)
            *error = std::string(dir) + "/" + why;
        return false;
    }
    return true;
}

namespace {

int WriteProject(COstrelDoc& doc, const char* dir, const std::string& title,
                 const std::string& nameProblem, const std::string& bytes) {
    CDirectoryGuard home(doc.m_szStartDir);  // ends in the home directory on every path
    // The title names a file inside dir and nothing else: no path, no line break.
    if (!IsPlainPathComponent(title) || !nameProblem.empty()) {
        if (nameProblem.empty() || nameProblem.rfind("the title", 0) == 0)
            doc.ShowMessage(kCannotWrite);
        else
            doc.ShowMessage(std::string(kCannotWrite) + "\n" + dir + "/" + title + ".dat: " +
                            nameProblem + ".");
        return 0;
    }
    std::string error;
    if (!WriteBelowHome(doc, dir, title + ".dat", bytes, &error)) {
        doc.ShowMessage(std::string(kCannotWrite) + "\n" + error);
        return 0;
    }
    return 1;
}

// The open commands: dialog in the kind's directory, then the chosen file parsed completely
// before anything of the document changes. The chosen path once the project was read, else empty.
std::string OpenProject(COstrelDoc& doc, const CProjectKind& kind) {
    CDirectoryGuard home(doc.m_szStartDir);
    if (!ChangeDirectory(home.Home()) || !ChangeDirectory(kind.projectDir))
        return {};  // no project directory yet: nothing to open
    FileDialogRequest request;
    request.title = kind.openTitle;
    request.defaultExt = "dat";
    request.initialName = "*.dat";
    request.filter = "*.dat";
    request.startDir = CurrentDirectory();
    request.hideReadOnly = true;
    if (!doc.m_services.files)
        return {};
    const auto chosen = doc.m_services.files->ChooseFile(request);
    if (!chosen || chosen->empty())
        return {};

    std::string text, reason;
    switch (ReadRegularFile(*chosen, kMaxProjectFileSize, text, reason)) {
    case ReadFileOutcome::CannotOpen:
    case ReadFileOutcome::NotRegular:
        doc.ShowMessage(std::string(kCannotRead) + "\n" + *chosen + ": " + reason);
        return {};
    case ReadFileOutcome::TooLarge:
        doc.ShowMessage("Cannot read the project file!\n" + *chosen +
                        ": the file is too large to be a project file.");
        return {};
    case ReadFileOutcome::Read:
        break;
    }
    ProjectData data;
    ProjectReadError error;
    if (!ParseProject(kind, text, data, &error)) {
        doc.ShowMessage("Cannot read the project file!\n" + *chosen + ", line " +
                        std::to_string(error.line) + ": " + error.reason + ".");
        return {};
    }
    ApplyProject(kind, data, doc);
    return *chosen;
}

}  // namespace

int WriteProjectFile(COstrelDoc& doc, const CProjectKind& kind) {
    if (!WriteProject(doc, kind.projectDir, doc.*kind.title, ProjectNameProblem(kind, doc), FormatProject(kind, doc)))
        return 0;
    std::string error;
    if (!WriteProjectSettings(doc, kind, &error)) {
        doc.ShowMessage("Cannot write the project settings!\n" + error);
        return 0;
    }
    return 1;
}

int WriteSolverInput(COstrelDoc& doc, const CProjectKind& kind) {
    CDirectoryGuard home(doc.m_szStartDir);
    // The composite solver reads the title as its first line; a line break there would shift
    // the rest.
    if (kind.kind == EProjectKind::Composite && (doc.*kind.title).find_first_of("\r\n") != std::string::npos)
        return 0;
    return WriteBelowHome(doc, kind.runDir, kind.inputName, FormatSolverInput(kind, doc), nullptr) ? 1 : 0;
}

void OnOpenProject(COstrelDoc& doc, const CProjectKind& kind) {
    const std::string path = OpenProject(doc, kind);
    // The settings kept beside the project come back; a sampled load makes its ft.dat again.
    if (!path.empty())
        RestoreProjectSettings(doc, kind, path);
}
