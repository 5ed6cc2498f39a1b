#include "BlasThreads.h"

#include <mutex>

// OpenBLAS's settings, weak: another BLAS simply lacks them.
extern "C" {
void openblas_set_num_threads(int) __attribute__((weak));
int openblas_get_num_threads() __attribute__((weak));
}

namespace numerics {

void KeepBlasOnOneThread() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (openblas_set_num_threads) openblas_set_num_threads(1);
    });
}

int BlasThreads() { return openblas_get_num_threads ? openblas_get_num_threads() : 0; }

}  // namespace numerics
