#include "SolverRun.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <charconv>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "AtomicFile.h"
#include "OstrelDoc.h"
#include "PosixProcessRunner.h"
#include "SolverOutcome.h"
#include "WorkingDirectory.h"

namespace fs = std::filesystem;

namespace {

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Join(const std::string& a, const std::string& b) {
    return (fs::path(a) / b).string();
}

std::string Quoted(const std::string& s) {
    return "\"" + s + "\"";
}

// Keeps one copy; a failure is told to the user and remembered for the result.
bool KeepCopy(COstrelDoc& doc, const std::string& from, const std::string& to) {
    std::string error;
    if (CopyFileAtomically(from, to, &error))
        return true;
    doc.ShowMessage("The result could not be kept: " + error);
    return false;
}

// How a run that the solver did not finish well ended, for the caller.
RunResult FailureOf(const ProcessOutcome& outcome) {
    switch (outcome.status) {
    case ProcessOutcome::Status::Cancelled: return RunResult::Cancelled;
    case ProcessOutcome::Status::FailedToStart: return RunResult::FailedToStart;
    case ProcessOutcome::Status::Crashed: return RunResult::Crashed;
    case ProcessOutcome::Status::Finished: break;
    }
    return RunResult::Failed;
}

RunResult RunAndCheck(COstrelDoc& doc, const CProjectKind& kind, const std::string& home, int elementOrder,
                      ProcessOutcome& outcome) {
    const std::string runDir = Join(home, kind.runDir);
    if (!IsDirectory(runDir)) {
        doc.ShowMessage("The run directory " + Quoted(kind.runDir) +
                        " does not exist, so the solver has no input; enter the parameters first.");
        return RunResult::NoRunDirectory;
    }
    // The solver writes where it runs: a run directory that leads out of the tree is not used.
    if (!ResolvesInsideTree(home, runDir)) {
        doc.ShowMessage(OutsideTreeMessage(kind.runDir) + " The solver was not run.");
        return RunResult::NoRunDirectory;
    }

    // A result left by an earlier run must never pass for this run's.
    const std::string result = Join(runDir, kind.resultName);
    std::error_code ec;
    fs::remove(result, ec);
    if (ec) {
        doc.ShowMessage("The old result " + Quoted(std::string(kind.runDir) + "/" + kind.resultName) +
                        " cannot be removed (" + ec.message() + "); the solver was not run.");
        return RunResult::OldResultStuck;
    }

    CPosixProcessRunner headless;
    IProcessRunner& runner = doc.m_services.processes ? *doc.m_services.processes : headless;
    outcome = runner.Run(SolverRequest(kind, runDir, elementOrder));
    const CSolverJob job{kind.program, kind.runDir, "The solver run was cancelled; no result was kept.",
                         "no result was kept"};
    if (const std::string failure = SolverOutcomeMessage(outcome, job); !failure.empty()) {
        doc.ShowMessage(failure);
        return FailureOf(outcome);
    }
    if (!IsRegularFile(result)) {
        doc.ShowMessage("The solver " + job.program + " wrote no result file " + Quoted(kind.resultName) +
                        "; no result was kept." + SolverSaid(outcome, job.output));
        return RunResult::NoResult;
    }
    return RunResult::Kept;
}

RunResult KeepCopies(COstrelDoc& doc, const CProjectKind& kind, int outputComponent, const std::string& title,
                     const std::string& home) {
    const std::string runDir = Join(home, kind.runDir);
    const std::string result = Join(runDir, kind.resultName);
    const std::optional<std::string> copyName = ComponentCopyName(kind, outputComponent);
    bool ok = true;
    if (copyName)
        ok = KeepCopy(doc, result, Join(runDir, *copyName)) && ok;

    const std::string outputDir = Join(home, kind.outputDir);
    MakeDirectory(outputDir);
    if (!IsPlainPathComponent(title)) {
        // Nothing may be written outside the document's own tree.
        if (copyName)
            doc.ShowMessage("The project title " + Quoted(title) + " cannot be used as a directory name; the result was kept in " +
                        Quoted(kind.runDir) + " only.");
        return ok ? RunResult::Kept : RunResult::CopyFailed;
    }
    if (!ResolvesInsideTree(home, outputDir)) {
        if (copyName)
            doc.ShowMessage(OutsideTreeMessage(kind.outputDir) + " The result was kept in " + Quoted(kind.runDir) +
                            " only.");
        return RunResult::CopyFailed;
    }
    const std::string titleDir = Join(outputDir, title);
    MakeDirectory(titleDir);
    if (copyName) {
        if (IsDirectory(titleDir) && !ResolvesInsideTree(home, titleDir)) {
            doc.ShowMessage(OutsideTreeMessage(std::string(kind.outputDir) + "/" + title) + " The result was kept in " +
                            Quoted(kind.runDir) + " only.");
            ok = false;
        } else if (!IsDirectory(titleDir)) {
            doc.ShowMessage("The directory " + Quoted(std::string(kind.outputDir) + "/" + title) +
                            " cannot be made; the result was kept in " + Quoted(kind.runDir) + " only.");
            ok = false;
        } else {
            ok = KeepCopy(doc, result, Join(titleDir, *copyName)) && ok;
        }
    }
    return ok ? RunResult::Kept : RunResult::CopyFailed;
}

// What a run that kept its result wrote, for the status bar and "Show computed curve": the copy
// in the output tree where there is one, else the one in the run directory.
COstrelDoc::CLastRun LastRunOf(const CProjectKind& kind, int component, const std::string& title,
                               const std::string& home, int elementOrder, const ProcessOutcome& outcome) {
    COstrelDoc::CLastRun run;
    const std::optional<std::string> copyName = ComponentCopyName(kind, component);
    if (!copyName || !IsRegularFile(Join(Join(home, kind.runDir), *copyName)))
        return run;
    run.kind = kind.index;
    run.component = component;
    const std::string kept = (fs::path(kind.outputDir) / title / *copyName).string();
    run.file = IsPlainPathComponent(title) && IsRegularFile(Join(home, kept))
                   ? kept
                   : (fs::path(kind.runDir) / *copyName).string();
    run.orders = ParseElementOrders(outcome.lastLines);
    run.automaticOrder = !IsFixedElementOrder(elementOrder);
    return run;
}

}  // namespace

