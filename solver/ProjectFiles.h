#pragma once
// The project files ("input"/title.dat, "inputFGM"/title.dat) and solver inputs ("bin"/"input.d",
// "binFGM"/"inputfgm.dat") of either kind. Writers return 1 on success and 0 on failure.
// Every file is replaced atomically; the texts themselves and the window-free readers are in
// ProjectFormat.h. All of these end in the document's m_szStartDir on every path.

#include "ProjectKind.h"

class COstrelDoc;

int WriteProjectFile(COstrelDoc& doc, const CProjectKind& kind);
int WriteSolverInput(COstrelDoc& doc, const CProjectKind& kind);

// The open commands: a file dialog in the kind's project directory, then the project file read
// back.
void OnOpenProject(COstrelDoc& doc, const CProjectKind& kind);
