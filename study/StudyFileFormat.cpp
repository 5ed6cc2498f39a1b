#include "StudyFile.h"

#include <cstdio>
#include <sstream>

#include <toml++/toml.h>

namespace {

std::string Quote(const std::string& s) {
    std::ostringstream o;
    o << toml::value<std::string>(s);
    return o.str();
}

std::string Number(double v) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", v);
    std::string s = buffer;
    if (s.find_first_of(".eEn") == std::string::npos)
        s += ".0";
    return s;
}

std::string NumberList(const std::vector<double>& values) {
    std::string out = "[";
    for (std::size_t i = 0; i < values.size(); ++i)
        out += (i ? ", " : "") + Number(values[i]);
    return out + "]";
}

const char* ParameterKey(ParameterKind k) {
    switch (k) {
    case ParameterKind::Frequency: return "frequency";
    case ParameterKind::Thickness: return "thickness";
    case ParameterKind::Angle: return "angle";
    case ParameterKind::VolumeFraction: return "volume_fraction";
    case ParameterKind::Direction: return "direction";
    }
    return "frequency";
}

}  // namespace

std::string FormatStudyText(const StudyDefinition& def) {
    std::string out;
    out += "project = " + Quote(def.projectFile) + "\n";
    out += "name = " + Quote(def.name) + "\n";
    out += std::string("kind = \"") + (def.kind == StudyKind::FGM ? "fgm" : "composite") + "\"\n";
    out += "solver = " + Quote(def.solver) + "\n";
    if (def.points > 0)
        out += "points = " + std::to_string(def.points) + "\n";
    if (def.order > 0)
        out += "order = " + std::to_string(def.order) + "\n";
    if (def.source == SourceKind::Point)
        out += "source = \"point\"\n";
    if (def.waveField)
        out += "field = true\n";
    if (def.receiverSweep) {
        out += "\n[receivers]\nvalues = " + NumberList(def.receivers) + "\n";
        if (!def.receiversY.empty())
            out += "y = { values = " + NumberList(def.receiversY) + " }\n";
    }
    for (const StudyParameter& p : def.parameters) {
        out += std::string("\n[[vary]]\nparameter = \"") + ParameterKey(p.kind) + "\"\n";
        if (HasLayer(p.kind))
            out += "layer = " + std::to_string(p.layer) + "\n";
        else if (p.kind == ParameterKind::Frequency)
            out += "unit = \"" + ParameterUnit(p) + "\"\n";
        out += "values = " + NumberList(p.values) + "\n";
    }
    const SchedulerSettings& s = def.scheduler;
    out += std::string("\n[scheduler]\ntype = \"") + (s.kind == SchedulerKind::Slurm ? "slurm" : "local") + "\"\n";
    if (s.jobs > 0)
        out += "jobs = " + std::to_string(s.jobs) + "\n";
    if (!s.partition.empty())
        out += "partition = " + Quote(s.partition) + "\n";
    if (!s.timeLimit.empty())
        out += "time = " + Quote(s.timeLimit) + "\n";
    if (!s.memory.empty())
        out += "memory = " + Quote(s.memory) + "\n";
    if (s.cpusPerTask != 1)
        out += "cpus_per_task = " + std::to_string(s.cpusPerTask) + "\n";
    if (s.maxRunning > 0)
        out += "max_running = " + std::to_string(s.maxRunning) + "\n";
    if (s.receiversPerTask > 0)
        out += "receivers_per_task = " + std::to_string(s.receiversPerTask) + "\n";
    if (!s.program.empty())
        out += "program = " + Quote(s.program) + "\n";
    if (!s.options.empty()) {
        out += "options = [";
        for (std::size_t i = 0; i < s.options.size(); ++i)
            out += (i ? ", " : "") + Quote(s.options[i]);
        out += "]\n";
    }
    return out;
}

std::string ParameterDescription(const StudyParameter& p) {
    switch (p.kind) {
    case ParameterKind::Frequency: return "the load frequency";
    case ParameterKind::Thickness: return "the thickness of layer " + std::to_string(p.layer);
    case ParameterKind::Angle: return "the fibre angle of layer " + std::to_string(p.layer);
    case ParameterKind::VolumeFraction: return "the volume fraction of layer " + std::to_string(p.layer);
    case ParameterKind::Direction: return "the load direction (1 X, 2 Y, 3 Z)";
    }
    return {};
}

std::string ParameterColumn(const StudyParameter& p) {
    std::string s = ParameterKey(p.kind);
    if (p.kind == ParameterKind::Frequency)
        return p.unit == FrequencyUnit::MHz ? s + "_MHz" : s;
    if (p.kind == ParameterKind::Direction)
        return s;
    return s + "_L" + std::to_string(p.layer);
}

std::string ParameterUnit(const StudyParameter& p) {
    switch (p.kind) {
    case ParameterKind::Frequency: return p.unit == FrequencyUnit::MHz ? "MHz" : "rad/us";
    case ParameterKind::Thickness: return "mm";
    case ParameterKind::Angle: return "deg";
    case ParameterKind::VolumeFraction: return "";
    case ParameterKind::Direction: return "";
    }
    return {};
}

namespace {

// The parameter a column names (its layer included); false for a column of no parameter.
bool ColumnParameter(const std::string& column, StudyParameter& p) {
    const std::pair<const char*, ParameterKind> kinds[] = {{"frequency", ParameterKind::Frequency},
                                                           {"thickness", ParameterKind::Thickness},
                                                           {"angle", ParameterKind::Angle},
                                                           {"volume_fraction", ParameterKind::VolumeFraction},
                                                           {"direction", ParameterKind::Direction}};
    for (const auto& [key, kind] : kinds) {
        const std::string k = key;
        if (column.rfind(k, 0) != 0)
            continue;
        const std::string rest = column.substr(k.size());
        p.kind = kind;
        if (kind == ParameterKind::Frequency) {
            p.unit = rest == "_MHz" ? FrequencyUnit::MHz : FrequencyUnit::RadPerMicrosecond;
            return rest.empty() || rest == "_MHz";
        }
        if (kind == ParameterKind::Direction)
            return rest.empty();
        if (rest.rfind("_L", 0) != 0 || rest.size() < 3 || rest.size() > 8 ||
            rest.find_first_not_of("0123456789", 2) != std::string::npos)
            return false;
        p.layer = std::stoi(rest.substr(2));
        return true;
    }
    return false;
}

}  // namespace

std::string ShortNumber(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", v);
    return buffer;
}

std::string ColumnUnit(const std::string& column) {
    StudyParameter p;
    return ColumnParameter(column, p) ? ParameterUnit(p) : std::string();
}

std::string ColumnValueText(const std::string& column, double value) {
    StudyParameter p;
    if (!ColumnParameter(column, p))
        return column + " = " + ShortNumber(value);
    if (p.kind == ParameterKind::Direction && (value == 1 || value == 2 || value == 3))
        return std::string("load direction = ") + "XYZ"[static_cast<int>(value) - 1];
    std::string words = ParameterDescription(p);
    for (const char* article : {"the ", "fibre "})
        if (words.rfind(article, 0) == 0)
            words.erase(0, std::string(article).size());
    const std::string unit = ParameterUnit(p);
    return words + " = " + ShortNumber(value) + (unit.empty() ? "" : " " + unit);
}
