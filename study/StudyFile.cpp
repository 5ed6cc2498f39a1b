#include "StudyFile.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>

#include <toml++/toml.h>

#include "ProjectFormat.h"
#include "SolverRun.h"
#include "WorkingDirectory.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxStudyFileSize = 1u << 20;

// Parsing stops at the first fault; this carries it out of the nested readers.
struct CFault {
    StudyFileError* out;
    bool failed = false;
    void Set(const toml::node* where, std::string reason) {
        if (failed)
            return;
        failed = true;
        if (out) {
            out->line = where ? static_cast<int>(where->source().begin.line) : 0;
            out->reason = std::move(reason);
        }
    }
};

// Only known keys: a misspelt key must not silently fall back to a default.
bool OnlyKeys(const toml::table& t, std::initializer_list<std::string_view> keys, const std::string& where,
              CFault& fault) {
    for (auto&& [key, value] : t) {
        bool known = false;
        for (auto k : keys)
            known = known || key.str() == k;
        if (!known) {
            fault.Set(&value, "unknown key \"" + std::string(key.str()) + "\"" + where);
            return false;
        }
    }
    return true;
}

bool ReadNumber(const toml::node& n, const std::string& what, double& out, CFault& fault) {
    const auto v = n.value<double>();
    if (!v || !(n.is_floating_point() || n.is_integer())) {
        fault.Set(&n, what + " must be a number");
        return false;
    }
    if (!std::isfinite(*v)) {
        fault.Set(&n, what + " must be a finite number");
        return false;
    }
    out = *v;
    return true;
}

bool ReadInt(const toml::node& n, const std::string& what, long long lo, long long hi, long long& out,
             CFault& fault) {
    if (!n.is_integer()) {
        fault.Set(&n, what + " must be a whole number");
        return false;
    }
    const long long v = *n.value<long long>();
    if (v < lo || v > hi) {
        fault.Set(&n, what + " must be from " + std::to_string(lo) + " to " + std::to_string(hi));
        return false;
    }
    out = v;
    return true;
}

bool ReadString(const toml::node& n, const std::string& what, std::string& out, CFault& fault) {
    if (!n.is_string()) {
        fault.Set(&n, what + " must be a string in quotes");
        return false;
    }
    out = *n.value<std::string>();
    // Names and paths reach job scripts, sbatch and terminals: no line breaks, tabs or escapes.
    if (HasControlCharacter(out)) {
        fault.Set(&n, what + " must be one line without control characters");
        return false;
    }
    return true;
}

// values = [...], or from/to with step or count.
bool ReadValues(const toml::table& t, const toml::node& where, const std::string& what, std::vector<double>& out,
                CFault& fault) {
    const toml::node* values = t.get("values");
    const toml::node* from = t.get("from");
    const toml::node* to = t.get("to");
    const toml::node* step = t.get("step");
    const toml::node* count = t.get("count");
    if (values) {
        if (from || to || step || count) {
            fault.Set(values, what + ": give either values or a range (from, to, step or count), not both");
            return false;
        }
        const toml::array* a = values->as_array();
        if (!a || a->empty()) {
            fault.Set(values, what + ": values must be a list of at least one number");
            return false;
        }
        if (a->size() > static_cast<std::size_t>(kMaxSweepValues)) {
            fault.Set(values, what + ": at most " + std::to_string(kMaxSweepValues) + " values");
            return false;
        }
        for (const toml::node& v : *a) {
            double d = 0;
            if (!ReadNumber(v, what + ": each value", d, fault))
                return false;
            out.push_back(d);
        }
        return true;
    }
    if (!from || !to || (!step == !count)) {
        fault.Set(&where, what + ": give values = [...], or from and to with either step or count");
        return false;
    }
    double a = 0, b = 0;
    if (!ReadNumber(*from, what + ": from", a, fault) || !ReadNumber(*to, what + ": to", b, fault))
        return false;
    std::string why;
    if (step) {
        double s = 0;
        if (!ReadNumber(*step, what + ": step", s, fault))
            return false;
        out = StepRange(a, b, s, &why);
    } else {
        long long n = 0;
        if (!ReadInt(*count, what + ": count", 1, kMaxSweepValues, n, fault))
            return false;
        out = CountRange(a, b, n, &why);
    }
    if (out.empty()) {
        fault.Set(step ? step : count, what + ": " + why);
        return false;
    }
    for (double v : out)
        if (!std::isfinite(v)) {
            fault.Set(from, what + ": the range's values are too large to be numbers");
            return false;
        }
    return true;
}

