#include "SolverOutcome.h"

namespace {

std::string Failure(const std::string& what, const ProcessOutcome& outcome, const CSolverJob& job) {
    return "The solver " + job.program + " " + what + (job.lost.empty() ? "" : "; " + job.lost) + "." +
           SolverSaid(outcome, job.output);
}

}  // namespace

std::string SolverSaid(const ProcessOutcome& outcome, CSolverJob::Output output) {
    if (outcome.lastLines.empty() || output == CSolverJob::Output::None)
        return {};
    if (output == CSolverJob::Output::OneLine)
        return " Its last output: " + outcome.lastLines.back();
    std::string text = "\n\nThe solver's last output:";
    for (const std::string& line : outcome.lastLines)
        text += "\n" + line;
    return text;
}

std::string SolverOutcomeMessage(const ProcessOutcome& outcome, const CSolverJob& job) {
    switch (outcome.status) {
    case ProcessOutcome::Status::Cancelled:
        return job.cancelled;
    case ProcessOutcome::Status::FailedToStart:
        return "The solver " + job.program + " could not be started (" + outcome.errorText + ")." +
               (job.place.empty() ? "" : " Place it in \"" + job.place + "\" or on the search path.");
    case ProcessOutcome::Status::Crashed:
        return Failure("ended abnormally (" + outcome.errorText + ")", outcome, job);
    case ProcessOutcome::Status::Finished:
        break;
    }
    if (outcome.exitCode == 0)
        return {};
    return Failure("failed with exit code " + std::to_string(outcome.exitCode), outcome, job);
}
