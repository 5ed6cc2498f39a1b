#pragma once
// The command line shared by lumdex and Kavrit: read the input in the working directory,
// compute, write the result file (or, with --dispersion, print the plate's frequencies).

namespace numerics {

enum class ESolver { kLaminate, kGraded };

int SolverMain(ESolver kind, int argc, char** argv);

}  // namespace numerics
