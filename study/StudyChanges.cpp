#include "StudyChanges.h"

#include <algorithm>
#include <filesystem>

#include "StudyPlan.h"
#include "WorkingDirectory.h"

namespace fs = std::filesystem;

namespace {

std::string WithUnit(const std::string& text, const std::string& unit) {
    return unit.empty() ? text : text + " " + unit;
}

// Collects "what: a <before>, b <now>" parts.
class CChanges {
public:
    explicit CChanges(const ChangeSides& sides) : m_sides(sides) {}
    void Add(const std::string& what, const std::string& before, const std::string& now) {
        if (before != now)
            m_list.push_back(what + ": " + before + " " + m_sides.before + ", " + now + " " + m_sides.now);
    }
    void Note(std::string text) { m_list.push_back(std::move(text)); }
    std::vector<std::string> Take() { return std::move(m_list); }

private:
    ChangeSides m_sides;
    std::vector<std::string> m_list;
};

std::string PointsText(int points) {
    return points > 0 ? std::to_string(points) : "the solver's default";
}

std::string OrderText(int order) {
    return order > 0 ? std::to_string(order) : "automatic";
}

std::string ParameterText(const StudyParameter& p) {
    return ParameterDescription(p) + " (" + ValuesText(p.values, ParameterUnit(p)) + ")";
}

std::string ParametersText(const std::vector<StudyParameter>& params) {
    if (params.empty())
        return "none";
    std::string s;
    for (std::size_t i = 0; i < params.size(); ++i)
        s += (i ? "; " : "") + ParameterText(params[i]);
    return s;
}

std::string ReceiversText(bool sweep, const std::vector<double>& values) {
    return sweep ? ValuesText(values, "mm") : "the project's own";
}

// A point source's receivers: the x values, and the rows of y where there are several.
std::string GridText(bool sweep, const std::vector<double>& x, const std::vector<double>& y) {
    std::vector<double> rows = y;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.empty() || (rows.size() == 1 && rows.front() == 0))
        return ReceiversText(sweep, x);
    std::vector<double> xs = x;
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    return std::to_string(x.size()) + " points, x " + ValuesText(xs, "mm") + " in rows at y " + ValuesText(rows, "mm");
}

std::string ComponentWord(int c) {
    return c == 1 ? "U" : c == 2 ? "V" : "W";
}

std::string DirectionWord(int d) {
    return d == 1 ? "X" : d == 2 ? "Y" : "Z";
}

std::string SourceText(bool point) {
    return point ? "a point load at the origin" : "the project's line load";
}

std::string FieldText(bool on, const CWaveFieldSettings& f) {
    if (!on)
        return "none";
    return std::to_string(f.m_nXPoints) + " x " + std::to_string(f.m_nYPoints) + " points over x " +
           ShortNumber(f.m_dXFrom) + " to " + ShortNumber(f.m_dXTo) + " mm, y " + ShortNumber(f.m_dYFrom) + " to " +
           ShortNumber(f.m_dYTo) + " mm at " + std::to_string(f.m_nFrames) + " times from " +
           ShortNumber(f.m_dTimeFrom) + " to " + ShortNumber(f.m_dTimeTo) + " us, " + ComponentWord(f.m_nComponent) +
           " of the source along " + DirectionWord(f.m_nDirection);
}

void CompareScheduler(const SchedulerSettings& a, const SchedulerSettings& b, CChanges& out) {
    const auto kind = [](const SchedulerSettings& s) {
        return std::string(s.kind == SchedulerKind::Slurm ? "a Slurm cluster" : "this computer");
    };
    out.Add("where it runs", kind(a), kind(b));
    out.Add("cases at once", std::to_string(a.jobs), std::to_string(b.jobs));
    out.Add("partition", "\"" + a.partition + "\"", "\"" + b.partition + "\"");
    out.Add("time limit", "\"" + a.timeLimit + "\"", "\"" + b.timeLimit + "\"");
    out.Add("memory", "\"" + a.memory + "\"", "\"" + b.memory + "\"");
    out.Add("CPUs per task", std::to_string(a.cpusPerTask), std::to_string(b.cpusPerTask));
    out.Add("tasks running at most", std::to_string(a.maxRunning), std::to_string(b.maxRunning));
    out.Add("receivers per task", std::to_string(a.receiversPerTask), std::to_string(b.receiversPerTask));
    out.Add("program on the nodes", "\"" + a.program + "\"", "\"" + b.program + "\"");
    std::string oa, ob;
    for (const std::string& o : a.options)
        oa += " " + o;
    for (const std::string& o : b.options)
        ob += " " + o;
    out.Add("sbatch options", "[" + oa + " ]", "[" + ob + " ]");
}

// A case file as it is on disk; false when it is not there (or is no file a case could hold).
bool ReadIfThere(const fs::path& path, std::string& text) {
    constexpr std::size_t kMaxCaseFile = 64u << 20;
    std::string reason;
    return ReadRegularFile(path.string(), kMaxCaseFile, text, reason) == ReadFileOutcome::Read;
}

// How many cases' files on disk differ from the planned ones: inputs and load samples.
void CompareCaseFiles(const StudyManifest& m, const std::vector<CaseFiles>& planned, CChanges& out) {
    int inputs = 0, loads = 0;
    for (std::size_t c = 0; c < planned.size(); ++c) {
        const fs::path dir = fs::path(CaseDir(m, static_cast<int>(c)));
        std::string text;
        if (!ReadIfThere(dir / m.inputName, text) || text != planned[c].input)
            ++inputs;
        else if (m.waveField && (!ReadIfThere(dir / FieldInputName(m), text) || text != planned[c].fieldInput))
            ++inputs;
        const bool there = ReadIfThere(dir / "ft.dat", text);
        if (there != planned[c].hasLoadCurve || (there && text != planned[c].loadCurve))
            ++loads;
    }
    const std::string of = " of " + std::to_string(planned.size()) + " cases";
    if (inputs > 0)
        out.Note("the project (its layers, materials, load or time window) differs from what the study started "
                 "with: the solver input of " + std::to_string(inputs) + of + " would change");
    if (loads > 0)
        out.Note("the load samples (ft.dat) differ from what the study started with in " + std::to_string(loads) + of);
}

}  // namespace

