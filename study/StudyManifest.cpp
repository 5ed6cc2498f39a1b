#include "StudyManifest.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include <toml++/toml.h>

#include "AtomicFile.h"
#include "SolverRun.h"

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
    root.insert("columns", ArrayOf(m.columns));
    root.insert("descriptions", ArrayOf(m.descriptions));
    root.insert("scheduler", m.scheduler);
    toml::array cases;
    for (const StudyCase& c : m.cases)
        cases.push_back(toml::table{{"dir", c.dir}, {"values", ArrayOf(c.values)}});
    root.insert("case", std::move(cases));
    toml::array tasks;
    for (const StudyTask& t : m.tasks)
        tasks.push_back(toml::table{{"case", t.caseIndex + 1},
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
    return out.str();
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

}  // namespace

bool ParseManifest(const std::string& text, StudyManifest& out, std::string* error) {
    toml::table root;
    try {
        root = toml::parse(text);
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
        m.resultStem.empty() || m.points < 0 || m.threads < 1 ||
        m.order < 0 || m.order > kMaxElementOrder)
        return Fail(error, "the manifest's head is incomplete");
    if (!Numbers(root.get("receivers"), m.receivers) || m.receivers.empty() ||
        !Strings(root.get("columns"), m.columns) || !Strings(root.get("descriptions"), m.descriptions))
        return Fail(error, "the manifest's receivers or columns are unreadable");
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
            task.firstReceiver = (*t)["first_receiver"].value_or(0) - 1;
            task.receiverCount = (*t)["receivers"].value_or(0);
            task.dir = (*t)["dir"].value_or(std::string());
            if (task.caseIndex < 0 || task.caseIndex >= static_cast<int>(m.cases.size()) || task.firstReceiver < 0 ||
                task.receiverCount < 1 ||
                static_cast<std::size_t>(task.firstReceiver) + task.receiverCount > m.receivers.size() ||
                !SafeRelative(task.dir))
                return Fail(error, which + " does not fit the cases and receivers");
            m.tasks.push_back(std::move(task));
        }
    }
    if (m.tasks.empty() || m.tasks.size() > static_cast<std::size_t>(kMaxStudyTasks))
        return Fail(error, "the manifest holds no tasks");
    if (const toml::array* subs = root["submission"].as_array()) {
        for (const toml::node& n : *subs) {
            const toml::table* t = n.as_table();
            StudySubmission s;
            if (!t)
                return Fail(error, "a submission is unreadable");
            s.jobId = (*t)["job"].value_or(std::string());
            if (s.jobId.empty() || !ExpandRanges((*t)["tasks"].value_or(std::string()), s.tasks))
                return Fail(error, "a submission is unreadable");
            m.submissions.push_back(std::move(s));
        }
    }
    out = std::move(m);
    return true;
}

bool ReadManifest(const std::string& studyDir, StudyManifest& out, std::string* error) {
    const std::string path = (fs::path(studyDir) / kManifestName).string();
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return Fail(error, path + ": the study has not been started (no manifest)");
    std::stringstream text;
    text << in.rdbuf();
    std::string why;
    if (!ParseManifest(text.str(), out, &why))
        return Fail(error, path + ": " + why);
    // A study directory moved as a whole (or seen under another mount point) still works.
    out.studyDir = fs::absolute(studyDir).lexically_normal().string();
    return true;
}

bool WriteManifest(const StudyManifest& m, std::string* error) {
    return WriteFileAtomically((fs::path(m.studyDir) / kManifestName).string(), FormatManifest(m), error);
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
