#include "StudyManifest.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cmath>
#include <cstdint>
#include <optional>
#include <set>
#include <string_view>
#include <cstdio>
#include <filesystem>
#include <random>
#include <sstream>

#include <toml++/toml.h>

#include "AtomicFile.h"
#include "SolverRun.h"
#include "StudyFile.h"
#include "WaveFieldRun.h"
#include "WorkingDirectory.h"

namespace fs = std::filesystem;

namespace {

template <class T>
toml::array ArrayOf(const std::vector<T>& values) {
    toml::array a;
    for (const T& v : values)
        a.push_back(v);
    return a;
}

bool Fail(std::string* error, std::string reason) {
    if (error)
        *error = std::move(reason);
    return false;
}

bool Strings(const toml::node* n, std::vector<std::string>& out) {
    const toml::array* a = n ? n->as_array() : nullptr;
    if (!a)
        return false;
    for (const toml::node& v : *a) {
        if (!v.is_string())
            return false;
        out.push_back(*v.value<std::string>());
    }
    return true;
}

bool Numbers(const toml::node* n, std::vector<double>& out) {
    const toml::array* a = n ? n->as_array() : nullptr;
    if (!a)
        return false;
    for (const toml::node& v : *a) {
        const auto d = v.value<double>();
        if (!d || !std::isfinite(*d))
            return false;
        out.push_back(*d);
    }
    return true;
}

// Directory names below the study directory come from the manifest: nothing may lead out of it.
bool SafeRelative(const std::string& s) {
    if (s.empty() || s.front() == '/')
        return false;
    for (const auto& part : fs::path(s))
        if (part == ".." || part == ".")
            return false;
    return s.find('\0') == std::string::npos;
}

constexpr const char* kChecksumHead = "# checksum ";
constexpr std::size_t kMaxManifestSize = 64u << 20;

// FNV-1a over the text: enough to tell a cut or damaged file, no defence against forgery.
std::string ChecksumLine(std::string_view text) {
    std::uint64_t h = 1469598103934665603ull;
    for (const char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%016llx %zu\n", static_cast<unsigned long long>(h), text.size());
    return kChecksumHead + std::string(buffer);
}

// The text before the checksum line when the line is there and right; none when it is missing
// (an older manifest) and *damaged when it is there and wrong.
std::optional<std::string_view> CheckedBody(std::string_view text, bool& damaged) {
    damaged = false;
    if (text.empty() || text.back() != '\n')
        return std::nullopt;
    const std::size_t start = text.find_last_of('\n', text.size() - 2);
    const std::size_t lineStart = start == std::string_view::npos ? 0 : start + 1;
    const std::string_view last = text.substr(lineStart);
    if (last.rfind(kChecksumHead, 0) != 0)
        return std::nullopt;
    const std::string_view body = text.substr(0, lineStart);
    damaged = ChecksumLine(body) != last;
    return body;
}

// Every receiver of every case in exactly one task, every case's field (when the study makes
// them) in exactly one, and no two tasks in one directory.
std::string CoverageProblem(const StudyManifest& m) {
    std::vector<std::vector<std::pair<int, int>>> blocks(m.cases.size());
    std::vector<int> fields(m.cases.size(), 0);
    std::set<std::string> dirs;
    for (const StudyTask& t : m.tasks) {
        if (t.field)
            ++fields[static_cast<std::size_t>(t.caseIndex)];
        else
            blocks[static_cast<std::size_t>(t.caseIndex)].push_back({t.firstReceiver, t.receiverCount});
        if (!dirs.insert(t.dir).second)
            return "two tasks share the directory " + t.dir;
    }
    for (std::size_t c = 0; c < fields.size(); ++c)
        if (fields[c] != (m.waveField ? 1 : 0))
            return "case " + std::to_string(c + 1) + (m.waveField ? " has not one wave field" : " has a wave field the study does not make");
    for (std::size_t c = 0; c < blocks.size(); ++c) {
        std::sort(blocks[c].begin(), blocks[c].end());
        long long next = 0;
        for (const auto& [first, count] : blocks[c]) {
            if (first != next)
                return "the tasks of case " + std::to_string(c + 1) + " do not cover its receivers once each";
            next += count;
        }
        if (next != static_cast<long long>(m.receivers.size()))
            return "the tasks of case " + std::to_string(c + 1) + " do not cover its receivers once each";
    }
    return {};
}

bool IsHexId(const std::string& id) {
    return !id.empty() && id.size() <= 64 && id.find_first_not_of("0123456789abcdef") == std::string::npos;
}

}  // namespace

std::string FormatManifest(const StudyManifest& m) {
    toml::table root;
    root.insert("id", m.id);
    root.insert("name", m.name);
    root.insert("study_dir", m.studyDir);
    root.insert("kind", m.kind);
    root.insert("title", m.title);
    root.insert("solver", m.solver);
    root.insert("input", m.inputName);
    root.insert("result", m.resultName);
    root.insert("result_stem", m.resultStem);
    root.insert("points", m.points);
    if (m.order > 0)  // absent in manifests of automatic runs, as in those written before it existed
        root.insert("order", m.order);
    root.insert("threads", m.threads);
    root.insert("component", m.component);
    root.insert("receiver_sweep", m.receiverSweep);
    root.insert("receivers", ArrayOf(m.receivers));
    // Only in studies of a point source: the manifests of line-load studies keep their bytes.
    if (m.pointSource) {
        root.insert("source", "point");
        root.insert("receivers_y", ArrayOf(m.receiversY));
    }
    if (m.waveField) {
        const CWaveFieldSettings& f = m.field;
        root.insert("field", ArrayOf(std::vector<double>{f.m_dXFrom, f.m_dXTo, double(f.m_nXPoints), f.m_dYFrom,
                                                         f.m_dYTo, double(f.m_nYPoints), f.m_dTimeFrom, f.m_dTimeTo,
                                                         double(f.m_nFrames)}));
        root.insert("field_component", f.m_nComponent);
        root.insert("field_direction", f.m_nDirection);
    }
    root.insert("columns", ArrayOf(m.columns));
    root.insert("descriptions", ArrayOf(m.descriptions));
    root.insert("scheduler", m.scheduler);
    root.insert("case_count", static_cast<int64_t>(m.cases.size()));
    root.insert("receiver_count", static_cast<int64_t>(m.receivers.size()));
    root.insert("task_count", static_cast<int64_t>(m.tasks.size()));
    root.insert("submission_count", static_cast<int64_t>(m.submissions.size()));
    toml::array cases;
    for (const StudyCase& c : m.cases)
        cases.push_back(toml::table{{"dir", c.dir}, {"values", ArrayOf(c.values)}});
    root.insert("case", std::move(cases));
    toml::array tasks;
    for (const StudyTask& t : m.tasks)
        tasks.push_back(t.field ? toml::table{{"case", t.caseIndex + 1}, {"field", true}, {"dir", t.dir}}
                                : toml::table{{"case", t.caseIndex + 1},
                                              {"first_receiver", t.firstReceiver + 1},
                                              {"receivers", t.receiverCount},
                                              {"dir", t.dir}});
    root.insert("task", std::move(tasks));
    toml::array subs;
    for (const StudySubmission& s : m.submissions)
        subs.push_back(toml::table{{"job", s.jobId}, {"tasks", CompressRanges(s.tasks)}});
    root.insert("submission", std::move(subs));
    std::ostringstream out;
    out << "# Written by pemblar-study: the frozen list of this study's cases and tasks.\n" << root << "\n";
    std::string text = out.str();
    return text + ChecksumLine(text);
}

namespace {

bool ExpandRanges(const std::string& text, std::vector<int>& out) {
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ',')) {
        int a = 0, b = 0;
        char dash = 0;
        std::stringstream p(part);
        if (!(p >> a))
            return false;
        b = a;
        if (p >> dash) {
            if (dash != '-' || !(p >> b))
                return false;
        }
        if (a < 1 || b < a || b > kMaxStudyTasks)
            return false;
        for (int i = a; i <= b; ++i)
            out.push_back(i);
    }
    return true;
}