std::string ValuesText(const std::vector<double>& values, const std::string& unit) {
    if (values.empty())
        return "no values";
    if (values.size() > 3)
        return WithUnit(std::to_string(values.size()) + " values from " + ShortNumber(values.front()) + " to " +
                            ShortNumber(values.back()),
                        unit);
    std::string s;
    for (std::size_t i = 0; i < values.size(); ++i)
        s += (i == 0 ? "" : i + 1 == values.size() ? " and " : ", ") + ShortNumber(values[i]);
    return WithUnit(s, unit);
}

std::string ChangesText(const std::string& head, const std::vector<std::string>& changes) {
    std::string text = head;
    for (const std::string& c : changes)
        text += "\n- " + c;
    return text;
}

std::vector<std::string> DefinitionChanges(const StudyDefinition& a, const StudyDefinition& b, const ChangeSides& sides) {
    CChanges out(sides);
    out.Add("project", a.projectFile, b.projectFile);
    out.Add("kind", a.kind == StudyKind::FGM ? "FGM" : "composite", b.kind == StudyKind::FGM ? "FGM" : "composite");
    out.Add("solver", a.solver, b.solver);
    out.Add("output points", PointsText(a.points), PointsText(b.points));
    out.Add("element order", OrderText(a.order), OrderText(b.order));
    out.Add("load", SourceText(a.source == SourceKind::Point), SourceText(b.source == SourceKind::Point));
    out.Add("wave field of every case", a.waveField ? "yes" : "no", b.waveField ? "yes" : "no");
    if (a.receiverSweep != b.receiverSweep || a.receivers != b.receivers || a.receiversY != b.receiversY) {
        const std::string before = GridText(a.receiverSweep, a.receivers, a.receiversY);
        const std::string now = GridText(b.receiverSweep, b.receivers, b.receiversY);
        // Lists that differ only beyond the digits shown still say that they differ.
        out.Add("receiving points", before, before == now ? now + " (other values)" : now);
    }
    bool sameParameters = a.parameters.size() == b.parameters.size();
    for (std::size_t i = 0; sameParameters && i < a.parameters.size(); ++i) {
        const StudyParameter& p = a.parameters[i];
        const StudyParameter& q = b.parameters[i];
        sameParameters = p.kind == q.kind && p.layer == q.layer && p.unit == q.unit && p.values == q.values;
    }
    if (!sameParameters) {
        const std::string before = ParametersText(a.parameters);
        const std::string now = ParametersText(b.parameters);
        out.Add("varied", before, before == now ? now + " (other values)" : now);
    }
    CompareScheduler(a.scheduler, b.scheduler, out);
    return out.Take();
}

bool StartedStudyChanges(const StudyDefinition& def, const StudyManifest& m, std::vector<std::string>& changes,
                         std::string* error, const std::string* projectText) {
    StudyManifest planned;
    if (!PlanStudy(def, planned, error, projectText))
        return false;
    CChanges out(ChangeSides{"when the study started", "now"});
    out.Add("project kind", m.kind, planned.kind);
    out.Add("solver", m.solver, planned.solver);
    out.Add("output points", PointsText(m.points), PointsText(planned.points));
    out.Add("element order", OrderText(m.order), OrderText(planned.order));
    out.Add("output component", std::to_string(m.component), std::to_string(planned.component));
    out.Add("load", SourceText(m.pointSource), SourceText(planned.pointSource));
    out.Add("wave field", FieldText(m.waveField, m.field), FieldText(planned.waveField, planned.field));
    if (m.receiverSweep != planned.receiverSweep || m.receivers != planned.receivers ||
        m.receiversY != planned.receiversY) {
        const std::string before = GridText(m.receiverSweep, m.receivers, m.receiversY);
        const std::string now = GridText(planned.receiverSweep, planned.receivers, planned.receiversY);
        out.Add("receiving points", before, before == now ? now + " (other values)" : now);
    }
    bool sameCases = m.columns == planned.columns && m.cases.size() == planned.cases.size();
    for (std::size_t c = 0; sameCases && c < m.cases.size(); ++c)
        sameCases = m.cases[c].values == planned.cases[c].values;
    if (!sameCases) {
        std::string before, now;
        for (const std::string& col : m.columns)
            before += (before.empty() ? "" : ", ") + col;
        for (const std::string& col : planned.columns)
            now += (now.empty() ? "" : ", ") + col;
        out.Add("cases", std::to_string(m.cases.size()) + " over " + (before.empty() ? "nothing" : before),
                std::to_string(planned.cases.size()) + " over " + (now.empty() ? "nothing" : now) +
                    (m.cases.size() == planned.cases.size() && before == now ? " (other values)" : ""));
    }
    std::vector<std::string> found = out.Take();
    // The inputs are compared case by case only where the cases still match.
    if (found.empty()) {
        std::vector<CaseFiles> files;
        if (!PlanCaseFiles(def, planned, files, error, projectText))
            return false;
        CChanges inputs(ChangeSides{});
        CompareCaseFiles(m, files, inputs);
        found = inputs.Take();
    }
    changes = std::move(found);
    return true;
}
