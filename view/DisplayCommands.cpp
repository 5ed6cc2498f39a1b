#include "DisplayCommands.h"

#include <vector>

#include "OstrelDoc.h"
#include "ProjectKind.h"
#include "ResultFiles.h"

namespace {

std::vector<DisplayCommand> BuildCommands() {
    std::vector<DisplayCommand> commands;
    for (const CProjectKind* kind : ProjectKinds()) {
        for (int c = 1; c <= 3; ++c)
            commands.push_back({kind->displayCurrent[static_cast<std::size_t>(c - 1)], c, kind, false});
        for (int c = 1; c <= 3; ++c)
            commands.push_back({kind->displayExisting[static_cast<std::size_t>(c - 1)], c, kind, true});
    }
    return commands;
}

}  // namespace

std::span<const DisplayCommand> DisplayCommands() {
    static const std::vector<DisplayCommand> commands = BuildCommands();
    return commands;
}

const DisplayCommand* FindDisplayCommand(int id) {
    for (const DisplayCommand& command : DisplayCommands())
        if (command.id == id)
            return &command;
    return nullptr;
}

bool RunDisplayCommand(COstrelDoc& doc, const DisplayCommand& command) {
    doc.m_nLabelComp = command.component;
    doc.m_nResultComp = command.component;
    const CResultRead read =
        ReadResult(doc, *command.kind, command.existing ? EResultSource::Kept : EResultSource::Current);
    if (read.outcome != CResultRead::Outcome::Read)
        return false;
    doc.m_nCurveFamily = command.kind->curveFamily;
    doc.m_bCurveExisting = command.existing ? 1 : 0;
    return true;
}
