#pragma once
// Result curves: the current component copy in "bin"/"binFGM", or a kept one chosen from
// "output"/"outputFGM". Return 1 when a curve was read (or the choice was cancelled, for the
// existing-result readers), 0 otherwise.

#include <string>
#include <string_view>
#include <vector>

#include "MateCon.h"

class COstrelDoc;

int ReadComResult(COstrelDoc& doc);
int ReadExistingComResult(COstrelDoc& doc);
int ReadFGMResult(COstrelDoc& doc);
int ReadExistingFGMResult(COstrelDoc& doc);

// A result file's text taken apart: the head "count0 count", then up to count pairs
// "time value". Never holds more points than the text does; stops at the first value that is
// not a finite number. Plain function of the bytes, so it can be fuzzed alone.
struct CResultText {
    enum class Head { Ok, Missing, Negative };
    Head head = Head::Missing;
    int announced = 0;                 // the head's second integer: how many points it promises
    std::vector<CCurvePoint> points;   // the points actually read, in file order
};
CResultText ParseResultText(std::string_view text);

// Puts a parsed result into the document: curve, count, plotting window and full range,
// m_bCurveLoaded, redraw. A head without a usable count changes nothing and is reported;
// fewer points than announced are shown and the shortfall reported. Returns 1 when a curve
// was taken over.
int ApplyResult(COstrelDoc& doc, CResultText parsed, const std::string& fileName);

// Reads the file at path (absolute, or relative to the current directory) into the document
// as above; openFailedText is the message when it cannot be opened.
int ReadResultFile(COstrelDoc& doc, const std::string& path, const char* openFailedText);