// The point source's parts of the head: absent in a line-load study's manifest.
bool ReadSourceParts(const toml::table& root, StudyManifest& m, std::string* error) {
    const std::string source = root["source"].value_or(std::string("line"));
    if (source != "line" && source != "point")
        return Fail(error, "the manifest names an unknown source");
    m.pointSource = source == "point";
    if (m.pointSource != (root.get("receivers_y") != nullptr) ||
        (m.pointSource && (!Numbers(root.get("receivers_y"), m.receiversY) || m.receiversY.size() != m.receivers.size())))
        return Fail(error, "the manifest's receivers are unreadable");
    const toml::node* field = root.get("field");
    if (!field)
        return true;
    std::vector<double> v;
    CWaveFieldSettings& f = m.field;
    const auto count = [](double d) { return d >= 1 && d <= 1e9 && d == std::floor(d) ? static_cast<int>(d) : -1; };
    if (!m.pointSource || !Numbers(field, v) || v.size() != 9)
        return Fail(error, "the manifest's wave field is unreadable");
    f.m_dXFrom = v[0], f.m_dXTo = v[1], f.m_nXPoints = count(v[2]);
    f.m_dYFrom = v[3], f.m_dYTo = v[4], f.m_nYPoints = count(v[5]);
    f.m_dTimeFrom = v[6], f.m_dTimeTo = v[7], f.m_nFrames = count(v[8]);
    f.m_nComponent = root["field_component"].value_or(0);
    f.m_nDirection = root["field_direction"].value_or(0);
    if (!CheckWaveFieldSettings(f).empty())
        return Fail(error, "the manifest's wave field is unreadable");
    f.m_bDefined = true;
    m.waveField = true;
    return true;
}

}  // namespace

