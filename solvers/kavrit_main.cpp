// Kavrit: transient response of a functionally graded plate or shell to a line load.
#include "SolverMain.h"

int main(int argc, char** argv) { return numerics::SolverMain(numerics::ESolver::kGraded, argc, argv); }
