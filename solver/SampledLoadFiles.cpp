#include "SampledLoadFiles.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <numbers>
#include <sstream>

#include "AtomicFile.h"
#include "Limits.h"
#include "OstrelDoc.h"
#include "ProjectFiles.h"
#include "ProjectSettings.h"
#include "TextEncoding.h"
#include "WorkingDirectory.h"

namespace {

constexpr double kPi = std::numbers::pi;

bool ReadNumber(std::string_view text, double& v) {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    return r.ec == std::errc() && r.ptr == text.data() + text.size() && std::isfinite(v);
}

std::string Number(double v) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", v);
    return buffer;
}

// A number for a message: "1e+06", "1e-09".
std::string Short(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", v);
    return buffer;
}

bool Positive(double v) { return std::isfinite(v) && v > 0; }

// Where the shape is not zero: [start, end].
void Support(const CSampledLoad& l, double& start, double& end) {
    switch (l.m_shape) {
    case ELoadShape::ToneBurst:
        start = l.m_dDelay;
        end = l.m_dDelay + l.m_dCycles / l.m_dFrequency;
        break;
    case ELoadShape::Gaussian:
        start = std::max(0.0, l.m_dDelay - 4 * l.m_dWidth);
        end = l.m_dDelay + 4 * l.m_dWidth;
        break;
    case ELoadShape::RaisedCosineStep:
        start = l.m_dDelay;
        end = l.m_dEnd;
        break;
    case ELoadShape::Imported:
        start = l.m_importedTimes.empty() ? 0 : l.m_importedTimes.front();
        end = l.m_importedTimes.empty() ? 0 : l.m_importedTimes.back();
        break;
    }
}

// The part of the support that is sampled: a step only over its rise, then held to the end.
double SampledEnd(const CSampledLoad& l, double start, double end) {
    return l.m_shape == ELoadShape::RaisedCosineStep ? start + l.m_dRise : end;
}

double Shape(const CSampledLoad& l, double t) {
    const double s = t - l.m_dDelay;
    switch (l.m_shape) {
    case ELoadShape::ToneBurst: {
        const double duration = l.m_dCycles / l.m_dFrequency;
        if (s < 0 || s > duration) return 0;
        return 0.5 * (1 - std::cos(2 * kPi * s / duration)) * std::sin(2 * kPi * l.m_dFrequency * s);
    }
    case ELoadShape::Gaussian: return std::exp(-(s / l.m_dWidth) * (s / l.m_dWidth));
    case ELoadShape::RaisedCosineStep:
        if (s <= 0) return 0;
        return s >= l.m_dRise ? 1.0 : 0.5 * (1 - std::cos(kPi * s / l.m_dRise));
    case ELoadShape::Imported: return 0;
    }
    return 0;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
        if (at >= line.size()) break;
        size_t end = at;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != ',' && line[end] != ';')
            ++end;
        fields.push_back(line.substr(at, end - at));
        at = end;
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
        if (at < line.size() && (line[at] == ',' || line[at] == ';')) ++at;
    }
    return fields;
}

// Empty when a sample is one the solvers take (time, value and the step from the one before
// within their bounds), else why not.
std::string SampleBoundProblem(double t, double v, const double* previous) {
    if (!(std::fabs(t) <= numerics::kMaxTime))
        return "the time " + Short(t) + " us lies outside -" + Short(numerics::kMaxTime) + " to " +
               Short(numerics::kMaxTime) + " us";
    if (!(std::fabs(v) <= numerics::kMaxLoadValue))
        return "the value " + Short(v) + " is larger than " + Short(numerics::kMaxLoadValue);
    if (previous && !(t - *previous >= numerics::kMinLoadStep))
        return "the samples lie closer than " + Short(numerics::kMinLoadStep) + " us";
    return {};
}

// Lines without their ends (LF or CR LF).
template <class F>
void ForEachLine(std::string_view text, F&& f) {
    size_t at = 0;
    int number = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!f(++number, line)) return;
        at = end + 1;
    }
}

