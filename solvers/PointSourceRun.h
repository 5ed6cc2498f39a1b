#pragma once
// lumdex / Kavrit --point-source: the options, their checks, the run and its files.

#include <functional>
#include <string>

#include "PointSource.h"

namespace numerics {

// The bounds of the options (beyond them exit status 2).
inline constexpr double kMaxFieldSide = 4096;      // NX, NY
inline constexpr double kMaxFieldTimes = 10000;    // NT
inline constexpr double kMaxFieldValues = 5e7;     // NX x NY x NT

struct CPointSourceOptions {
    bool bOn = false;
    bool bField = false, bFieldTimes = false;
    std::string strReceiverFile;   // --receivers-xy
    std::string strFieldFile;      // --field-output
    CFieldRequest field;
    bool bEveryDirection = false;
    bool bSingleLattice = false;
    bool bExactSynthesis = false;
    bool bExactModes = false;
};

// Why the options do not go together (a usage error), or empty.
std::string CheckPointSourceOptions(const CPointSourceOptions& o);

struct CPointSourceRun {
    std::string strSolver;       // "lumdex" or "Kavrit"
    std::string strResult;       // "result.dat" or "resultfgm.dat"
    CRunOptions options;
    bool bTiming = false;
    std::function<int(const std::string&)> fail;   // exit status 1 with the message
    std::function<int(const std::string&)> usage;  // exit status 2 with the message
};

// Reads the receivers, checks the size, runs, writes every file; the exit status.
int RunPointSource(CProblem& problem, const CPointSourceOptions& o, const CPointSourceRun& run);

}  // namespace numerics
