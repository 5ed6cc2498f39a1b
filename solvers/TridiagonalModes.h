#pragma once
// The lowest eigenpairs of a symmetric tridiagonal matrix, without the rest of its spectrum: a
// Sturm count says how many eigenvalues lie below a limit; those and a few more are found by
// bisection on Sturm counts that turns to Newton's method on the determinant once a bracket
// holds one eigenvalue alone, all of them in step so that their recurrences overlap; their
// vectors by inverse iteration (LAPACK's dstein). O(n m) for m pairs against O(n^2) for the whole
// spectrum by QL.

#include <Eigen/Dense>
#include <vector>

namespace numerics {

// How many eigenvalues of (d, e) lie below x: the negative pivots of T - x I, as LowestTridiagonal
// counts them.
int TridiagonalCountBelow(const Eigen::VectorXd& d, const Eigen::VectorXd& e, double x);

// Scratch space and results of LowestTridiagonal.
struct CTridiagonalWork {
    Eigen::VectorXd values;   // ascending
    Eigen::MatrixXd vectors;  // one unit eigenvector a column, n x values.size()
    std::vector<double> squares, low, high, step, point, at, q, slope, sum, work;
    std::vector<int> lowCount, highCount, below, lanes, iwork, block, split, failed;
};

// The eigenvalues of the tridiagonal (d, e) (e(i) coupling i and i + 1) below `limit` and the
// `spares` next above it (fewer where the matrix has fewer), ascending, with their eigenvectors,
// into w; each eigenvalue to a few units of the last place of the matrix's norm, as QL finds it.
// Returns how many lie below the limit: the negative pivots of T - limit I (Sylvester's law of
// inertia), so that none is missed. -1 (never seen) when a search or inverse iteration did not
// converge: the caller then takes the whole spectrum.
int LowestTridiagonal(const Eigen::VectorXd& d, const Eigen::VectorXd& e, double limit, int spares,
                      CTridiagonalWork& w);

}  // namespace numerics
