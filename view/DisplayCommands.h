#pragma once
// The twelve Display commands: which component each one shows and which reader fetches it.
// Plain C++ so the table is checked without a window.

#include <span>

class COstrelDoc;

struct DisplayCommand {
    int id;
    int component;                   // 1 U, 2 V, 3 W
    int (*reader)(COstrelDoc& doc);  // one of the result readers
    int family;                      // 1 composite, 2 FGM
    bool existing;                   // a kept copy chosen from the output tree
};

std::span<const DisplayCommand> DisplayCommands();
// The entry of id, or null when id is not a Display command.
const DisplayCommand* FindDisplayCommand(int id);
// Both component selectors first (the axis letter follows them even when the read fails),
// then the read. The reader's result is not needed: a success redraws every view itself.
// Returns true when the read brought a curve (then the document's m_nCurveFamily and
// m_bCurveExisting name its source).
bool RunDisplayCommand(COstrelDoc& doc, const DisplayCommand& command);
