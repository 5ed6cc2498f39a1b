#pragma once
// What differs between two versions of a study, in words a user can act on: a study file and
// what the Study form would write over it, or a started study (its manifest and case inputs)
// and what its study file would start now. Run and resume refuse a study whose file changed
// since it started, and say what changed.

#include <string>
#include <vector>

#include "StudyFile.h"
#include "StudyManifest.h"

// Names for the two sides: "in the file" / "in the form".
struct ChangeSides {
    std::string before;
    std::string now;
};

// Every setting in which now differs from before, one sentence part each ("receiving points:
// 5 values from 80 to 120 mm in the file, 21 values from 0 to 10 mm in the form"). Empty when
// both would run the same study in the same way.
std::vector<std::string> DefinitionChanges(const StudyDefinition& before, const StudyDefinition& now,
                                           const ChangeSides& sides);

// What the study file's definition would do differently from the started study m: its cases,
// receivers, output points, element order, solver, output component, and each case's solver
// input and load samples (a changed project). The place to run is not compared: resume may move
// a study. projectText: see PlanCaseFiles. False with *error when the definition cannot be
// planned at all.
bool StartedStudyChanges(const StudyDefinition& def, const StudyManifest& m, std::vector<std::string>& changes,
                         std::string* error, const std::string* projectText = nullptr);

// "5 values from 80 to 120 mm", "1, 2.5 and 7 deg", "no values".
std::string ValuesText(const std::vector<double>& values, const std::string& unit);

// The changes as one text, one per line after a head line.
std::string ChangesText(const std::string& head, const std::vector<std::string>& changes);
