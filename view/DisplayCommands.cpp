#include "DisplayCommands.h"

#include "CommandIds.h"
#include "OstrelDoc.h"
#include "ResultFiles.h"

namespace {

constexpr DisplayCommand kCommands[] = {
    {Cmd::kDisplayComCurrentU, 1, &ReadComResult, 1, false},
    {Cmd::kDisplayComCurrentV, 2, &ReadComResult, 1, false},
    {Cmd::kDisplayComCurrentW, 3, &ReadComResult, 1, false},
    {Cmd::kDisplayComExistingU, 1, &ReadExistingComResult, 1, true},
    {Cmd::kDisplayComExistingV, 2, &ReadExistingComResult, 1, true},
    {Cmd::kDisplayComExistingW, 3, &ReadExistingComResult, 1, true},
    {Cmd::kDisplayFGMCurrentU, 1, &ReadFGMResult, 2, false},
    {Cmd::kDisplayFGMCurrentV, 2, &ReadFGMResult, 2, false},
    {Cmd::kDisplayFGMCurrentW, 3, &ReadFGMResult, 2, false},
    {Cmd::kDisplayFGMExistingU, 1, &ReadExistingFGMResult, 2, true},
    {Cmd::kDisplayFGMExistingV, 2, &ReadExistingFGMResult, 2, true},
    {Cmd::kDisplayFGMExistingW, 3, &ReadExistingFGMResult, 2, true},
};

}  // namespace

std::span<const DisplayCommand> DisplayCommands() { return kCommands; }

const DisplayCommand* FindDisplayCommand(int id) {
    for (const DisplayCommand& command : kCommands)
        if (command.id == id)
            return &command;
    return nullptr;
}

namespace {

// Enough of the document's curve state to tell whether a read replaced it (an existing-result
// reader also succeeds when its file choice is cancelled).
struct CurveState {
    int loaded, points;
    float x0, x1, y0, y1;
    const CCurvePoint* data;
    bool operator==(const CurveState&) const = default;
};

CurveState StateOf(const COstrelDoc& doc) {
    return {doc.m_bCurveLoaded, doc.m_nPoints, doc.m_fFullXMin, doc.m_fFullXMax, doc.m_fFullYMin,
            doc.m_fFullYMax, doc.m_curve.data()};
}

}  // namespace

bool RunDisplayCommand(COstrelDoc& doc, const DisplayCommand& command) {
    doc.m_nLabelComp = command.component;
    doc.m_nResultComp = command.component;
    const CurveState before = StateOf(doc);
    const int read = command.reader(doc);
    if (read != 1 || doc.m_bCurveLoaded != 1)
        return false;
    // A read of equal data cannot be told from a cancelled choice; either way the curve on
    // show is unchanged, and so is its source, unless none was known.
    if (StateOf(doc) == before && doc.m_nCurveFamily != 0)
        return false;
    doc.m_nCurveFamily = command.family;
    doc.m_bCurveExisting = command.existing ? 1 : 0;
    return true;
}
