#pragma once
// Composite and FGM project files ("input"/title.dat, "inputFGM"/title.dat) and solver inputs
// ("bin"/"input.d", "binFGM"/"inputfgm.dat"). Writers return 1 on success and 0 on failure.
// Every file is replaced atomically; the texts themselves and the window-free readers are in
// ProjectFormat.h. All of these end in the document's m_szStartDir on every path.

class COstrelDoc;

int WriteComProject(COstrelDoc& doc);
int WriteComSolverInput(COstrelDoc& doc);
int WriteFGMProject(COstrelDoc& doc);
int WriteFGMSolverInput(COstrelDoc& doc);

// The open commands: a file dialog in "input" / "inputFGM", then the project file read back.
void OnOpenComposite(COstrelDoc& doc);
void OnOpenFGM(COstrelDoc& doc);
