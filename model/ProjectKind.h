#pragma once
// The two kinds of project a document holds side by side, the laminate ("composite") and the
// functionally graded one (FGM), described as data: which of the document's members hold each
// kind's parameters, where its files lie, which solver runs it and which commands belong to
// it. Whatever treats both kinds alike (forms, files, runs, result readers, commands) is
// written once over this description; only the layer records and the lines that carry them
// differ from kind to kind.

#include <array>
#include <span>
#include <string>
#include <variant>
#include <vector>

class COstrelDoc;
struct CSampledLoad;
struct CWaveFieldSettings;

enum class EProjectKind { Composite = 0, FGM = 1 };

struct CProjectKind {
    EProjectKind kind;
    int index;                // 0 composite, 1 FGM: m_nRunType once its input is written
    int curveFamily;          // m_nCurveFamily of the curves its results give: 1, 2
    const char* name;         // "composite", "FGM"

    // The document's members that hold this kind's project.
    std::string COstrelDoc::*title;
    int COstrelDoc::*loadType;
    double COstrelDoc::*frequency;
    int COstrelDoc::*loadDir;
    int COstrelDoc::*output;
    float COstrelDoc::*timeFrom;
    float COstrelDoc::*timeTo;
    float COstrelDoc::*receiverX;
    int COstrelDoc::*plate;
    float COstrelDoc::*radius;
    int COstrelDoc::*layerCount;   // the valid records of its layer list
    CSampledLoad COstrelDoc::*sampledLoad;
    CWaveFieldSettings COstrelDoc::*waveField;

    // Its files, relative to the document's directory.
    const char* projectDir;   // "input": the project files "<title>.dat"
    const char* openTitle;    // the caption of its open dialog
    const char* runDir;       // "bin": where the solver runs
    const char* program;      // "lumdex"
    const char* inputName;    // "input.d": the solver input in runDir
    const char* resultName;   // "result.dat"
    const char* copyStem;     // "result": the kept copies are "result_u.dat" and so on
    const char* outputDir;    // "output": the kept copies below "<outputDir>/<title>"

    // Its commands.
    int openCommand;
    int inputCommand;
    int executeCommand;
    std::array<int, 3> displayCurrent;    // U, V, W of the result in runDir
    std::array<int, 3> displayExisting;   // U, V, W of a kept copy chosen from outputDir
};

// The load block, the same lines in both kinds' project files and solver inputs: each value
// names the kind's member it travels with and how it is written (decimals; 0 for an integer).
// A new load parameter is a member of each kind above and a value here; the writers, the
// reader and the copy into the document follow this list.
struct CLoadValue {
    std::variant<int COstrelDoc::* CProjectKind::*, float COstrelDoc::* CProjectKind::*,
                 double COstrelDoc::* CProjectKind::*>
        member;
    int decimals;
};
struct CLoadLine {
    const char* what;  // what the line holds, for the reader's messages
    std::vector<CLoadValue> values;
};
std::span<const CLoadLine> LoadLines();
// What a load value's member holds: int, float or double.
template <class>
struct LoadValueType;
template <class T>
struct LoadValueType<T COstrelDoc::* CProjectKind::*> {
    using type = T;
};

const CProjectKind& CompositeKind();
const CProjectKind& FGMKind();
// Both kinds, composite first.
std::span<const CProjectKind* const> ProjectKinds();
// The kind of index 0 or 1 (m_nRunType, a form's project choice); composite for any other.
const CProjectKind& KindAt(int index);
