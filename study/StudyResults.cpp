#include "StudyResults.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "AtomicFile.h"
#include "ResultFiles.h"
#include "StudyTask.h"

namespace fs = std::filesystem;

namespace {

std::string Number(double v) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.7g", v);
    return buffer;
}

}  // namespace

bool LoadStudyResults(const StudyManifest& m, StudyResults& out, std::string* error) {
    StudyResults r;
    r.curves.assign(m.cases.size(), std::vector<std::vector<CCurvePoint>>(m.receivers.size()));
    std::error_code ec;
    for (int task = 1; task <= static_cast<int>(m.tasks.size()); ++task) {
        const StudyTask& t = m.tasks[static_cast<std::size_t>(task - 1)];
        const fs::path dir = TaskDir(m, task);
        if (!fs::is_directory(dir, ec)) {
            r.missing += t.receiverCount;
            continue;
        }
        for (int i = 0; i < t.receiverCount; ++i) {
            const fs::path file = dir / NumberedResultName(m.resultStem, i + 1);
            if (const std::string problem = CheckResultFile(file.string()); !problem.empty()) {
                if (error)
                    *error = dir.string() + ": " + problem;
                return false;
            }
            std::ifstream in(file, std::ios::binary);
            std::ostringstream text;
            text << in.rdbuf();
            r.curves[static_cast<std::size_t>(t.caseIndex)][static_cast<std::size_t>(t.firstReceiver + i)] =
                ParseResultText(text.str()).points;
            ++r.complete;
        }
    }
    out = std::move(r);
    return true;
}

std::string FormatResultsCsv(const StudyManifest& m, const StudyResults& r) {
    std::string out = "case";
    for (const std::string& c : m.columns)
        out += "," + c;
    out += ",receiver_x,time,value\n";
    for (std::size_t c = 0; c < r.curves.size(); ++c) {
        std::string head = std::to_string(c + 1);
        for (double v : m.cases[c].values)
            head += "," + Number(v);
        for (std::size_t x = 0; x < r.curves[c].size(); ++x) {
            const std::string row = head + "," + Number(m.receivers[x]) + ",";
            for (const CCurvePoint& p : r.curves[c][x])
                out += row + Number(p.m_fX) + "," + Number(p.m_fY) + "\n";
        }
    }
    return out;
}

bool CollectResults(const StudyManifest& m, std::string* error) {
    StudyResults r;
    if (!LoadStudyResults(m, r, error))
        return false;
    return WriteFileAtomically((fs::path(m.studyDir) / "results.csv").string(), FormatResultsCsv(m, r), error);
}