bool ParseManifest(const std::string& text, StudyManifest& out, std::string* error) {
    bool damaged = false;
    const std::optional<std::string_view> body = CheckedBody(text, damaged);
    if (damaged)
        return Fail(error, "the manifest is damaged or cut short (its checksum does not match)");
    toml::table root;
    try {
        root = toml::parse(body ? *body : std::string_view(text));
    } catch (const toml::parse_error& e) {
        return Fail(error, "line " + std::to_string(e.source().begin.line) + ": " + std::string(e.description()));
    }
    StudyManifest m;
    m.id = root["id"].value_or(std::string());
    m.name = root["name"].value_or(std::string());
    m.studyDir = root["study_dir"].value_or(std::string());
    m.kind = root["kind"].value_or(std::string());
    m.title = root["title"].value_or(std::string());
    m.solver = root["solver"].value_or(std::string());
    m.inputName = root["input"].value_or(std::string());
    m.resultName = root["result"].value_or(std::string());
    m.resultStem = root["result_stem"].value_or(std::string());
    m.points = root["points"].value_or(0);
    m.order = root["order"].value_or(0);
    m.threads = root["threads"].value_or(1);
    m.component = root["component"].value_or(1);
    m.receiverSweep = root["receiver_sweep"].value_or(false);
    m.scheduler = root["scheduler"].value_or(std::string("local"));
    if (m.studyDir.empty() || m.solver.empty() || !SafeRelative(m.inputName) || !SafeRelative(m.resultName) ||
        !SafeRelative(m.resultStem) || m.points < 0 || m.points > numerics::kMaxPoints || m.threads < 1 ||
        m.threads > numerics::kMaxThreads || m.order < 0 || m.order > kMaxElementOrder || !IsHexId(m.id) ||
        (m.scheduler != "local" && m.scheduler != "slurm"))
        return Fail(error, "the manifest's head is incomplete");
    // Names and paths of a manifest reach job scripts and terminals.
    for (const std::string* s : {&m.name, &m.studyDir, &m.solver, &m.title, &m.kind})
        if (HasControlCharacter(*s))
            return Fail(error, "the manifest's head holds a control character");
    if (!Numbers(root.get("receivers"), m.receivers) || m.receivers.empty() ||
        !Strings(root.get("columns"), m.columns) || !Strings(root.get("descriptions"), m.descriptions))
        return Fail(error, "the manifest's receivers or columns are unreadable");
    if (!ReadSourceParts(root, m, error))
        return false;
    if (const toml::array* cases = root["case"].as_array()) {
        for (const toml::node& n : *cases) {
            const toml::table* t = n.as_table();
            StudyCase c;
            if (!t || !Numbers(t->get("values"), c.values) || c.values.size() != m.columns.size())
                return Fail(error, "case " + std::to_string(m.cases.size() + 1) + " is unreadable");
            c.dir = (*t)["dir"].value_or(std::string());
            if (!SafeRelative(c.dir))
                return Fail(error, "case " + std::to_string(m.cases.size() + 1) + " has no usable directory");
            m.cases.push_back(std::move(c));
        }
    }
    if (const toml::array* tasks = root["task"].as_array()) {
        for (const toml::node& n : *tasks) {
            const toml::table* t = n.as_table();
            StudyTask task;
            const std::string which = "task " + std::to_string(m.tasks.size() + 1);
            if (!t)
                return Fail(error, which + " is unreadable");
            task.caseIndex = (*t)["case"].value_or(0) - 1;
            task.field = (*t)["field"].value_or(false);
            task.firstReceiver = task.field ? 0 : (*t)["first_receiver"].value_or(0) - 1;
            task.receiverCount = task.field ? 0 : (*t)["receivers"].value_or(0);
            task.dir = (*t)["dir"].value_or(std::string());
            if (task.caseIndex < 0 || task.caseIndex >= static_cast<int>(m.cases.size()) || task.firstReceiver < 0 ||
                (!task.field && task.receiverCount < 1) || (task.field && !m.waveField) ||
                static_cast<std::size_t>(task.firstReceiver) + task.receiverCount > m.receivers.size() ||
                !SafeRelative(task.dir))
                return Fail(error, which + " does not fit the cases and receivers");
            m.tasks.push_back(std::move(task));
        }
    }
    if (m.tasks.empty() || m.tasks.size() > static_cast<std::size_t>(kMaxStudyTasks))
        return Fail(error, "the manifest holds no tasks");
    if (m.receivers.size() > static_cast<std::size_t>(kMaxStudyReceivers) ||
        m.cases.size() > static_cast<std::size_t>(kMaxStudyCases))
        return Fail(error, "the manifest holds more cases or receivers than a study may have");

    if (const toml::array* subs = root["submission"].as_array()) {
        for (const toml::node& n : *subs) {
            const toml::table* t = n.as_table();
            StudySubmission s;
            if (!t)
                return Fail(error, "a submission is unreadable");
            s.jobId = (*t)["job"].value_or(std::string());
            if (s.jobId.empty() || !ExpandRanges((*t)["tasks"].value_or(std::string()), s.tasks))
                return Fail(error, "a submission is unreadable");
            if (HasControlCharacter(s.jobId))
                return Fail(error, "a submission is unreadable");
            m.submissions.push_back(std::move(s));
        }
    }
    // Written with its counts and checksum: what it says it holds, it must hold. Without a
    // checksum only a manifest of an older version without counts is taken.
    const auto count = [&](const char* key) { return root[key].value<int64_t>(); };
    const bool counted = count("case_count") || count("task_count") || count("receiver_count");
    if (counted || body) {
        if (!body || count("case_count") != static_cast<int64_t>(m.cases.size()) ||
            count("receiver_count") != static_cast<int64_t>(m.receivers.size()) ||
            count("task_count") != static_cast<int64_t>(m.tasks.size()) ||
            count("submission_count") != static_cast<int64_t>(m.submissions.size()))
            return Fail(error, "the manifest is cut short or damaged: it does not hold the cases, receivers, tasks "
                               "and submissions it counts");
    }
    if (const std::string problem = CoverageProblem(m); !problem.empty())
        return Fail(error, problem);
    out = std::move(m);
    return true;
}

