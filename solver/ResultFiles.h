#pragma once
// Result curves: the current component copy in a kind's run directory ("bin", "binFGM"), or a
// kept one chosen from its output tree ("output", "outputFGM"). The reads return what they
// found (a curve, a cancelled choice, or why nothing was read) and change no document; one
// function puts a read into the document and tells the user what went wrong.

#include <string>
#include <string_view>
#include <vector>

#include "MateCon.h"
#include "ProjectKind.h"

class COstrelDoc;
class IFileChooser;

// A result file's text taken apart: the head "count0 count", then up to count pairs
// "time value". Never holds more points than the text does; stops at the first value that is
// not a finite number. Plain function of the bytes, so it can be fuzzed alone.
struct CResultText {
    enum class Head { Ok, Missing, Negative };
    Head head = Head::Missing;
    int announced = 0;                 // the head's second integer: how many points it promises
    std::vector<CCurvePoint> points;   // the points actually read, in file order
    // The same points as the file writes them, in double precision (the file has more digits
    // than a float keeps): what an export of the curve writes.
    struct Exact {
        double x = 0, y = 0;
    };
    std::vector<Exact> exact;
};
CResultText ParseResultText(std::string_view text);

// What a read found.
struct CResultRead {
    enum class Outcome { Read, Cancelled, Failed };
    Outcome outcome = Outcome::Failed;
    CResultText text;       // Read: the curve, with a usable head
    std::string fileName;   // Read: the file's name, for messages
    std::string failure;    // Failed: what the user is told; empty when there is nothing to say
};

// The result file at path (absolute, or relative to the current directory); openFailedText is
// the failure when it cannot be opened.
CResultRead ReadResultAt(const std::string& path, const char* openFailedText);
// The kind's current copy of a component (1 U, 2 V, 3 W) below home.
CResultRead ReadCurrentResult(const std::string& home, const CProjectKind& kind, int component);
// A kept copy the user chooses in the kind's output tree below home; Failed without a word when
// there is no output tree yet (only a run makes it), Cancelled when the choice is cancelled.
CResultRead ChooseKeptResult(const std::string& home, const CProjectKind& kind, IFileChooser* files);

// Puts a parsed result into the document: curve (and its exact values), count, plotting window and full range,
// m_bCurveLoaded, redraw; fewer points than announced are shown and the shortfall reported.
// Returns 1 (a curve was taken over), or 0 with a message for a head without a usable count.
int ApplyResult(COstrelDoc& doc, CResultText parsed, const std::string& fileName);
// Puts a read into the document: a curve as ApplyResult does; after a cancelled choice the plot
// shows what it showed before (an empty frame on a fresh document); a failure is told. Returns
// 1 when the document shows a curve or the choice was cancelled, 0 when the read failed.
int ShowResult(COstrelDoc& doc, const CResultRead& read);

// Where a Display command takes its curve from.
enum class EResultSource { Current, Kept };
// The read of a Display command for the document's m_nResultComp, shown: the value of the read.
CResultRead ReadResult(COstrelDoc& doc, const CProjectKind& kind, EResultSource source);
