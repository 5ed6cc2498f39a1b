#pragma once
// The twelve Display commands: which component each one shows and which reader fetches it.
// Plain C++ so the table is checked without a window.

#include <span>

class COstrelDoc;

struct DisplayCommand {
    int id;
    int component;                   // 1 U, 2 V, 3 W
    int (*reader)(COstrelDoc& doc);  // one of the result readers
};

std::span<const DisplayCommand> DisplayCommands();
// The entry of id, or null when id is not a Display command.
const DisplayCommand* FindDisplayCommand(int id);
// Both component selectors first (the axis letter follows them even when the read fails),
// then the read. The reader's result is not needed: a success redraws every view itself.
void RunDisplayCommand(COstrelDoc& doc, const DisplayCommand& command);
