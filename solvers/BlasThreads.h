#pragma once
// The threads of the BLAS under LAPACK: one. Every LAPACK call here is small (a through-thickness
// problem), and the work is shared out over our own threads (Parallel.h). A threaded BLAS (an
// OpenBLAS build starts one thread per core) would only oversubscribe the cores, and its callers
// wait for its workers by yielding: on a loaded machine each call then waits for the scheduler,
// and a run takes many times its CPU time.

namespace numerics {

// Sets the BLAS to one thread, once per process; nothing where the BLAS has no such setting.
void KeepBlasOnOneThread();

// The BLAS's threads as it reports them; 0 where it cannot say.
int BlasThreads();

}  // namespace numerics
