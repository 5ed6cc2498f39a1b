#pragma once
// The project files ("input"/title.dat, "inputFGM"/title.dat) and solver inputs ("bin"/"input.d",
// "binFGM"/"inputfgm.dat") of either kind. Writers return 1 on success and 0 on failure.
// Every file is replaced atomically; the texts themselves and the window-free readers are in
// ProjectFormat.h. All of these end in the document's m_szStartDir on every path.

#include <string>

#include "ProjectKind.h"

class COstrelDoc;

// Writes a project file and, beside it, the project's own settings (ProjectSettings.h).
int WriteProjectFile(COstrelDoc& doc, const CProjectKind& kind);
int WriteSolverInput(COstrelDoc& doc, const CProjectKind& kind);

// The common road of every file written below the document's directory: into dir (made when
// missing), replaced atomically, never through a link out of the tree. False with the reason in
// *error; without error, a link out of the tree is told to the user.
bool WriteBelowHome(const COstrelDoc& doc, const char* dir, const std::string& name, const std::string& bytes,
                    std::string* error);

// The open commands: a file dialog in the kind's project directory, then the project file read
// back.
void OnOpenProject(COstrelDoc& doc, const CProjectKind& kind);
