// The one translation of a solver's end into words, as the Execute runs, the dispersion runs
// and the study tasks describe their jobs.
#include <gtest/gtest.h>

#include "SolverOutcome.h"

namespace {

ProcessOutcome Outcome(ProcessOutcome::Status status, int exitCode = 0, std::string error = {},
                       std::vector<std::string> said = {}) {
    ProcessOutcome o;
    o.status = status;
    o.exitCode = exitCode;
    o.errorText = std::move(error);
    o.lastLines = std::move(said);
    return o;
}

const CSolverJob kRun{"lumdex", "bin", "The solver run was cancelled; no result was kept.", "no result was kept"};
const CSolverJob kTask{"/opt/lumdex", {}, "cancelled", {}, CSolverJob::Output::OneLine};
const CSolverJob kDispersion{"Kavrit", "binFGM", "The dispersion run was cancelled.",
                             "no dispersion curves were computed", CSolverJob::Output::None};

}  // namespace

TEST(SolverOutcome, AGoodEndSaysNothingWhateverTheSolverPrinted) {
    for (const CSolverJob& job : {kRun, kTask, kDispersion})
        EXPECT_EQ(SolverOutcomeMessage(Outcome(ProcessOutcome::Status::Finished, 0, {}, {"done"}), job), "");
}

TEST(SolverOutcome, EveryWayOfFailingIsToldInTheJobsWords) {
    using S = ProcessOutcome::Status;
    const std::vector<std::string> said{"input.d line 7: bad", "stopped"};
    EXPECT_EQ(SolverOutcomeMessage(Outcome(S::Cancelled), kRun), kRun.cancelled);
    EXPECT_EQ(SolverOutcomeMessage(Outcome(S::Cancelled), kTask), "cancelled");
    EXPECT_EQ(SolverOutcomeMessage(Outcome(S::FailedToStart, -1, "lumdex: No such file"), kRun),
              "The solver lumdex could not be started (lumdex: No such file). Place it in \"bin\" or on the "
              "search path.");
    // Without a run directory to name, no advice where to put it.
    EXPECT_EQ(SolverOutcomeMessage(Outcome(S::FailedToStart, -1, "gone"), kTask),
              "The solver /opt/lumdex could not be started (gone).");
    EXPECT_EQ(SolverOutcomeMessage(Outcome(S::Crashed, -1, "terminated by signal 11", said), kRun),
              "The solver lumdex ended abnormally (terminated by signal 11); no result was kept.\n\n"
              "The solver's last output:\ninput.d line 7: bad\nstopped");
    EXPECT_EQ(SolverOutcomeMessage(Outcome(S::Finished, 3, {}, said), kRun),
              "The solver lumdex failed with exit code 3; no result was kept.\n\n"
              "The solver's last output:\ninput.d line 7: bad\nstopped");
    // A status line keeps to one line: the last thing said only.
    EXPECT_EQ(SolverOutcomeMessage(Outcome(S::Finished, 3, {}, said), kTask),
              "The solver /opt/lumdex failed with exit code 3. Its last output: stopped");
    EXPECT_EQ(SolverOutcomeMessage(Outcome(S::Crashed, -1, "terminated by signal 9"), kTask),
              "The solver /opt/lumdex ended abnormally (terminated by signal 9).");
    // The dispersion window quotes nothing.
    EXPECT_EQ(SolverOutcomeMessage(Outcome(S::Finished, 1, {}, said), kDispersion),
              "The solver Kavrit failed with exit code 1; no dispersion curves were computed.");
}
