#pragma once
// A started study frozen on disk: every case and task with its directory, the receivers and the
// solver, and the Slurm submissions. Written once by run (and by resume, for new submissions),
// always atomically; the tasks read it, wherever they run, so the study file and the project may
// change afterwards without changing a started study.

#include <string>
#include <vector>

#include "WaveFieldSettings.h"

struct StudyCase {
    std::vector<double> values;  // one per varied parameter, in the manifest's column order
    std::string dir;             // "case-0001", relative to the study directory
};

// One unit of work: a block of receivers of one case, solved by one solver run (or one run per
// receiver with a solver that takes a single receiving point), or the wave field of one case.
struct StudyTask {
    int caseIndex = 0;           // 0-based into cases
    int firstReceiver = 0;       // 0-based into receivers
    int receiverCount = 1;       // 0 for a field
    std::string dir;             // "case-0001/block-0001" (or "case-0001/wavefield.h5"): present only when complete
    bool field = false;          // the case's wave field, one HDF5 file
};

struct StudySubmission {
    std::string jobId;           // Slurm's job id of the array
    std::vector<int> tasks;      // 1-based task numbers it holds
};

struct StudyManifest {
    std::string id;              // made when the study starts: a task of a replaced study refuses to run
    std::string name;
    std::string studyDir;        // absolute
    std::string kind;            // "composite" or "fgm"
    std::string title;           // the project's title
    std::string solver;          // program name or absolute path
    std::string inputName;       // "input.d" or "inputfgm.dat"
    std::string resultName;      // "result.dat" or "resultfgm.dat"
    std::string resultStem;      // "result" or "resultfgm": numbered results are <stem>_r0001.dat
    int points = 0;              // 0: the solver's default
    int order = 0;               // solver --order; 0: the solvers' automatic choice
    int threads = 1;             // solver --threads
    int component = 1;           // 1 U, 2 V, 3 W: what the results hold
    bool receiverSweep = false;
    std::vector<double> receivers;            // x (mm); without a sweep: the project's one point
    bool pointSource = false;                 // a point load at the origin instead of the line load
    std::vector<double> receiversY;           // pointSource: y (mm) of every receiver; else empty (y = 0)
    bool waveField = false;                   // pointSource: every case's field, one task each
    CWaveFieldSettings field;                 // waveField: the rectangle, grid, times, component, direction
    std::vector<std::string> columns;         // "angle_L2"
    std::vector<std::string> descriptions;    // "the fibre angle of layer 2"
    std::vector<StudyCase> cases;
    std::vector<StudyTask> tasks;
    std::string scheduler;       // "local" or "slurm"
    std::vector<StudySubmission> submissions;
};

constexpr int kMaxStudyTasks = 100000;
inline constexpr const char* kManifestName = "manifest.toml";

// The text records how many cases, receivers, tasks and submissions it holds and ends in a
// checksum line, so a manifest cut anywhere (at a task boundary too) is refused rather than read
// as a smaller study. The reader also checks that the tasks cover every receiver of every case
// exactly once.
std::string FormatManifest(const StudyManifest& m);
bool ParseManifest(const std::string& text, StudyManifest& out, std::string* error);
bool ReadManifest(const std::string& studyDir, StudyManifest& out, std::string* error);
bool WriteManifest(const StudyManifest& m, std::string* error);

// The project directory the study belongs to: output/<title>/studies/<name> below it. Every
// directory a study writes must resolve inside it (MakeDirectoryInsideTree).
std::string StudyHome(const StudyManifest& m);
// Makes dir (the study directory or one below it) inside the study's home; false with *error
// when it cannot be made or leads out of it through a link.
bool MakeStudyDirectory(const StudyManifest& m, const std::string& dir, std::string* error);

// Absolute paths of a task's pieces.
std::string TaskDir(const StudyManifest& m, int task);          // complete results
std::string TaskFailedMarker(const StudyManifest& m, int task); // "<dir>.failed": why it failed
std::string CaseDir(const StudyManifest& m, int caseIndex);

// "x = 12.5 mm" for a line load's receiver i (0-based), "(12.5, -4) mm" for a point source's.
std::string ReceiverName(const StudyManifest& m, int i);

// Where a case's wave field goes, relative to the study directory ("case-0001/wavefield.h5"),
// and the name of the solver input its run reads in the case directory ("field-input.d").
std::string FieldTaskDir(const std::string& caseDir);
std::string FieldInputName(const StudyManifest& m);

// "<stem>_r0001.dat": the n-th (1-based) result of a block.
std::string NumberedResultName(const std::string& stem, int n);

// "1-3,7,9-10" for sorted task numbers; and back (empty with *error when malformed).
std::string CompressRanges(const std::vector<int>& sorted);

// A fresh study id (random, hexadecimal).
std::string NewStudyId();