const char* ShapeName(ELoadShape s) {
    switch (s) {
    case ELoadShape::ToneBurst: return "tone-burst";
    case ELoadShape::Gaussian: return "gaussian";
    case ELoadShape::RaisedCosineStep: return "raised-cosine-step";
    case ELoadShape::Imported: return "imported";
    }
    return "";
}

}  // namespace

double AutomaticInterval(const CSampledLoad& l) {
    switch (l.m_shape) {
    case ELoadShape::ToneBurst: return 1.0 / (40.0 * l.m_dFrequency);  // 40 samples a period
    case ELoadShape::Gaussian: return l.m_dWidth / 20.0;
    case ELoadShape::RaisedCosineStep: return l.m_dRise / 40.0;
    case ELoadShape::Imported: return 0;
    }
    return 0;
}

std::string CheckSampledLoad(const CSampledLoad& l) {
    if (!std::isfinite(l.m_dDelay) || l.m_dDelay < 0) return "The delay must be a number of 0 or more.";
    // The solvers take times up to kMaxTime: a load that starts or ends later is refused here
    // rather than written as an ft.dat the solver refuses.
    if (!(l.m_dDelay <= numerics::kMaxTime))
        return "The delay must be at most " + Short(numerics::kMaxTime) + " us.";
    if (!(l.m_dInterval == 0 || Positive(l.m_dInterval))) return "The sample interval must be positive (or 0 to choose one).";
    switch (l.m_shape) {
    case ELoadShape::ToneBurst:
        if (!Positive(l.m_dFrequency)) return "The centre frequency must be positive.";
        if (!Positive(l.m_dCycles)) return "The number of cycles must be positive.";
        break;
    case ELoadShape::Gaussian:
        if (!Positive(l.m_dWidth)) return "The pulse width must be positive.";
        break;
    case ELoadShape::RaisedCosineStep:
        if (!Positive(l.m_dRise)) return "The rise time must be positive.";
        if (!std::isfinite(l.m_dEnd) || l.m_dEnd <= l.m_dDelay + l.m_dRise)
            return "The time window ends before the step has risen: a shorter delay or rise time is needed.";
        break;
    case ELoadShape::Imported:
        if (l.m_importedTimes.size() < 2 || l.m_importedTimes.size() != l.m_importedValues.size())
            return "The imported load needs at least two samples.";
        if (l.m_importedTimes.size() > kMaxLoadSamples) return "The imported load has too many samples.";
        for (size_t i = 0; i < l.m_importedTimes.size(); ++i) {
            if (!std::isfinite(l.m_importedTimes[i]) || !std::isfinite(l.m_importedValues[i]) ||
                (i > 0 && !(l.m_importedTimes[i] > l.m_importedTimes[i - 1])))
                return "The imported times must increase from sample to sample.";
            const std::string bound = SampleBoundProblem(l.m_importedTimes[i], l.m_importedValues[i],
                                                         i > 0 ? &l.m_importedTimes[i - 1] : nullptr);
            if (!bound.empty()) return "Imported sample " + std::to_string(i + 1) + ": " + bound + ".";
        }
        return {};
    }
    double start = 0, end = 0;
    Support(l, start, end);
    const double sampledEnd = SampledEnd(l, start, end);
    const double interval = l.m_dInterval > 0 ? l.m_dInterval : AutomaticInterval(l);
    if (!std::isfinite(end) || !((sampledEnd - start) / interval < static_cast<double>(kMaxLoadSamples)))
        return "The load would need more than " + std::to_string(kMaxLoadSamples) +
               " samples: a longer sample interval is needed.";
    if (!(end <= numerics::kMaxTime))
        return "The load must end by " + Short(numerics::kMaxTime) + " us: a shorter delay or duration is needed.";
    // A pulse shorter than the solvers' shortest step, or lost in the rounding of its start time,
    // would give two samples at one time.
    if (!(sampledEnd - start >= numerics::kMinLoadStep))
        return "The load lasts less than " + Short(numerics::kMinLoadStep) +
               " us after its delay: a longer pulse (lower frequency, more cycles, wider or slower rise) is needed.";
    // Samples closer than the solvers take: the pieces between them would be shorter still.
    const double pieces = std::max(1.0, std::ceil((sampledEnd - start) / interval - 1e-9));
    if (!((sampledEnd - start) / pieces >= numerics::kMinLoadStep))
        return "The sample interval must be at least " + Short(numerics::kMinLoadStep) + " us.";
    return {};
}