bool ReadParameter(const toml::table& t, int number, StudyKind kind, StudyParameter& p, CFault& fault) {
    const std::string what = "[[vary]] number " + std::to_string(number);
    if (!OnlyKeys(t, {"parameter", "layer", "values", "from", "to", "step", "count", "unit"}, " in " + what, fault))
        return false;
    const toml::node* name = t.get("parameter");
    std::string s;
    if (!name) {
        fault.Set(&t, what + ": parameter is missing (frequency, thickness, angle, volume_fraction or direction)");
        return false;
    }
    if (!ReadString(*name, what + ": parameter", s, fault))
        return false;
    if (s == "frequency")
        p.kind = ParameterKind::Frequency;
    else if (s == "thickness")
        p.kind = ParameterKind::Thickness;
    else if (s == "angle")
        p.kind = ParameterKind::Angle;
    else if (s == "volume_fraction")
        p.kind = ParameterKind::VolumeFraction;
    else if (s == "direction")
        p.kind = ParameterKind::Direction;
    else {
        fault.Set(name, what + ": unknown parameter \"" + s + "\" (frequency, thickness, angle, volume_fraction or direction)");
        return false;
    }
    if (p.kind == ParameterKind::Angle && kind == StudyKind::FGM) {
        fault.Set(name, what + ": an FGM layer has no fibre angle");
        return false;
    }
    if (p.kind == ParameterKind::VolumeFraction && kind == StudyKind::Composite) {
        fault.Set(name, what + ": a composite layer has no volume fraction");
        return false;
    }
    if (const toml::node* unit = t.get("unit")) {
        std::string u;
        if (!ReadString(*unit, what + ": unit", u, fault))
            return false;
        if (p.kind != ParameterKind::Frequency) {
            fault.Set(unit, what + ": only a frequency takes a unit (\"MHz\" or \"rad/us\")");
            return false;
        }
        if (u == "MHz")
            p.unit = FrequencyUnit::MHz;
        else if (u == "rad/us")
            p.unit = FrequencyUnit::RadPerMicrosecond;
        else {
            fault.Set(unit, what + ": unit must be \"MHz\" or \"rad/us\"");
            return false;
        }
    }
    const toml::node* layer = t.get("layer");
    if (!HasLayer(p.kind)) {
        if (layer) {
            fault.Set(layer, what + (p.kind == ParameterKind::Frequency ? ": the frequency" : ": the load direction") +
                                 " belongs to no layer");
            return false;
        }
    } else {
        long long l = 0;
        if (!layer) {
            fault.Set(&t, what + ": layer is missing (1 is the top layer)");
            return false;
        }
        if (!ReadInt(*layer, what + ": layer", 1, 100000, l, fault))
            return false;
        p.layer = static_cast<int>(l);
    }
    if (!ReadValues(t, t, what, p.values, fault))
        return false;
    for (double v : p.values) {
        const bool bad = (p.kind == ParameterKind::Thickness && !(v > 0)) ||
                         (p.kind == ParameterKind::Frequency && v < 0) ||
                         (p.kind == ParameterKind::VolumeFraction && (v < 0 || v > 1)) ||
                         (p.kind == ParameterKind::Direction && v != 1 && v != 2 && v != 3);
        if (bad) {
            const char* rule = p.kind == ParameterKind::Thickness   ? "every thickness must be positive"
                               : p.kind == ParameterKind::Frequency ? "no frequency may be negative"
                               : p.kind == ParameterKind::Direction ? "every direction must be 1 (X), 2 (Y) or 3 (Z)"
                                                                    : "every volume fraction must be from 0 to 1";
            fault.Set(&t, what + ": " + rule);
            return false;
        }
    }
    return true;
}

