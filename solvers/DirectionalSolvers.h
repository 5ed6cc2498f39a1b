#pragma once
// The plate's modal solver along any direction th of its plane: the stiffness turned by -th is
// a trigonometric polynomial in th of degree 4 and period pi, and the matrices are linear in it,
// so five directions a_j = j pi / 5 fix them: K(th) = sum_j l_j(th) K(a_j). The solvers of the five
// directions are built once, with the same blocks (the shear-horizontal motion never split
// off); a direction's solver is then their blocks' stiffness mixed, with no projection or mass
// factor per wave vector. Where the blocks differ (never seen) each direction builds its own.

#include <memory>
#include <vector>

#include "ModalSolver.h"
#include "ThicknessModel.h"

namespace numerics {

class CDirectionalSolvers {
public:
    // threads: how many threads call At at once.
    CDirectionalSolvers(const CThicknessModel& model, int threads);

    // The solver along theta for thread t (valid until its next call); `own` holds one made apart.
    const CModalSolver& At(double theta, int t, std::unique_ptr<CModalSolver>& own);
    bool Shared() const { return m_bShared; }

private:
    std::vector<CBandMatrices> m_bands;
    std::vector<CModalSolver> m_solvers;
    std::vector<CModalSolver> m_scratch;  // one per thread
    bool m_bShared = false;
};

}  // namespace numerics
