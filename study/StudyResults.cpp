#include "StudyResults.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <tuple>

#include "AtomicFile.h"
#include "ResultFiles.h"
#include "StudyTask.h"
#include "WorkingDirectory.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxResultBytes = 256u << 20;  // as the task's own check

std::string Number(double v) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.7g", v);
    return buffer;
}

// The points of the i-th (0-based) result of a task whose block was checked complete; none
// when the file changed since (then it is not whole).
std::optional<std::vector<CCurvePoint>> ReadResultPoints(const StudyManifest& m, int task, int i) {
    std::string text, reason;
    const fs::path file = fs::path(TaskDir(m, task)) / NumberedResultName(m.resultStem, i + 1);
    if (ReadRegularFile(file.string(), kMaxResultBytes, text, reason) != ReadFileOutcome::Read)
        return std::nullopt;
    CResultText parsed = ParseResultText(text);
    if (parsed.head != CResultText::Head::Ok || static_cast<int>(parsed.points.size()) != parsed.announced)
        return std::nullopt;
    return std::move(parsed.points);
}

bool Changed(const StudyManifest& m, int task, std::string* error) {
    if (error)
        *error = TaskDir(m, task) + ": a result changed while it was read";
    return false;
}

}  // namespace

bool LoadStudyResults(const StudyManifest& m, StudyResults& out, std::string* error) {
    StudyResults r;
    r.curves.assign(m.cases.size(), std::vector<std::vector<CCurvePoint>>(m.receivers.size()));
    if (m.waveField)
        r.fields.assign(m.cases.size(), std::string());
    for (int task = 1; task <= static_cast<int>(m.tasks.size()); ++task) {
        const StudyTask& t = m.tasks[static_cast<std::size_t>(task - 1)];
        std::string problem;
        switch (CheckBlock(m, task, &problem)) {
        case BlockState::Absent:
            r.missing += t.receiverCount;
            r.fieldsMissing += t.field ? 1 : 0;
            continue;
        case BlockState::Damaged:
            if (error)
                *error = TaskDir(m, task) + ": " + problem;
            return false;
        case BlockState::Complete: break;
        }
        if (t.field) {
            r.fields[static_cast<std::size_t>(t.caseIndex)] = TaskDir(m, task);
            continue;
        }
        for (int i = 0; i < t.receiverCount; ++i) {
            auto points = ReadResultPoints(m, task, i);
            if (!points)
                return Changed(m, task, error);
            r.curves[static_cast<std::size_t>(t.caseIndex)][static_cast<std::size_t>(t.firstReceiver + i)] =
                std::move(*points);
            ++r.complete;
        }
    }
    out = std::move(r);
    return true;
}

bool WriteResultsCsv(const StudyManifest& m, const std::function<bool(std::string_view, std::string*)>& sink,
                     std::string* error) {
    std::string head = "case";
    for (const std::string& c : m.columns)
        head += "," + c;
    if (!sink(head + (m.pointSource ? ",receiver_x,receiver_y,time,value\n" : ",receiver_x,time,value\n"), error))
        return false;
    // The manifest's tasks cover every receiver of every case once: in case order, then receiver
    // order, they give the table's rows.
    // A case's wave field is a file of its own, not rows of the table.
    std::vector<int> order;
    for (std::size_t i = 0; i < m.tasks.size(); ++i)
        if (!m.tasks[i].field)
            order.push_back(static_cast<int>(i) + 1);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const StudyTask& x = m.tasks[static_cast<std::size_t>(a - 1)];
        const StudyTask& y = m.tasks[static_cast<std::size_t>(b - 1)];
        return std::tie(x.caseIndex, x.firstReceiver) < std::tie(y.caseIndex, y.firstReceiver);
    });
    std::string rows;
    for (int task : order) {
        const StudyTask& t = m.tasks[static_cast<std::size_t>(task - 1)];
        std::string problem;
        if (CheckBlock(m, task, &problem) != BlockState::Complete) {
            if (error)
                *error = TaskDir(m, task) + ": " + (problem.empty() ? "the task is not complete" : problem);
            return false;
        }
        const StudyCase& c = m.cases[static_cast<std::size_t>(t.caseIndex)];
        std::string caseHead = std::to_string(t.caseIndex + 1);
        for (double v : c.values)
            caseHead += "," + Number(v);
        for (int i = 0; i < t.receiverCount; ++i) {
            const auto at = static_cast<std::size_t>(t.firstReceiver + i);
            const std::string row = caseHead + "," + Number(m.receivers[at]) + "," +
                                     (m.pointSource ? Number(m.receiversY[at]) + "," : std::string());
            rows.clear();
            const auto points = ReadResultPoints(m, task, i);
            if (!points)
                return Changed(m, task, error);
            for (const CCurvePoint& p : *points)
                rows += row + Number(p.m_fX) + "," + Number(p.m_fY) + "\n";
            if (!sink(rows, error))
                return false;
        }
    }
    return true;
}

bool CollectResults(const StudyManifest& m, std::string* error) {
    CAtomicFileWriter file;
    if (!MakeStudyDirectory(m, m.studyDir, error) || !file.Open((fs::path(m.studyDir) / "results.csv").string(), error))
        return false;
    return WriteResultsCsv(m, [&](std::string_view bytes, std::string* e) { return file.Write(bytes, e); }, error) &&
           file.Commit(error);
}
