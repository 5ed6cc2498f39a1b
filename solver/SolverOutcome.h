#pragma once
// What the user reads when a solver's run did not end well: one function for the Execute runs,
// the dispersion runs and the tasks of a study, each describing its job.

#include <string>

#include "UiServices.h"

struct CSolverJob {
    // What the solver said last, after a failure: nothing, its last lines below the message (a
    // message box), or its last line on the message's own line (a status line).
    enum class Output { None, Lines, OneLine };

    std::string program;    // as the user knows it: "lumdex"
    std::string place;      // the run directory it may lie in, named when it cannot be started
    std::string cancelled;  // the whole text for a cancelled run
    std::string lost;       // what a failure costs ("no result was kept"); empty: not said
    Output output = Output::Lines;
};

// Empty when the run finished with exit status 0, else the sentence for the user.
std::string SolverOutcomeMessage(const ProcessOutcome& outcome, const CSolverJob& job);
// What the solver said last, in the job's way; empty when it said nothing.
std::string SolverSaid(const ProcessOutcome& outcome, CSolverJob::Output output);
