#pragma once
// A study's results as plot content: a receiver sweep as a B-scan (displacement over receiving
// point and time, one column per receiver) and a parameter sweep as a family of curves (one per
// case, at one receiving point), and both as CSV.

#include <string>

#include "PlotPainter.h"
#include "StudyManifest.h"
#include "StudyResults.h"

// The rows of a B-scan: the receivers (indices) of each y of a point source's grid, in the
// manifest's order; a line load's receivers are one row.
std::vector<std::vector<std::size_t>> ReceiverRows(const StudyManifest& m);

// A B-scan needs at least two receiving points in a row.
bool ShowsAsBScan(const StudyManifest& m);

// "W", "U", "V" for the manifest's component.
std::string ComponentName(const StudyManifest& m);

// "angle of layer 2 = 30 deg, load frequency = 0.2 MHz" (or "case 1" when nothing else varies).
std::string CaseLabel(const StudyManifest& m, int caseIndex);

// The B-scan of one case along one row (ReceiverRows). Columns in ascending receiving point, each
// where its receiver is and named after it for the read-out. Missing results are empty columns.
plot::PlotContent BScanContent(const StudyManifest& m, const StudyResults& r, int caseIndex, int row = 0);

// One curve per case at receiver receiverIndex; cases without that result are left out.
plot::PlotContent FamilyContent(const StudyManifest& m, const StudyResults& r, int receiverIndex);

// The CSV of what a content shows: time rows, one column per receiver (B-scan) or case (family).
std::string ContentCsv(const plot::PlotContent& content, const StudyManifest& m, const StudyResults& r,
                       int caseIndex, bool bscan, int row = 0);