bool ReadManifest(const std::string& studyDir, StudyManifest& out, std::string* error) {
    const std::string path = (fs::path(studyDir) / kManifestName).string();
    std::string text, why;
    switch (ReadRegularFile(path, kMaxManifestSize, text, why)) {
    case ReadFileOutcome::Read: break;
    case ReadFileOutcome::CannotOpen:
        if (why == std::strerror(ENOENT))
            return Fail(error, path + ": the study has not been started (no manifest)");
        return Fail(error, path + ": cannot be read: " + why);
    case ReadFileOutcome::TooLarge: return Fail(error, path + ": too large to be a manifest");
    case ReadFileOutcome::NotRegular: return Fail(error, path + ": " + why);
    }
    if (!ParseManifest(text, out, &why))
        return Fail(error, path + ": " + why);
    // A study directory moved as a whole (or seen under another mount point) still works.
    out.studyDir = fs::absolute(studyDir).lexically_normal().string();
    return true;
}

bool WriteManifest(const StudyManifest& m, std::string* error) {
    return MakeStudyDirectory(m, m.studyDir, error) &&
           WriteFileAtomically((fs::path(m.studyDir) / kManifestName).string(), FormatManifest(m), error);
}

std::string StudyHome(const StudyManifest& m) {
    // <home>/output/<title>/studies/<name>
    return fs::path(m.studyDir).parent_path().parent_path().parent_path().parent_path().string();
}

