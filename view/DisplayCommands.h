#pragma once
// The twelve Display commands: which component each one shows, of which project kind, and
// whether from the current result or a kept copy. Built from the kind descriptions, so the
// commands of a kind are named in one place.

#include <span>

class COstrelDoc;
struct CProjectKind;

struct DisplayCommand {
    int id;
    int component;              // 1 U, 2 V, 3 W
    const CProjectKind* kind;
    bool existing;              // a kept copy chosen from the output tree
};

std::span<const DisplayCommand> DisplayCommands();
// The entry of id, or null when id is not a Display command.
const DisplayCommand* FindDisplayCommand(int id);
// Both component selectors first (the axis letter follows them even when the read fails),
// then the read. Returns true when the read brought a curve; then the document's
// m_nCurveFamily and m_bCurveExisting name its source. A cancelled choice or a failed read
// leaves the curve on show and its source as they were.
bool RunDisplayCommand(COstrelDoc& doc, const DisplayCommand& command);
