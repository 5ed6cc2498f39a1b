#pragma once
// The generalised symmetric eigenproblem K(kappa) phi = omega^2 M phi of the thickness model,
// solved for many kappa. M is factored once (M = L L^T) and the three stiffness matrices are
// turned into standard form once, so each kappa costs one tridiagonal reduction. Only the top
// node's part of each mass-normalised mode is ever needed (the load and the receiver are both
// on the top surface); with the top unknowns last it is a 3x3 triangular map of the last three
// components of the standard-form vectors. Those three rows are carried through the QL
// iterations alone, so the whole eigenvector matrix is never formed.
// (Eigen's tridiagonal reduction is several times faster than LAPACK's at these sizes.)
//
// A plate symmetric about its mid-plane (every symmetric lay-up, a homogeneous plate) has
// modes that are either symmetric or antisymmetric: the problem then splits into two halves,
// each solved alone, which makes a reduction about four times cheaper.

#include <Eigen/Dense>
#include <Eigen/Eigenvalues>
#include <vector>

#include "ThicknessModel.h"

namespace numerics {

struct CModes {
    Eigen::VectorXd omegaSquared;  // in no particular order
    Eigen::Matrix3Xd top;          // (u, v, w~) at the top node, one column per mode
};

class CModalSolver {
public:
    // splitSymmetric false keeps the problem whole (for checks).
    explicit CModalSolver(const CSafeMatrices& matrices, bool splitSymmetric = true);

    int Size() const { return m_nSize; }
    bool IsSplit() const { return m_blocks.size() == 2; }
    // Per-thread scratch space; one per thread calling Solve.
    struct CWorkspace {
        Eigen::Tridiagonalization<Eigen::MatrixXd> tridiagonal;
        Eigen::MatrixXd a, c;
        Eigen::VectorXd d, e;
        CModes part;
    };

    void Solve(double kappa, CModes& out, CWorkspace& ws) const;
    Eigen::VectorXd Frequencies(double kappa, CWorkspace& ws) const;  // omega, ascending

private:
    struct CBlock {
        int nSize = 0;
        Eigen::MatrixXd a1, a2, a3;  // standard form
        Eigen::Matrix3d topMap;      // last three standard-form components -> top (u, v, w~)
    };
    static CBlock MakeBlock(const Eigen::MatrixXd& k1, const Eigen::MatrixXd& k2, const Eigen::MatrixXd& k3,
                            const Eigen::MatrixXd& m, const Eigen::Matrix3d& topOfLast);
    static void FormAndReduce(const CBlock& b, double kappa, CWorkspace& ws);
    static void SolveBlock(const CBlock& b, double kappa, CModes& out, CWorkspace& ws);

    int m_nSize = 0;
    std::vector<CBlock> m_blocks;
};

}  // namespace numerics
