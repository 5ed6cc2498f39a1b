#pragma once
// The study file: which project, what to vary, where to run. TOML (see docs/studies.md); the
// reader checks everything, so a definition that comes back is complete and bounded.

#include <string>
#include <string_view>
#include <vector>

enum class StudyKind { Composite, FGM };

// What one sweep changes in the project. Layer numbers are 1-based, as the forms show them.
// Direction: the load's direction, 1 X, 2 Y, 3 Z (a point source's as well).
enum class ParameterKind { Frequency, Thickness, Angle, VolumeFraction, Direction };
// Whether a parameter belongs to a layer (the load's frequency and direction do not).
inline bool HasLayer(ParameterKind k) { return k != ParameterKind::Frequency && k != ParameterKind::Direction; }

// The unit of frequency values: MHz (what the Study form writes; a tone burst's centre
// frequency is given in it) or rad/us (the laminate form's own field, and what a file that
// names no unit means).
enum class FrequencyUnit { RadPerMicrosecond, MHz };

struct StudyParameter {
    ParameterKind kind = ParameterKind::Frequency;
    int layer = 0;               // Thickness, Angle, VolumeFraction
    std::vector<double> values;  // in the order the cases run
    FrequencyUnit unit = FrequencyUnit::RadPerMicrosecond;  // Frequency only
    int line = 0;                // its [[vary]] table's line in the study file; 0 when not from one
};

enum class SchedulerKind { Local, Slurm };

// What loads the plate: the project's line load, or a point load at the origin of the top
// surface (the project's direction, load and time window), read at (x, y) on the top surface.
enum class SourceKind { Line, Point };

struct SchedulerSettings {
    SchedulerKind kind = SchedulerKind::Local;
    int jobs = 0;                // local: cases at once; 0 = one per core
    std::string partition;       // slurm: empty = the cluster's default
    std::string timeLimit;       // slurm --time, "00:30:00"
    std::string memory;          // slurm --mem, "2G"
    int cpusPerTask = 1;         // slurm --cpus-per-task, also the solver's --threads
    int maxRunning = 0;          // slurm array throttle "%N"; 0 = none
    std::vector<std::string> options;  // further sbatch options, passed as they are
    std::string program;         // the pemblar-study the tasks run; empty = this one
    int receiversPerTask = 0;    // receivers solved by one task; 0 = all of a case
};

struct StudyDefinition {
    std::string name;            // the study's directory below the project's output tree
    std::string projectFile;     // absolute
    StudyKind kind = StudyKind::Composite;
    std::string solver;          // program name or absolute path
    int points = 0;              // solver --points; 0 = the solver's default
    int order = 0;               // solver --order (1..kMaxElementOrder); 0 = the solvers' automatic choice
    SourceKind source = SourceKind::Line;
    bool receiverSweep = false;
    std::vector<double> receivers;           // receiverSweep only: x (mm)
    std::vector<double> receiversY;          // a point source's grid: y (mm) of every row; empty: y = 0
    bool waveField = false;                  // a point source's field of every case, as "Wave field..." sets it
    std::vector<StudyParameter> parameters;  // every combination is one case
    SchedulerSettings scheduler;
    std::string studyFile;       // absolute, when read from a file: named in messages with a line
};

struct StudyFileError {
    int line = 0;  // 0 when the fault belongs to no line
    std::string reason;
};

// Limits that keep any accepted file bounded in time and disk.
constexpr int kMaxSweepValues = 10000;
constexpr int kMaxStudyCases = 10000;
constexpr int kMaxStudyReceivers = 10000;

// The receiving points of a definition as (x, y) pairs: a point source's grid row by row (x
// fastest), a line load's x values with y = 0. Empty without a receiver sweep.
struct ReceiverPoint {
    double x = 0, y = 0;
};
std::vector<ReceiverPoint> ReceiverGrid(const StudyDefinition& def);

// baseDir: the study file's directory, against which relative paths are taken.
bool ParseStudyText(std::string_view text, const std::string& baseDir, const std::string& defaultName,
                    StudyDefinition& out, StudyFileError* error);
bool ReadStudyFile(const std::string& path, StudyDefinition& out, std::string* error);

// The text of a study file that reads back as def (paths written absolute).
std::string FormatStudyText(const StudyDefinition& def);

// "the fibre angle of layer 2", "the load frequency"; the short column name "angle_L2",
// "frequency" (rad/us) or "frequency_MHz"; and the unit of its values ("deg", "mm", "MHz",
// "rad/us", "" for a volume fraction).
std::string ParameterDescription(const StudyParameter& p);
std::string ParameterColumn(const StudyParameter& p);
std::string ParameterUnit(const StudyParameter& p);
// The unit of a manifest's column, from its name as ParameterColumn makes it.
std::string ColumnUnit(const std::string& column);
// A number as "%g" prints it ("45", "0.25", "1e-06"): for texts, not for files.
std::string ShortNumber(double v);
// "angle of layer 2 = 45 deg": a column's value in words, for legends and choosers.
std::string ColumnValueText(const std::string& column, double value);

// Values from, from+step, ... up to to (with a rounding margin), or count values from..to
// both ends included. Empty with *error when the range is unusable.
std::vector<double> StepRange(double from, double to, double step, std::string* error);
std::vector<double> CountRange(double from, double to, long long count, std::string* error);
