#pragma once
// From a study definition to a started study on disk: the project is read, every case's solver
// input is formed and written into its own directory under the project's output tree
// ("output"/title/"studies"/name, or "outputFGM"/...), and the manifest is written last, so a
// study directory with a manifest is always a whole one.

#include <string>

#include "StudyFile.h"
#include "StudyManifest.h"

class COstrelDoc;

// Where a definition's study lives; empty with *error when the project cannot be read.
std::string StudyDirectory(const StudyDefinition& def, std::string* error);

// Builds the manifest (cases, tasks, receivers) without writing anything.
bool PlanStudy(const StudyDefinition& def, StudyManifest& out, std::string* error);

// Plans, writes every case's input and the manifest. Refuses a directory that already holds a
// started study (resume continues one).
bool PrepareStudy(const StudyDefinition& def, StudyManifest& out, std::string* error);

// Puts one value of a parameter into a document holding the project. A fibre angle goes to the
// layer's own material; a material other layers share is copied first, so only that layer turns.
bool ApplyParameter(COstrelDoc& doc, StudyKind kind, const StudyParameter& p, double value, std::string* error);

// The solver input text with its receiving point (the last line of both formats) replaced.
std::string WithReceiver(const std::string& inputText, double x);
