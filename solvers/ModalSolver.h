#pragma once
// The generalised symmetric eigenproblem K(kappa) phi = omega^2 M phi of the thickness model,
// solved for many kappa. M is factored once (M = L L^T) and the three stiffness matrices are
// turned into standard form once, so each kappa costs one tridiagonal reduction. Only the top
// node's part of each mass-normalised mode is ever needed (the load and the receiver are both
// on the top surface); with the top unknowns last it is a 3x3 triangular map of the last three
// components of the standard-form vectors. Those three rows are carried through the QL
// iterations alone, so the whole eigenvector matrix is never formed.
// (Eigen's tridiagonal reduction is several times faster than LAPACK's at these sizes.)

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
    explicit CModalSolver(const CSafeMatrices& matrices);

    int Size() const { return m_nSize; }
    // Per-thread scratch space; one per thread calling Solve.
    struct CWorkspace {
        Eigen::Tridiagonalization<Eigen::MatrixXd> tridiagonal;
        Eigen::MatrixXd a, c;
        Eigen::VectorXd d, e;
    };

    void Solve(double kappa, CModes& out, CWorkspace& ws) const;
    Eigen::VectorXd Frequencies(double kappa, CWorkspace& ws) const;  // omega, ascending

private:
    void FormAndReduce(double kappa, CWorkspace& ws) const;

    int m_nSize = 0;
    Eigen::MatrixXd m_a1, m_a2, m_a3;
    Eigen::Matrix3d m_topMap;  // last 3x3 block of L^-T
};

}  // namespace numerics
