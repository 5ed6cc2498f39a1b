// lumdex: transient response of a laminated plate or shell to a line load.
#include "SolverMain.h"

int main(int argc, char** argv) { return numerics::SolverMain(numerics::ESolver::kLaminate, argc, argv); }
