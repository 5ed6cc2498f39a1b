#pragma once
// A solver run beside the project's own: its input goes into a directory of its own below the
// kind's run directory ("bin/dispersion", "bin/wavefield"), so the project's input and result
// stay as they are. The solver runs there through the document's runner (the progress window
// with Cancel), and the file it makes is removed first, so an old one never passes for the new.

#include <string>
#include <vector>

#include "ProjectKind.h"
#include "SolverOutcome.h"

class COstrelDoc;

struct CSideRun {
    std::string subDir;                  // "dispersion"
    std::string what;                    // "the dispersion curves", as messages name it
    std::string input;                   // the solver input's text
    std::string outputName;              // the file the run makes
    std::vector<std::string> arguments;
    bool withLoadSamples = false;        // the run directory's "ft.dat" goes along (load "Any f(t)")
    CSolverJob job;                      // how its end is told
};

enum class SideRunOutcome { Done, Cancelled, Failed };

// Every failure is told to the user through the document; on Done *outputPath is the absolute
// path of the output file (which the solver may still not have made).
SideRunOutcome RunBeside(COstrelDoc& doc, const CProjectKind& kind, const CSideRun& run, std::string* outputPath);