std::optional<std::string> ComponentCopyName(const CProjectKind& kind, int component) {
    static const char* const suffixes[] = {"_u.dat", "_v.dat", "_w.dat"};
    if (component < 1 || component > 3)
        return std::nullopt;
    return std::string(kind.copyStem) + suffixes[component - 1];
}

bool IsFixedElementOrder(int order) { return order >= 1 && order <= kMaxElementOrder; }

std::vector<std::string> ElementOrderArguments(int order) {
    if (!IsFixedElementOrder(order))
        return {};
    return {"--order", std::to_string(order)};
}

ProcessRequest SolverRequest(const CProjectKind& kind, const std::string& runDir, int elementOrder) {
    ProcessRequest request;
    request.arguments = ElementOrderArguments(elementOrder);
    request.workingDirectory = runDir;
    const std::string local = Join(runDir, kind.program);
    if (IsRegularFile(local) && ::access(local.c_str(), X_OK) == 0)
        request.program = std::string("./") + kind.program;
    else
        request.program = kind.program;
    return request;
}

RunResult ExecuteSolver(COstrelDoc& doc, const CProjectKind& kind, int outputComponent, const std::string& title,
                        int elementOrder) {
    CDirectoryGuard guard(doc.m_szStartDir);
    // Absolute names throughout: while the progress window is up, other windows may change
    // the process's directory.
    const std::string home = doc.m_szStartDir;
    // Until this run keeps a result there is none to show: an older copy must not pass for it.
    doc.m_lastRun = {};
    ProcessOutcome outcome;
    RunResult result = RunAndCheck(doc, kind, home, elementOrder, outcome);
    if (result == RunResult::Kept)
        result = KeepCopies(doc, kind, outputComponent, title, home);
    if (result == RunResult::Kept || result == RunResult::CopyFailed)
        doc.m_lastRun = LastRunOf(kind, outputComponent, title, home, elementOrder, outcome);
    // A cancelled run can be started again as it stands.
    if (result != RunResult::Cancelled)
        doc.m_nRunType = Codes::kNoRun;
    return result;
}

void OnExecute(COstrelDoc& doc, const CProjectKind& kind) {
    ExecuteSolver(doc, kind, doc.*kind.output, doc.*kind.title, doc.m_nElementOrder);
}

std::vector<int> ParseElementOrders(const std::vector<std::string>& lines) {
    constexpr std::string_view head = "element orders (layers from the top)";
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        if (line->rfind(head, 0) != 0)
            continue;
        std::vector<int> orders;
        std::istringstream rest(line->substr(head.size()));
        std::string word;
        while (rest >> word) {
            int order = 0;
            const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), order);
            if (ec != std::errc() || end != word.data() + word.size() || !IsFixedElementOrder(order))
                return {};
            orders.push_back(order);
        }
        return orders;
    }
    return {};
}

std::string LastRunText(const COstrelDoc& doc) {
    const COstrelDoc::CLastRun& run = doc.m_lastRun;
    static const char* const letters[] = {"U", "V", "W"};
    if (run.kind < 0 || run.component < 1 || run.component > 3)
        return {};
    const CProjectKind& kind = KindAt(run.kind);
    std::string text = std::string(kind.program) + " wrote " + letters[run.component - 1] + " (" + kind.name +
                       ") to " + run.file;
    if (run.orders.empty())
        return text;
    text += run.orders.size() == 1 ? "; element order " : "; element orders from the top layer ";
    for (std::size_t i = 0; i < run.orders.size(); ++i)
        text += (i ? ", " : "") + std::to_string(run.orders[i]);
    return text + (run.automaticOrder ? ", chosen automatically" : ", as set in Solver options");
}

std::optional<int> ParseProgressPercent(std::string_view line) {
    size_t i = 0;
    const auto skipBlanks = [&] {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
    };
    skipBlanks();
    constexpr std::string_view word = "progress";
    if (line.substr(i, word.size()) != word)
        return std::nullopt;
    i += word.size();
    const size_t beforeBlanks = i;
    skipBlanks();
    if (i == beforeBlanks)
        return std::nullopt;
    int value = 0;
    size_t digits = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) {
        if (++digits > 3)
            return std::nullopt;
        value = value * 10 + (line[i] - '0');
        ++i;
    }
    if (digits == 0 || i >= line.size() || line[i] != '%' || value > 100)
        return std::nullopt;
    ++i;
    skipBlanks();
    if (i != line.size())
        return std::nullopt;
    return value;
}