CLoadSamples SampleLoad(const CSampledLoad& l) {
    CLoadSamples s;
    if (!CheckSampledLoad(l).empty()) return s;
    if (l.m_shape == ELoadShape::Imported) {
        s.times = l.m_importedTimes;
        s.values = l.m_importedValues;
        return s;
    }
    double start = 0, end = 0;
    Support(l, start, end);
    // A step is sampled over its rise only; it then stays at 1 up to the window's end.
    const double sampledEnd = SampledEnd(l, start, end);
    const double interval = l.m_dInterval > 0 ? l.m_dInterval : AutomaticInterval(l);
    const long pieces = std::max(1L, static_cast<long>(std::ceil((sampledEnd - start) / interval - 1e-9)));
    for (long i = 0; i <= pieces; ++i) {
        const double t = start + (sampledEnd - start) * static_cast<double>(i) / static_cast<double>(pieces);
        s.times.push_back(t);
        s.values.push_back(Shape(l, t));
    }
    if (l.m_shape == ELoadShape::RaisedCosineStep) {
        s.times.push_back(end);
        s.values.push_back(1.0);
    }
    return s;
}

std::string FormatLoadSamples(const CLoadSamples& samples) {
    std::string text;
    char buffer[64];
    for (size_t i = 0; i < samples.times.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%.10g %.10g\n", samples.times[i], samples.values[i]);
        text += buffer;
    }
    return text;
}

std::string ParseLoadTable(const std::string& text, CLoadSamples& out) {
    out = {};
    std::string error = TextEncodingProblem(text);
    if (!error.empty()) return error;
    bool first = true;
    ForEachLine(WithoutUtf8Bom(text), [&](int number, std::string_view line) {
        const auto fields = Fields(line);
        if (fields.empty() || fields[0].front() == '#') return true;
        double t = 0, v = 0;
        const bool numbers = fields.size() == 2 && ReadNumber(fields[0], t) && ReadNumber(fields[1], v);
        // Column names only where no field is a number: a row of data is never passed over.
        bool anyNumber = false;
        for (std::string_view f : fields) anyNumber = anyNumber || ReadNumber(f, t);
        const bool header = first && !anyNumber;
        first = false;
        if (header) return true;
        const std::string where = "line " + std::to_string(number) + ": ";
        if (!numbers) {
            error = where + "expected two numbers, a time in us and a value";
            return false;
        }
        if (!out.times.empty() && !(t > out.times.back())) {
            error = where + "the times must increase from line to line";
            return false;
        }
        if (const std::string bound = SampleBoundProblem(t, v, out.times.empty() ? nullptr : &out.times.back());
            !bound.empty()) {
            error = where + bound;
            return false;
        }
        if (out.times.size() >= kMaxLoadSamples) {
            error = where + "more than " + std::to_string(kMaxLoadSamples) + " samples";
            return false;
        }
        out.times.push_back(t);
        out.values.push_back(v);
        return true;
    });
    if (error.empty() && out.times.size() < 2) error = "the file holds fewer than two samples";
    if (!error.empty()) out = {};
    return error;
}

std::string FormatLoadSettings(const CSampledLoad& l) {
    std::string text = "# sampled load f(t) of the project: makes ft.dat\n";
    text += std::string("shape ") + ShapeName(l.m_shape) + "\n";
    text += "frequency " + Number(l.m_dFrequency) + "\n";
    text += "cycles " + Number(l.m_dCycles) + "\n";
    text += "delay " + Number(l.m_dDelay) + "\n";
    text += "width " + Number(l.m_dWidth) + "\n";
    text += "rise " + Number(l.m_dRise) + "\n";
    text += "interval " + Number(l.m_dInterval) + "\n";
    text += "end " + Number(l.m_dEnd) + "\n";
    if (l.m_shape == ELoadShape::Imported) {
        // Only a plain line of text may follow "imported".
        std::string from = l.m_strImportedFrom;
        for (char& c : from)
            if (c == '\n' || c == '\r') c = ' ';
        text += "imported " + from + "\n";
        text += "samples " + std::to_string(l.m_importedTimes.size()) + "\n";
        for (size_t i = 0; i < l.m_importedTimes.size(); ++i)
            text += Number(l.m_importedTimes[i]) + " " + Number(l.m_importedValues[i]) + "\n";
    }
    return text;
}

