// The modal solver's partial solves: the modes below a limit alone (TridiagonalModes.h).
#include <algorithm>
#include <vector>

#include "ModalSolver.h"

namespace numerics {

namespace {

// The searches and inverse iterations of m modes pay against the whole spectrum by QL (16 n^2
// units of work) where n >= kPartialShare m (measured on blocks of 14 unknowns: 7 us either way
// for two modes, 15 us against 7 for six; of 74, 60 us against 120 for twelve).
constexpr int kPartialShare = 4;

}  // namespace

int CModalSolver::SolveBlockBelow(int block, double kappa, double omegaSquaredLimit, int spares, CModes& out,
                                  CWorkspace& ws) const {
    const CBlock& b = m_blocks[static_cast<size_t>(block)];
    ws.rows.rows = b.top;
    ws.rows.count = 3;
    Reduce(b, kappa, ws, true);
    const int wanted = TridiagonalCountBelow(ws.d, ws.e, omegaSquaredLimit) + std::max(0, spares);
    if (b.nSize >= kPartialShare * wanted) {
        const int below = LowestTridiagonal(ws.d, ws.e, omegaSquaredLimit, spares, ws.low);
        if (below >= 0) {
            out.omegaSquared = ws.low.values;
            out.top.noalias() = ws.rows.rows * ws.low.vectors;
            return below;
        }
    }
    // Many modes of a small block (or, never seen, a search that failed): the whole spectrum, of
    // which the lowest.
    Diagonalise(ws);
    std::vector<int> order(static_cast<size_t>(b.nSize));
    for (int j = 0; j < b.nSize; ++j) order[static_cast<size_t>(j)] = j;
    std::sort(order.begin(), order.end(), [&](int x, int y) { return ws.d(x) < ws.d(y); });
    int count = 0;
    while (count < b.nSize && ws.d(order[static_cast<size_t>(count)]) < omegaSquaredLimit) ++count;
    const int kept = std::min(b.nSize, count + std::max(0, spares));
    out.omegaSquared.resize(kept);
    out.top.resize(3, kept);
    for (int j = 0; j < kept; ++j) {
        out.omegaSquared(j) = ws.d(order[static_cast<size_t>(j)]);
        out.top.col(j) = ws.rows.rows.col(order[static_cast<size_t>(j)]);
    }
    return count;
}

void CModalSolver::SolveBelow(double kappa, double omegaSquaredLimit, CModes& out, CWorkspace& ws) const {
    out.omegaSquared.resize(m_nSize);
    out.top.resize(3, m_nSize);
    int at = 0;
    for (int b = 0; b < BlockCount(); ++b) {
        const int below = SolveBlockLow(b, kappa, omegaSquaredLimit, 0, ws.block, ws);
        out.omegaSquared.segment(at, below) = ws.block.omegaSquared.head(below);
        out.top.middleCols(at, below) = ws.block.top.leftCols(below);
        at += below;
    }
    out.omegaSquared.conservativeResize(at);
    out.top.conservativeResize(3, at);
}

}  // namespace numerics
