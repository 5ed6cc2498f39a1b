#include "WaveFieldRun.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "DispersionRun.h"
#include "Limits.h"
#include "OstrelDoc.h"
#include "PointSourceRun.h"
#include "ProjectFormat.h"
#include "SideRun.h"
#include "SolverRun.h"

namespace {

constexpr const char* kComponents = "UVW";
constexpr const char* kDirections = "XYZ";

std::string Number(double v) {
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, r.ptr);
}

std::string Count(double v) {
    std::ostringstream out;
    out << v;
    return out.str();
}

// A coordinate range of the rectangle ("x", "y") or the frames' times.
std::string CheckRange(const char* what, double from, double to, int points, double maxPoints, double bound) {
    if (!std::isfinite(from) || !std::isfinite(to) || std::abs(from) > bound || std::abs(to) > bound)
        return std::string("The ") + what + " must lie within +-" + Count(bound) + ".";
    if (points < 1 || points > maxPoints)
        return std::string("The number of ") + (std::string(what) == "times" ? "frames" : std::string(what) + " points") +
               " must be from 1 to " + Count(maxPoints) + ".";
    if (to < from || (points > 1 && !(to > from)))
        return std::string("The ") + what + " must run upwards: \"to\" above \"from\".";
    return {};
}

// A member of the document set to a value while the object lives, then set back.
template <class T>
class CScoped {
public:
    CScoped(T& member, T value) : m_member(member), m_old(member) { m_member = value; }
    ~CScoped() { m_member = m_old; }
    CScoped(const CScoped&) = delete;
    CScoped& operator=(const CScoped&) = delete;

private:
    T& m_member;
    T m_old;
};

int CodeOf(char letter, const char* letters) {
    for (int i = 0; i < 3; ++i)
        if (letters[i] == letter) return i + 1;
    return 0;
}

bool ReadTriple(std::string_view text, double& from, double& to, int& count) {
    std::istringstream in{std::string(text)};
    in.imbue(std::locale::classic());
    std::string extra;
    return static_cast<bool>(in >> from >> to >> count) && !(in >> extra);
}

}  // namespace

std::string CheckWaveFieldSettings(const CWaveFieldSettings& s) {
    using namespace numerics;
    for (const std::string& why :
         {CheckRange("x range", s.m_dXFrom, s.m_dXTo, s.m_nXPoints, kMaxFieldSide, kMaxDistance),
          CheckRange("y range", s.m_dYFrom, s.m_dYTo, s.m_nYPoints, kMaxFieldSide, kMaxDistance),
          CheckRange("times", s.m_dTimeFrom, s.m_dTimeTo, s.m_nFrames, kMaxFieldTimes, kMaxTime)})
        if (!why.empty()) return why;
    if (s.m_dTimeFrom < 0) return "The times must start at 0 or later: the load starts at 0.";
    if (!(s.m_dTimeTo > 0)) return "The last frame must come after 0.";
    const double values = double(s.m_nXPoints) * s.m_nYPoints * s.m_nFrames;
    if (values > kMaxFieldValues)
        return "The wave field would hold " + Count(values) + " values (at most " + Count(kMaxFieldValues) +
               "): use fewer points or frames.";
    if (s.m_nComponent < 1 || s.m_nComponent > 3) return "The component must be U, V or W.";
    if (s.m_nDirection < 1 || s.m_nDirection > 3) return "The direction of the source must be X, Y or Z.";
    return {};
}

CWaveFieldSettings DefaultWaveField(const CProjectKind& kind, const COstrelDoc& doc) {
    CWaveFieldSettings s;
    const auto valid = [](int code) { return code >= 1 && code <= 3; };
    s.m_nComponent = valid(doc.*kind.output) ? doc.*kind.output : 3;
    s.m_nDirection = valid(doc.*kind.loadDir) ? doc.*kind.loadDir : 3;
    const double from = doc.*kind.timeFrom, to = doc.*kind.timeTo;
    if (std::isfinite(from) && std::isfinite(to) && from >= 0 && to > from) {
        s.m_dTimeFrom = from;
        s.m_dTimeTo = to;
    }
    return s;
}

float WaveFieldWindowEnd(const CWaveFieldSettings& s) {
    return static_cast<float>(std::ceil(s.m_dTimeTo * 100.0) / 100.0);
}

std::vector<std::string> WaveFieldArguments(const CWaveFieldSettings& s, const std::string& output, int elementOrder) {
    std::vector<std::string> args{"--point-source",
                                  "--field", Number(s.m_dXFrom), Number(s.m_dXTo), std::to_string(s.m_nXPoints),
                                  Number(s.m_dYFrom), Number(s.m_dYTo), std::to_string(s.m_nYPoints),
                                  "--field-times", Number(s.m_dTimeFrom), Number(s.m_dTimeTo), std::to_string(s.m_nFrames),
                                  "--field-output", output};
    for (std::string& a : ElementOrderArguments(elementOrder))
        args.push_back(std::move(a));
    return args;
}

// ---- the settings file's lines ----

namespace {
enum : unsigned { kSeenX = 1, kSeenY = 2, kSeenTimes = 4, kSeenOutput = 8, kSeenSource = 16, kSeenAll = 31 };
}

