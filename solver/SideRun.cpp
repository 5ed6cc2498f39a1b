#include "SideRun.h"

#include <filesystem>
#include <system_error>

#include "AtomicFile.h"
#include "OstrelDoc.h"
#include "PosixProcessRunner.h"
#include "SolverRun.h"
#include "WorkingDirectory.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kLoadSamples = "ft.dat";

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// The input and, for a sampled load, its samples, written into the run's own directory.
bool WriteInputs(COstrelDoc& doc, const CProjectKind& kind, const CSideRun& run, const std::string& runDir,
                 const std::string& workDir) {
    std::string error;
    if (!WriteFileAtomically((fs::path(workDir) / kind.inputName).string(), run.input, &error)) {
        doc.ShowMessage("The solver input for " + run.what + " cannot be written: " + error);
        return false;
    }
    if (!run.withLoadSamples)
        return true;
    const fs::path samples = fs::path(runDir) / kLoadSamples;
    std::error_code ec;
    if (!fs::is_regular_file(samples, ec)) {
        doc.ShowMessage("The load \"Any f(t)\" has no samples yet (" + Quoted(std::string(kind.runDir) + "/" + kLoadSamples) +
                        "): make them with Sampled load... first.");
        return false;
    }
    if (!CopyFileAtomically(samples.string(), (fs::path(workDir) / kLoadSamples).string(), &error)) {
        doc.ShowMessage("The load's samples for " + run.what + " cannot be written: " + error);
        return false;
    }
    return true;
}

}  // namespace

SideRunOutcome RunBeside(COstrelDoc& doc, const CProjectKind& kind, const CSideRun& run, std::string* outputPath) {
    CDirectoryGuard guard(doc.m_szStartDir);
    const std::string runDir = (fs::path(doc.m_szStartDir) / kind.runDir).string();
    const std::string workDir = (fs::path(runDir) / run.subDir).string();
    std::error_code ec;
    fs::create_directories(workDir, ec);
    // The solver writes where it runs: never through a link out of the working tree.
    if (!ResolvesInsideTree(doc.m_szStartDir, workDir)) {
        doc.ShowMessage(OutsideTreeMessage(std::string(kind.runDir) + "/" + run.subDir) + " The solver was not run.");
        return SideRunOutcome::Failed;
    }
    if (!WriteInputs(doc, kind, run, runDir, workDir))
        return SideRunOutcome::Failed;
    const std::string output = (fs::path(workDir) / run.outputName).string();
    fs::remove(output, ec);  // an old output must never pass for this run's

    ProcessRequest request = SolverRequest(kind, runDir);
    if (request.program.rfind("./", 0) == 0) request.program = (fs::path(runDir) / kind.program).string();
    request.workingDirectory = workDir;
    request.arguments = run.arguments;
    CPosixProcessRunner headless;
    IProcessRunner& runner = doc.m_services.processes ? *doc.m_services.processes : headless;
    const ProcessOutcome outcome = runner.Run(request);
    if (const std::string failure = SolverOutcomeMessage(outcome, run.job); !failure.empty()) {
        doc.ShowMessage(failure);
        return outcome.status == ProcessOutcome::Status::Cancelled ? SideRunOutcome::Cancelled : SideRunOutcome::Failed;
    }
    if (outputPath)
        *outputPath = output;
    return SideRunOutcome::Done;
}