std::string ParseLoadSettings(const std::string& raw, CSampledLoad& out) {
    if (std::string problem = TextEncodingProblem(raw); !problem.empty()) return problem;
    const std::string_view text = WithoutUtf8Bom(raw);
    CSampledLoad l;
    std::map<std::string, double*> numbers = {
        {"frequency", &l.m_dFrequency}, {"cycles", &l.m_dCycles},     {"delay", &l.m_dDelay}, {"width", &l.m_dWidth},
        {"rise", &l.m_dRise},           {"interval", &l.m_dInterval}, {"end", &l.m_dEnd},
    };
    std::string error;
    size_t samplesLeft = 0;
    bool samplesSeen = false;
    ForEachLine(text, [&](int number, std::string_view line) {
        const std::string where = "line " + std::to_string(number) + ": ";
        if (samplesLeft > 0) {
            const auto f = Fields(line);
            double t = 0, v = 0;
            if (f.size() != 2 || !ReadNumber(f[0], t) || !ReadNumber(f[1], v)) {
                error = where + "expected a sample, a time and a value";
                return false;
            }
            l.m_importedTimes.push_back(t);
            l.m_importedValues.push_back(v);
            --samplesLeft;
            return true;
        }
        if (line.empty() || line.front() == '#') return true;
        const size_t blank = line.find(' ');
        const std::string key(line.substr(0, blank));
        const std::string_view value = blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
        if (key == "shape") {
            bool known = false;
            for (ELoadShape s : {ELoadShape::ToneBurst, ELoadShape::Gaussian, ELoadShape::RaisedCosineStep,
                                 ELoadShape::Imported})
                if (value == ShapeName(s)) {
                    l.m_shape = s;
                    known = true;
                }
            if (!known) error = where + "unknown shape";
        } else if (key == "imported") {
            l.m_strImportedFrom = std::string(value);
        } else if (key == "samples") {
            double count = 0;
            if (samplesSeen || !ReadNumber(value, count) || count < 0 || count > kMaxLoadSamples ||
                count != std::floor(count))
                error = where + "expected the number of samples";
            else
                samplesLeft = static_cast<size_t>(count);  // converted only once known to fit
            samplesSeen = true;
        } else if (const auto it = numbers.find(key); it != numbers.end()) {
            if (!ReadNumber(value, *it->second)) error = where + "expected a number after \"" + key + "\"";
        } else {
            error = where + "unknown setting \"" + key + "\"";
        }
        return error.empty();
    });
    if (error.empty() && samplesLeft > 0) error = "the file ends before its last sample";
    if (error.empty()) error = CheckSampledLoad(l);
    if (error.empty()) out = l;
    return error;
}

bool WriteSampledLoadCurve(COstrelDoc& doc, const CProjectKind& kind, const CSampledLoad& load, std::string* error) {
    const std::string problem = CheckSampledLoad(load);
    if (!problem.empty()) {
        if (error) *error = problem;
        return false;
    }
    if (!WriteBelowHome(doc, kind.runDir, "ft.dat", FormatLoadSamples(SampleLoad(load)), error)) return false;
    CSampledLoad& kept = doc.*kind.sampledLoad;
    kept = load;
    kept.m_bDefined = true;
    return true;
}

bool WriteSampledLoad(COstrelDoc& doc, const CProjectKind& kind, const CSampledLoad& load, std::string* error) {
    return WriteSampledLoadCurve(doc, kind, load, error) && WriteProjectSettings(doc, kind, error);
}
