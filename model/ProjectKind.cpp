#include "ProjectKind.h"

#include "CommandIds.h"
#include "OstrelDoc.h"

namespace {

constexpr CProjectKind kComposite{
    EProjectKind::Composite, 0, 1, "composite",
    &COstrelDoc::m_strComTitle, &COstrelDoc::m_nLoadType, &COstrelDoc::m_dFrequency,
    &COstrelDoc::m_nLoadDir, &COstrelDoc::m_nOutput, &COstrelDoc::m_fTimeFrom,
    &COstrelDoc::m_fTimeTo, &COstrelDoc::m_fReceiverX, &COstrelDoc::m_bPlate,
    &COstrelDoc::m_fRadius, &COstrelDoc::m_nComLayerCount, &COstrelDoc::m_comSampledLoad,
    &COstrelDoc::m_comWaveField,
    "input", "Open Composite File", "bin", "lumdex", "input.d", "result.dat", "result", "output",
    Cmd::kFileOpen, Cmd::kInputComposite, Cmd::kExecuteComposite,
    {Cmd::kDisplayComCurrentU, Cmd::kDisplayComCurrentV, Cmd::kDisplayComCurrentW},
    {Cmd::kDisplayComExistingU, Cmd::kDisplayComExistingV, Cmd::kDisplayComExistingW},
};

constexpr CProjectKind kFGM{
    EProjectKind::FGM, 1, 2, "FGM",
    &COstrelDoc::m_strFGMTitle, &COstrelDoc::m_nFGMLoadType, &COstrelDoc::m_dFGMFrequency,
    &COstrelDoc::m_nFGMLoadDir, &COstrelDoc::m_nFGMOutput, &COstrelDoc::m_fFGMTimeFrom,
    &COstrelDoc::m_fFGMTimeTo, &COstrelDoc::m_fFGMReceiverX, &COstrelDoc::m_bFGMPlate,
    &COstrelDoc::m_fFGMRadius, &COstrelDoc::m_nFGMLayerCount, &COstrelDoc::m_fgmSampledLoad,
    &COstrelDoc::m_fgmWaveField,
    "inputFGM", "Open FGM File", "binFGM", "Kavrit", "inputfgm.dat", "resultfgm.dat", "resultfgm",
    "outputFGM",
    Cmd::kOpenFGM, Cmd::kInputFGM, Cmd::kExecuteFGM,
    {Cmd::kDisplayFGMCurrentU, Cmd::kDisplayFGMCurrentV, Cmd::kDisplayFGMCurrentW},
    {Cmd::kDisplayFGMExistingU, Cmd::kDisplayFGMExistingV, Cmd::kDisplayFGMExistingW},
};

const CProjectKind* const kKinds[] = {&kComposite, &kFGM};

// Values on a line are separated by four blanks.
const std::vector<CLoadLine> kLoadLines{
    {"load type, frequency", {{&CProjectKind::loadType, 0}, {&CProjectKind::frequency, 4}}},
    {"load direction, output", {{&CProjectKind::loadDir, 0}, {&CProjectKind::output, 0}}},
    {"time from, time to", {{&CProjectKind::timeFrom, 2}, {&CProjectKind::timeTo, 2}}},
    {"receiving point", {{&CProjectKind::receiverX, 4}}},
};

}  // namespace

const CProjectKind& CompositeKind() { return kComposite; }
const CProjectKind& FGMKind() { return kFGM; }
std::span<const CProjectKind* const> ProjectKinds() { return kKinds; }
std::span<const CLoadLine> LoadLines() { return kLoadLines; }
const CProjectKind& KindAt(int index) { return index == 1 ? kFGM : kComposite; }