std::string FormatWaveFieldLines(const CWaveFieldSettings& s) {
    const auto triple = [](double a, double b, int n) { return Number(a) + " " + Number(b) + " " + std::to_string(n); };
    const int component = s.m_nComponent >= 1 && s.m_nComponent <= 3 ? s.m_nComponent : 3;
    const int direction = s.m_nDirection >= 1 && s.m_nDirection <= 3 ? s.m_nDirection : 3;
    return "wave-field-x " + triple(s.m_dXFrom, s.m_dXTo, s.m_nXPoints) + "\n" +
           "wave-field-y " + triple(s.m_dYFrom, s.m_dYTo, s.m_nYPoints) + "\n" +
           "wave-field-times " + triple(s.m_dTimeFrom, s.m_dTimeTo, s.m_nFrames) + "\n" +
           "wave-field-output " + kComponents[component - 1] + "\n" +
           "wave-field-source " + kDirections[direction - 1] + "\n";
}

bool CWaveFieldLines::Read(std::string_view key, std::string_view value) {
    CWaveFieldSettings& s = m_settings;
    bool ok = true;
    if (key == "wave-field-x") {
        ok = ReadTriple(value, s.m_dXFrom, s.m_dXTo, s.m_nXPoints);
        m_seen |= kSeenX;
    } else if (key == "wave-field-y") {
        ok = ReadTriple(value, s.m_dYFrom, s.m_dYTo, s.m_nYPoints);
        m_seen |= kSeenY;
    } else if (key == "wave-field-times") {
        ok = ReadTriple(value, s.m_dTimeFrom, s.m_dTimeTo, s.m_nFrames);
        m_seen |= kSeenTimes;
    } else if (key == "wave-field-output" || key == "wave-field-source") {
        const bool output = key == "wave-field-output";
        const int code = value.size() == 1 ? CodeOf(value[0], output ? kComponents : kDirections) : 0;
        ok = code != 0;
        (output ? s.m_nComponent : s.m_nDirection) = code;
        m_seen |= output ? kSeenOutput : kSeenSource;
    } else {
        return false;
    }
    m_bad = m_bad || !ok;
    return true;
}

CWaveFieldSettings CWaveFieldLines::Finish() const {
    CWaveFieldSettings s = m_settings;
    s.m_bDefined = m_seen == kSeenAll && !m_bad && CheckWaveFieldSettings(s).empty();
    return s.m_bDefined ? s : CWaveFieldSettings{};
}

// ---- the run ----

WaveFieldOutcome RunWaveField(COstrelDoc& doc, const CProjectKind& kind, const CWaveFieldSettings& s,
                              CWaveFieldResult& out) {
    if (const std::string refused = CheckWaveFieldSettings(s); !refused.empty()) {
        doc.ShowMessage(refused);
        return WaveFieldOutcome::Refused;
    }
    if (doc.*kind.plate == 0) {
        doc.ShowMessage("A wave field needs a plate: the project describes a shell.");
        return WaveFieldOutcome::Refused;
    }
    // The run's own load lines: the source's direction, the component, and a window that ends
    // at the last frame (the solver's plate is as large as that window needs, no larger). They
    // reach the input through the document's members for the while; the project keeps its own.
    CSideRun run;
    {
        const CScoped<int> direction(doc.*kind.loadDir, s.m_nDirection), output(doc.*kind.output, s.m_nComponent);
        const CScoped<float> from(doc.*kind.timeFrom, 0.0f),
            to(doc.*kind.timeTo, WaveFieldWindowEnd(s));
        run.input = FormatSolverInput(kind, doc);
    }
    numerics::CProblem stack;
    if (const std::string error = ParseStack(run.input, kind.index, doc.m_nElementOrder, stack); !error.empty()) {
        doc.ShowMessage("The wave field cannot be computed for this stack: " + error + ". Enter the parameters first.");
        return WaveFieldOutcome::Refused;
    }
    run.subDir = kWaveFieldDir;
    run.what = "the wave field";
    run.outputName = kWaveFieldFile;
    run.arguments = WaveFieldArguments(s, kWaveFieldFile, doc.m_nElementOrder);
    run.withLoadSamples = doc.*kind.loadType == 4;
    run.job = CSolverJob{kind.program, kind.runDir, "The wave-field run was cancelled.", "no wave field was computed",
                         CSolverJob::Output::Lines};
    std::string path;
    switch (RunBeside(doc, kind, run, &path)) {
    case SideRunOutcome::Done: break;
    case SideRunOutcome::Cancelled: return WaveFieldOutcome::Cancelled;
    case SideRunOutcome::Failed: return WaveFieldOutcome::Failed;
    }
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        doc.ShowMessage("The solver " + run.job.program + " wrote no wave field \"" + kWaveFieldFile + "\".");
        return WaveFieldOutcome::Failed;
    }
    CWaveFieldResult result;
    if (const std::string error = numerics::ReadFieldFile(path, result.field); !error.empty()) {
        doc.ShowMessage(std::string("The wave field cannot be read: ") + kWaveFieldFile + ", " + error + ".");
        return WaveFieldOutcome::Failed;
    }
    result.path = path;
    out = std::move(result);
    return WaveFieldOutcome::Done;
}
