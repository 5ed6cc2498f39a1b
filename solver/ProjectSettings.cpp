#include "ProjectSettings.h"

#include <charconv>
#include <filesystem>

#include "OstrelDoc.h"
#include "ProjectFiles.h"
#include "SampledLoadFiles.h"
#include "SolverRun.h"
#include "TextEncoding.h"
#include "WaveFieldRun.h"
#include "WorkingDirectory.h"

namespace {

// A settings file larger than this is not one (an imported load of the most samples fits).
constexpr std::size_t kMaxSettingsBytes = 64u << 20;
constexpr std::string_view kLoadSection = "sampled-load";

std::string WithoutExtension(const std::string& path) {
    std::string stem = path;
    const size_t slash = stem.find_last_of('/');
    const size_t dot = stem.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        stem.erase(dot);
    return stem;
}

bool ReadWhole(const std::string& path, std::string& text, std::string* error) {
    std::string reason;
    switch (ReadRegularFile(path, kMaxSettingsBytes, text, reason)) {
    case ReadFileOutcome::Read: return true;
    case ReadFileOutcome::TooLarge: reason = "the file is too large to be a project's settings"; break;
    default: if (reason.empty()) reason = "the file cannot be read"; break;
    }
    if (error)
        *error = reason;
    return false;
}

std::string_view Line(const std::string& text, std::size_t& at) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos)
        end = text.size();
    std::string_view line(text.data() + at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

// "order N": a whole number; one the solvers would refuse is automatic.
int OrderOf(std::string_view value) {
    int order = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), order);
    return ec == std::errc() && end == value.data() + value.size() && IsFixedElementOrder(order) ? order
                                                                                                : kAutomaticOrder;
}

}  // namespace

std::string FormatProjectSettings(const CProjectSettings& s) {
    std::string text = "# the program's settings of the project beside this file\n";
    text += "order " + std::to_string(IsFixedElementOrder(s.elementOrder) ? s.elementOrder : kAutomaticOrder) + "\n";
    if (s.waveField.m_bDefined)
        text += FormatWaveFieldLines(s.waveField);
    if (s.sampledLoad.m_bDefined)
        text += std::string(kLoadSection) + "\n" + FormatLoadSettings(s.sampledLoad);
    return text;
}

std::string ParseProjectSettings(const std::string& raw, CProjectSettings& out) {
    if (std::string problem = TextEncodingProblem(raw); !problem.empty())
        return problem;
    const std::string text(WithoutUtf8Bom(raw));
    CProjectSettings s;
    CWaveFieldLines waveField;
    std::size_t at = 0;
    int number = 0;
    while (at < text.size()) {
        const std::string_view line = Line(text, at);
        ++number;
        if (line == kLoadSection) {
            // The load's own reader counts lines from the file's start: the lines before are
            // handed to it as comments.
            std::string load;
            for (int i = 0; i < number; ++i)
                load += "#\n";
            load += text.substr(std::min(at, text.size()));
            if (std::string error = ParseLoadSettings(load, s.sampledLoad); !error.empty())
                return error;
            s.sampledLoad.m_bDefined = true;
            break;
        }
        const std::size_t blank = line.find(' ');
        const std::string_view key = line.substr(0, blank);
        const std::string_view value = blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
        if (key == "order") {
            s.elementOrder = OrderOf(value);
            s.hasElementOrder = true;
        } else {
            waveField.Read(key, value);
        }
    }
    // Wave-field lines that do not make a runnable whole are dropped: the form offers its
    // defaults again, and the project's other settings still count.
    s.waveField = waveField.Finish();
    out = s;
    return {};
}

std::string ProjectSettingsPath(const std::string& projectPath) {
    return WithoutExtension(projectPath) + ".settings";
}

CProjectSettings SettingsOf(const COstrelDoc& doc, const CProjectKind& kind) {
    CProjectSettings s;
    s.elementOrder = doc.m_nElementOrder;
    s.hasElementOrder = true;
    s.sampledLoad = doc.*kind.sampledLoad;
    s.waveField = doc.*kind.waveField;
    return s;
}

bool WriteProjectSettings(const COstrelDoc& doc, const CProjectKind& kind, std::string* error) {
    const std::string& title = doc.*kind.title;
    if (!IsPlainPathComponent(title) || title.find_first_of("\r\n") != std::string::npos)
        return true;
    return WriteBelowHome(doc, kind.projectDir, title + ".settings", FormatProjectSettings(SettingsOf(doc, kind)),
                          error);
}

bool ReadProjectSettings(const std::string& projectPath, CProjectSettings& out, std::string* error) {
    std::error_code ec;
    std::string text;
    const std::string settings = ProjectSettingsPath(projectPath);
    if (std::filesystem::exists(settings, ec)) {
        if (!ReadWhole(settings, text, error))
            return false;
        const std::string why = ParseProjectSettings(text, out);
        if (error)
            *error = why;
        return why.empty();
    }
    const std::string legacy = WithoutExtension(projectPath) + ".load";
    if (!std::filesystem::exists(legacy, ec))
        return false;
    CProjectSettings s;
    if (!ReadWhole(legacy, text, error))
        return false;
    const std::string why = ParseLoadSettings(text, s.sampledLoad);
    if (error)
        *error = why;
    if (!why.empty())
        return false;
    s.sampledLoad.m_bDefined = true;
    out = s;
    return true;
}

void RestoreProjectSettings(COstrelDoc& doc, const CProjectKind& kind, const std::string& projectPath) {
    CProjectSettings s;
    std::string error;
    if (!ReadProjectSettings(projectPath, s, &error)) {
        if (error.empty())
            return;  // a project without settings
        // The settings file, or else the load's file from before, is the one at fault.
        std::error_code ec;
        const std::string settings = ProjectSettingsPath(projectPath);
        const bool ours = std::filesystem::exists(settings, ec);
        const std::string path = ours ? settings : WithoutExtension(projectPath) + ".load";
        const bool atLine = error.rfind("line ", 0) == 0;
        doc.ShowMessage(std::string(ours ? "Cannot read the project settings!\n" : "Cannot read the sampled load!\n") +
                        path + (atLine ? ", " : ": ") + error + (error.back() == '.' ? "" : "."));
        return;
    }
    if (s.hasElementOrder)
        doc.m_nElementOrder = s.elementOrder;
    doc.*kind.waveField = s.waveField;
    if (!s.sampledLoad.m_bDefined)
        return;
    if (!WriteSampledLoadCurve(doc, kind, s.sampledLoad, &error))
        doc.ShowMessage("Cannot write the sampled load!\n" + error);
}
