#pragma once
// The Execute commands: run the solver in "bin" / "binFGM" and keep its result under the
// component's name there and in "output"/title or "outputFGM"/title.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Limits.h"
#include "ProjectKind.h"
#include "UiServices.h"

class COstrelDoc;

// The element order through the thickness the solvers are asked for: 0 leaves the choice to
// them (per layer, from the run's frequency range), 1..kMaxElementOrder fixes it for every layer.
inline constexpr int kAutomaticOrder = 0;
inline constexpr int kMaxElementOrder = numerics::kMaxOrder;
bool IsFixedElementOrder(int order);
// "--order P" for a fixed order, nothing for automatic (or for an order the solvers would refuse).
std::vector<std::string> ElementOrderArguments(int order);

// "Execute composite" / "Execute FGM": the kind's run with its output component and title, at
// the document's element order.
void OnExecute(COstrelDoc& doc, const CProjectKind& kind);

// The kept copy's name for a component code (1 U, 2 V, 3 W); none for any other code.
std::optional<std::string> ComponentCopyName(const CProjectKind& kind, int component);

// How the solver is started: "./lumdex" when the run directory holds it, else the bare name
// for a search of PATH, with the element order's arguments. runDir is absolute.
ProcessRequest SolverRequest(const CProjectKind& kind, const std::string& runDir, int elementOrder = kAutomaticOrder);

// How a run ended, for the caller and for tests; the user hears about it through a message.
enum class RunResult { Kept, NoRunDirectory, OldResultStuck, FailedToStart, Crashed, Failed, NoResult, Cancelled, CopyFailed };

// The whole run of one kind: remove the old result, run, check, keep the copies, and set
// m_nRunType (back to -1, except after a cancel). OnExecute calls it.
RunResult ExecuteSolver(COstrelDoc& doc, const CProjectKind& kind, int outputComponent, const std::string& title,
                        int elementOrder = kAutomaticOrder);

// The element orders a solver's closing line names ("element orders (layers from the top) 4 3"),
// from the last such line among its output; empty when none says them well.
std::vector<int> ParseElementOrders(const std::vector<std::string>& lines);
// The status bar's line about the document's last run: the solver, the component and the file it
// kept, and the element orders it used; empty before any run kept a result.
std::string LastRunText(const COstrelDoc& doc);

// A solver's "progress N%" line (blanks around allowed, N from 0 to 100); none for any other line.
std::optional<int> ParseProgressPercent(std::string_view line);
