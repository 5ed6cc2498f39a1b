#pragma once
// A study built from the active document: what the "Study..." form asks, turned into a study
// definition over the document's own project file, and written as a study file beside it.

#include <string>

#include "StudyFile.h"

class COstrelDoc;

struct DocumentStudyChoice {
    StudyKind kind = StudyKind::Composite;
    std::string name = "study";
    bool receiverSweep = true;           // false: one parameter of the project
    ParameterKind parameter = ParameterKind::Angle;
    int layer = 1;
    double from = 0, to = 10, step = 1;  // receiving points (mm) or the parameter's values
    bool byCount = false;                // count values from..to instead of a step
    int count = 11;
    bool pointSource = false;            // a point load at the origin instead of the line load
    double yFrom = 0, yTo = 0;           // point source, receiving points: rows of y (mm), both ends
    int yCount = 1;                      // 1: the row y = yFrom alone
    bool waveField = false;              // point source: every case's field (the project's settings)
    SchedulerSettings scheduler;
    int points = 0;
    int order = 0;  // the element order of the user's solver options; 0 automatic
};

// The unit the form gives each parameter in: mm, deg, MHz (a frequency), "" (a volume fraction).
std::string ChoiceUnit(ParameterKind kind);

// The definition (with its values) for the document; false with *error when the choice does
// not fit (a step that makes no values, a layer the project lacks, a bad name, a frequency sweep
// of a load without a frequency). base: a study file the form was filled from; what the form
// does not show (the solver, cases at once, memory, sbatch options, ...) is kept from it.
bool BuildDocumentStudy(const COstrelDoc& doc, const DocumentStudyChoice& choice, StudyDefinition& out,
                        std::string* error, const StudyDefinition* base = nullptr);

// The form's fields for a study file's definition: the receivers or its first parameter (a
// frequency in MHz), as a count from the first to the last value, and its place to run.
DocumentStudyChoice ChoiceFromDefinition(const StudyDefinition& def);

// Why the document's kind cannot give a study of wave fields (a sentence), empty when it can:
// the project has the settings "Wave field..." keeps with it.
std::string WaveFieldChoiceProblem(const COstrelDoc& doc, StudyKind kind);

// The sampling warning the form shows for a choice (see DocumentSamplingWarning).
std::string ChoiceSamplingWarning(const COstrelDoc& doc, const DocumentStudyChoice& choice);

// Writes the document's project file ("input"/title.dat or "inputFGM"/title.dat, as Input does)
// and the study file "<name>.study.toml" beside it; returns the study file's path, or empty with
// *error.
std::string WriteDocumentStudy(COstrelDoc& doc, const StudyDefinition& def, std::string* error);
