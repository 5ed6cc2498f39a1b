#pragma once
// From a study definition to a started study on disk: the project is read, every case's solver
// input is formed and written into its own directory under the project's output tree
// ("output"/title/"studies"/name, or "outputFGM"/...), and the manifest is written last, so a
// study directory with a manifest is always a whole one.

#include <string>
#include <vector>

#include "SampledLoad.h"
#include "StudyFile.h"
#include "StudyManifest.h"

class COstrelDoc;
struct CProjectKind;

// The project kind a study runs: its files, its solver, its members of the document.
const CProjectKind& ProjectKindOf(StudyKind kind);

// Where a definition's study lives; empty with *error when the project cannot be read.
std::string StudyDirectory(const StudyDefinition& def, std::string* error);

// What a case holds: its solver input (at the study's first receiving point) and, for the
// load "Any f(t)", the samples ft.dat (the project's own, or rebuilt from its sampled-load
// settings with the case's burst frequency).
struct CaseFiles {
    std::string input;
    bool hasLoadCurve = false;
    std::string loadCurve;
    std::string fieldInput;  // a study of wave fields: the input of the case's field run; else empty
};

// Every case's files as the study would write them now. projectText, when given, stands for
// the project file's contents (the program's document, before it is written).
bool PlanCaseFiles(const StudyDefinition& def, const StudyManifest& m, std::vector<CaseFiles>& out,
                   std::string* error, const std::string* projectText = nullptr);

// A frequency a case sweeps to, in its unit.
struct SweptFrequency {
    double value = 0;
    FrequencyUnit unit = FrequencyUnit::MHz;
};

// SamplingWarning for `points` output samples of a document holding the project: its time
// window and load (with the swept frequency standing for its own, when there is one).
std::string DocumentSamplingWarning(const COstrelDoc& doc, StudyKind kind, int points,
                                    const SweptFrequency* swept = nullptr);

// SamplingWarning for the study's output points, the project's time window and the highest
// frequency any case's load reaches; empty when the sampling shows it (or it is unknown).
std::string StudySamplingWarning(const StudyDefinition& def, const std::string* projectText = nullptr);

// Why sweeping the load frequency cannot change a project's result, in a sentence; empty when
// it can. loadType as in the project file; sampled: its sampled-load settings, null for none.
std::string FrequencySweepProblem(int loadType, const CSampledLoad* sampled);

// Builds the manifest (cases, tasks, receivers) without writing anything. projectText: see
// PlanCaseFiles.
bool PlanStudy(const StudyDefinition& def, StudyManifest& out, std::string* error,
               const std::string* projectText = nullptr);

// Writes every case's input and the manifest of a planned study, whose directory exists and
// whose lock the caller holds. Refuses a directory that already holds a started study (resume
// continues one).
bool WriteStudyCases(const StudyDefinition& def, const StudyManifest& m, std::string* error);

// Plans, makes the study directory (inside the project's tree), takes the study's lock for the
// while and writes the cases and the manifest.
bool PrepareStudy(const StudyDefinition& def, StudyManifest& out, std::string* error);

// Puts one value of a parameter into a document holding the project. A fibre angle goes to the
// layer's own material; a material other layers share is copied first, so only that layer turns.
// A frequency goes to the load: omega of a cosine or sine load, the centre frequency of a
// sampled tone burst (refused, with FrequencySweepProblem's sentence, where it changes nothing).
bool ApplyParameter(COstrelDoc& doc, StudyKind kind, const StudyParameter& p, double value, std::string* error);

// The solver input text with its receiving point (the last line of both formats) replaced.
std::string WithReceiver(const std::string& inputText, double x);
