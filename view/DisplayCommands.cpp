#include "DisplayCommands.h"

#include "CommandIds.h"
#include "OstrelDoc.h"
#include "ResultFiles.h"

namespace {

constexpr DisplayCommand kCommands[] = {
    {Cmd::kDisplayComCurrentU, 1, &ReadComResult},
    {Cmd::kDisplayComCurrentV, 2, &ReadComResult},
    {Cmd::kDisplayComCurrentW, 3, &ReadComResult},
    {Cmd::kDisplayComExistingU, 1, &ReadExistingComResult},
    {Cmd::kDisplayComExistingV, 2, &ReadExistingComResult},
    {Cmd::kDisplayComExistingW, 3, &ReadExistingComResult},
    {Cmd::kDisplayFGMCurrentU, 1, &ReadFGMResult},
    {Cmd::kDisplayFGMCurrentV, 2, &ReadFGMResult},
    {Cmd::kDisplayFGMCurrentW, 3, &ReadFGMResult},
    {Cmd::kDisplayFGMExistingU, 1, &ReadExistingFGMResult},
    {Cmd::kDisplayFGMExistingV, 2, &ReadExistingFGMResult},
    {Cmd::kDisplayFGMExistingW, 3, &ReadExistingFGMResult},
};

}  // namespace

std::span<const DisplayCommand> DisplayCommands() { return kCommands; }

const DisplayCommand* FindDisplayCommand(int id) {
    for (const DisplayCommand& command : kCommands)
        if (command.id == id)
            return &command;
    return nullptr;
}

void RunDisplayCommand(COstrelDoc& doc, const DisplayCommand& command) {
    doc.m_nLabelComp = command.component;
    doc.m_nResultComp = command.component;
    (void)command.reader(doc);
}