bool ReadScheduler(const toml::table& t, SchedulerSettings& s, CFault& fault) {
    if (!OnlyKeys(t,
                  {"type", "jobs", "partition", "time", "memory", "cpus_per_task", "max_running", "options",
                   "program", "receivers_per_task"},
                  " in [scheduler]", fault))
        return false;
    std::string type = "local";
    long long n = 0;
    if (auto* v = t.get("type"); v && !ReadString(*v, "scheduler type", type, fault))
        return false;
    if (type == "local")
        s.kind = SchedulerKind::Local;
    else if (type == "slurm")
        s.kind = SchedulerKind::Slurm;
    else {
        fault.Set(t.get("type"), "scheduler type must be \"local\" or \"slurm\"");
        return false;
    }
    if (auto* v = t.get("jobs")) {
        if (!ReadInt(*v, "jobs", 0, 4096, n, fault))
            return false;
        s.jobs = static_cast<int>(n);
    }
    if (auto* v = t.get("cpus_per_task")) {
        if (!ReadInt(*v, "cpus_per_task", 1, numerics::kMaxThreads, n, fault))
            return false;
        s.cpusPerTask = static_cast<int>(n);
    }
    if (auto* v = t.get("max_running")) {
        if (!ReadInt(*v, "max_running", 0, 100000, n, fault))
            return false;
        s.maxRunning = static_cast<int>(n);
    }
    if (auto* v = t.get("receivers_per_task")) {
        if (!ReadInt(*v, "receivers_per_task", 0, kMaxStudyReceivers, n, fault))
            return false;
        s.receiversPerTask = static_cast<int>(n);
    }
    const std::pair<const char*, std::string*> strings[] = {
        {"partition", &s.partition}, {"time", &s.timeLimit}, {"memory", &s.memory}, {"program", &s.program}};
    for (auto [key, target] : strings)
        if (auto* v = t.get(key); v && !ReadString(*v, key, *target, fault))
            return false;
    if (auto* v = t.get("options")) {
        const toml::array* a = v->as_array();
        if (!a) {
            fault.Set(v, "options must be a list of strings, [\"--account=abc\"]");
            return false;
        }
        for (const toml::node& o : *a) {
            std::string text;
            if (!ReadString(o, "each of options", text, fault))
                return false;
            s.options.push_back(text);
        }
    }
    return true;
}

// source = "line" | "point" and field = true | false; a field needs the point source.
bool ReadSource(const toml::table& root, StudyDefinition& def, CFault& fault) {
    if (auto* v = root.get("source")) {
        std::string text;
        if (!ReadString(*v, "source", text, fault))
            return false;
        if (text == "point")
            def.source = SourceKind::Point;
        else if (text != "line") {
            fault.Set(v, "source must be \"line\" (the project's line load) or \"point\" (a point load at the origin)");
            return false;
        }
    }
    if (auto* v = root.get("field")) {
        if (!v->is_boolean()) {
            fault.Set(v, "field must be true or false");
            return false;
        }
        def.waveField = *v->value<bool>();
        if (def.waveField && def.source != SourceKind::Point) {
            fault.Set(v, "a wave field comes from a point source: add source = \"point\"");
            return false;
        }
    }
    return true;
}

// [receivers] with x as from/to/step/count or values, and a point source's rows y = {...}.
bool ReadReceivers(const toml::node& r, StudyDefinition& def, CFault& fault) {
    const toml::table* t = r.as_table();
    if (!t) {
        fault.Set(&r, "receivers must be a table: [receivers] with from, to and step or count, or values");
        return false;
    }
    if (!OnlyKeys(*t, {"values", "from", "to", "step", "count", "y"}, " in [receivers]", fault))
        return false;
    if (!ReadValues(*t, r, "[receivers]", def.receivers, fault))
        return false;
    if (const toml::node* y = t->get("y")) {
        const toml::table* rows = y->as_table();
        if (!rows) {
            fault.Set(y, "[receivers] y must be a table: y = { from = -10.0, to = 10.0, count = 5 } or y = { values = [...] }");
            return false;
        }
        if (def.source != SourceKind::Point) {
            fault.Set(y, "a line load's receivers lie on its line y = 0: rows of y need source = \"point\"");
            return false;
        }
        if (!OnlyKeys(*rows, {"values", "from", "to", "step", "count"}, " in [receivers] y", fault) ||
            !ReadValues(*rows, *y, "[receivers] y", def.receiversY, fault))
            return false;
    }
    const double points = static_cast<double>(def.receivers.size()) *
                          static_cast<double>(def.receiversY.empty() ? 1 : def.receiversY.size());
    if (points > kMaxStudyReceivers) {
        fault.Set(&r, "at most " + std::to_string(kMaxStudyReceivers) + " receiving points (the grid has " +
                          ShortNumber(points) + ")");
        return false;
    }
    def.receiverSweep = true;
    return true;
}

