// Prints, per element order, the measured phase per element resolved to 1e-6 in frequency and
// the table entry the automatic order uses: the source of the table in ElementOrder.cpp.
#include <cmath>
#include <cstdio>

#include "ElementOrder.h"
#include "Limits.h"

int main() {
    using namespace numerics;
    for (int p = 1; p <= kMaxOrder; ++p)
        std::printf("%2d %.4f %.4f\n", p, std::floor(MeasureResolvedPhase(p, kOrderTolerance) * 1e4) / 1e4,
                    ResolvedPhase(p));
    return 0;
}