bool MakeStudyDirectory(const StudyManifest& m, const std::string& dir, std::string* error) {
    return MakeDirectoryInsideTree(StudyHome(m), dir, error);
}

std::string TaskDir(const StudyManifest& m, int task) {
    return (fs::path(m.studyDir) / m.tasks[task - 1].dir).string();
}

std::string TaskFailedMarker(const StudyManifest& m, int task) {
    return TaskDir(m, task) + ".failed";
}

std::string CaseDir(const StudyManifest& m, int caseIndex) {
    return (fs::path(m.studyDir) / m.cases[caseIndex].dir).string();
}

std::string ReceiverName(const StudyManifest& m, int i) {
    const auto at = static_cast<std::size_t>(i);
    if (!m.pointSource)
        return "x = " + ShortNumber(m.receivers[at]) + " mm";
    return "(" + ShortNumber(m.receivers[at]) + ", " + ShortNumber(m.receiversY[at]) + ") mm";
}

std::string FieldTaskDir(const std::string& caseDir) {
    return caseDir + "/" + kWaveFieldFile;
}

std::string FieldInputName(const StudyManifest& m) {
    return "field-" + m.inputName;
}

std::string NumberedResultName(const std::string& stem, int n) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "_r%04d.dat", n);
    return stem + buffer;
}

std::string NewStudyId() {
    std::random_device random;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%08x%08x", random(), random());
    return buffer;
}

std::string CompressRanges(const std::vector<int>& sorted) {
    std::string out;
    for (std::size_t i = 0; i < sorted.size();) {
        std::size_t j = i;
        while (j + 1 < sorted.size() && sorted[j + 1] == sorted[j] + 1)
            ++j;
        if (!out.empty())
            out += ",";
        out += std::to_string(sorted[i]);
        if (j > i)
            out += "-" + std::to_string(sorted[j]);
        i = j + 1;
    }
    return out;
}