std::string AbsoluteFrom(const std::string& base, const std::string& path) {
    const fs::path p(path);
    return (p.is_absolute() ? p : fs::path(base) / p).lexically_normal().string();
}

// The kind follows the project's directory unless the file says otherwise.
StudyKind KindFromProjectPath(const std::string& path) {
    return fs::path(path).parent_path().filename() == "inputFGM" ? StudyKind::FGM : StudyKind::Composite;
}

bool ReadTop(const toml::table& root, const std::string& baseDir, StudyDefinition& def, CFault& fault) {
    if (!OnlyKeys(root,
                  {"project", "name", "kind", "solver", "points", "order", "source", "field", "receivers", "vary",
                   "scheduler"},
                  "", fault))
        return false;
    const toml::node* project = root.get("project");
    if (!project) {
        fault.Set(nullptr, "the study names no project (project = \"input/title.dat\")");
        return false;
    }
    std::string text;
    if (!ReadString(*project, "project", text, fault))
        return false;
    if (text.empty()) {
        fault.Set(project, "project must name a project file");
        return false;
    }
    def.projectFile = AbsoluteFrom(baseDir, text);
    def.kind = KindFromProjectPath(def.projectFile);
    if (auto* v = root.get("kind")) {
        if (!ReadString(*v, "kind", text, fault))
            return false;
        if (text == "composite")
            def.kind = StudyKind::Composite;
        else if (text == "fgm")
            def.kind = StudyKind::FGM;
        else {
            fault.Set(v, "kind must be \"composite\" or \"fgm\"");
            return false;
        }
    }
    if (auto* v = root.get("name")) {
        if (!ReadString(*v, "name", def.name, fault))
            return false;
    }
    // The default name comes from the file's name, which may hold anything a file name can.
    if (!IsPlainPathComponent(def.name) || HasControlCharacter(def.name)) {
        fault.Set(root.get("name"), "the study name \"" + Printable(def.name) + "\" cannot be a directory name" +
                                        (root.get("name") ? "" : " (it comes from the file's name; give name = \"...\")"));
        return false;
    }
    def.solver = def.kind == StudyKind::FGM ? "Kavrit" : "lumdex";
    if (auto* v = root.get("solver")) {
        if (!ReadString(*v, "solver", text, fault))
            return false;
        if (text.empty()) {
            fault.Set(v, "solver must name a program");
            return false;
        }
        def.solver = text.find('/') == std::string::npos ? text : AbsoluteFrom(baseDir, text);
    }
    if (auto* v = root.get("points")) {
        long long n = 0;
        if (!ReadInt(*v, "points", 2, numerics::kMaxPoints, n, fault))
            return false;
        def.points = static_cast<int>(n);
    }
    if (auto* v = root.get("order")) {
        long long n = 0;
        if (!ReadInt(*v, "order", 1, kMaxElementOrder, n, fault))
            return false;
        def.order = static_cast<int>(n);
    }
    return ReadSource(root, def, fault);
}

}  // namespace

std::vector<double> StepRange(double from, double to, double step, std::string* error) {
    if (!(step > 0) || !std::isfinite(step)) {
        if (error)
            *error = "step must be positive";
        return {};
    }
    if (to < from) {
        if (error)
            *error = "to must not be below from";
        return {};
    }
    // A margin of a millionth of a step keeps "0 to 1 by 0.1" at eleven values.
    const double n = std::floor((to - from) / step + 1e-6);
    if (!(n < kMaxSweepValues)) {
        if (error)
            *error = "the range holds more than " + std::to_string(kMaxSweepValues) + " values";
        return {};
    }
    std::vector<double> out;
    for (long long i = 0; i <= static_cast<long long>(n); ++i)
        out.push_back(from + static_cast<double>(i) * step);
    return out;
}

std::vector<double> CountRange(double from, double to, long long count, std::string* error) {
    if (count < 1 || count > kMaxSweepValues) {
        if (error)
            *error = "count must be from 1 to " + std::to_string(kMaxSweepValues);
        return {};
    }
    if (count == 1) {
        if (from != to) {
            if (error)
                *error = "a single value needs from equal to to";
            return {};
        }
        return {from};
    }
    std::vector<double> out;
    for (long long i = 0; i < count; ++i)
        out.push_back(from + (to - from) * static_cast<double>(i) / static_cast<double>(count - 1));
    out.back() = to;
    return out;
}

bool ParseStudyText(std::string_view text, const std::string& baseDir, const std::string& defaultName,
                    StudyDefinition& out, StudyFileError* error) {
    StudyDefinition def;
    def.name = defaultName;
    CFault fault{error};
    toml::table root;
    try {
        root = toml::parse(text);
    } catch (const toml::parse_error& e) {
        if (error) {
            error->line = static_cast<int>(e.source().begin.line);
            error->reason = std::string(e.description());
        }
        return false;
    }
    if (!ReadTop(root, baseDir, def, fault))
        return false;
    if (const toml::node* r = root.get("receivers"); r && !ReadReceivers(*r, def, fault))
        return false;
    if (const toml::node* v = root.get("vary")) {
        const toml::array* a = v->as_array();
        if (!a) {
            fault.Set(v, "vary must be written [[vary]], one table per parameter");
            return false;
        }
        long long cases = 1;
        for (const toml::node& n : *a) {
            const toml::table* t = n.as_table();
            if (!t) {
                fault.Set(&n, "vary must be written [[vary]], one table per parameter");
                return false;
            }
            StudyParameter p;
            p.line = static_cast<int>(n.source().begin.line);
            if (!ReadParameter(*t, static_cast<int>(def.parameters.size()) + 1, def.kind, p, fault))
                return false;
            for (const StudyParameter& q : def.parameters)
                if (q.kind == p.kind && q.layer == p.layer) {
                    fault.Set(&n, ParameterDescription(p) + " is varied twice");
                    return false;
                }
            cases *= static_cast<long long>(p.values.size());
            if (cases > kMaxStudyCases) {
                fault.Set(&n, "the parameters make more than " + std::to_string(kMaxStudyCases) + " cases");
                return false;
            }
            def.parameters.push_back(std::move(p));
        }
    }
    if (!def.receiverSweep && def.parameters.empty()) {
        fault.Set(nullptr, "the study varies nothing: add [receivers] or a [[vary]] table");
        return false;
    }
    if (const toml::node* s = root.get("scheduler")) {
        const toml::table* t = s->as_table();
        if (!t) {
            fault.Set(s, "scheduler must be a table [scheduler]");
            return false;
        }
        if (!ReadScheduler(*t, def.scheduler, fault))
            return false;
    }
    out = std::move(def);
    return true;
}

std::vector<ReceiverPoint> ReceiverGrid(const StudyDefinition& def) {
    std::vector<ReceiverPoint> out;
    if (!def.receiverSweep)
        return out;
    const std::vector<double> rows = def.receiversY.empty() ? std::vector<double>{0.0} : def.receiversY;
    for (double y : rows)
        for (double x : def.receivers)
            out.push_back({x, y});
    return out;
}

bool ReadStudyFile(const std::string& path, StudyDefinition& out, std::string* error) {
    std::string text, reason;
    switch (ReadRegularFile(path, kMaxStudyFileSize, text, reason)) {
    case ReadFileOutcome::Read: break;
    case ReadFileOutcome::TooLarge: reason = "too large to be a study file"; [[fallthrough]];
    default:
        if (error)
            *error = Printable(path) + ": " + (reason.empty() ? "cannot be read" : reason);
        return false;
    }
    const fs::path p = fs::absolute(path);
    StudyFileError why;
    if (!ParseStudyText(text, p.parent_path().string(), p.stem().string(), out, &why)) {
        if (error)
            *error = Printable(path) + (why.line > 0 ? ", line " + std::to_string(why.line) : std::string()) + ": " + why.reason;
        return false;
    }
    out.studyFile = p.string();
    return true;
}

