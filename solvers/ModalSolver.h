#pragma once
// The generalised symmetric eigenproblem K(kappa) phi = omega^2 M phi of the thickness model,
// solved for many kappa. The matrices are banded (an element spans nine consecutive unknowns),
// and every step keeps the band: M is factored once, and each kappa costs a banded reduction
// to standard form and to tridiagonal form, O(n^2 b) instead of O(n^3) (BandReduction.h).
// Only the top node's part of each mass-normalised mode is ever needed (the load and the
// receiver are both on the top surface): those rows alone are carried through the reductions
// and the QL iterations, so no eigenvector matrix is ever formed. A block whose band is a large
// part of its size (elements of high order) is reduced densely instead: O(n^3) in blocked
// triangular solves and Householder steps beats O(n^2 b) plane rotations there.
//
// Exact symmetries split the problem into independent blocks, each solved alone:
//  - a plate symmetric about its mid-plane (every symmetric lay-up, a homogeneous plate) has
//    modes that are either symmetric or antisymmetric; the nodes are paired from the middle
//    outward, which keeps each half banded;
//  - where no ply couples the motion along the load line to the others (plies at 0 or 90
//    degrees, isotropic or graded layers), the shear-horizontal motion (v) is apart from the
//    Lamb motion (u, w~).
// A block whose top node cannot move in the direction of the load or of the output adds
// nothing to that response and is skipped there.

#include <Eigen/Dense>
#include <array>
#include <functional>
#include <limits>
#include <vector>

#include "BandReduction.h"
#include "LowModes.h"
#include "ThicknessModel.h"
#include "TridiagonalModes.h"

namespace numerics {

struct CModes {
    Eigen::VectorXd omegaSquared;  // in no particular order
    Eigen::Matrix3Xd top;          // (u, v, w~) at the top node, one column per mode
};

// One block's lowest modes with their whole vectors in the block's basis, mass-normalised.
struct CBlockVectors {
    Eigen::VectorXd omegaSquared;  // ascending
    Eigen::MatrixXd vectors;       // one column per mode
    // omega^2 of the block's lowest mode not among them (infinite where there is none).
    double dNext = std::numeric_limits<double>::infinity();
    // A bound on the angle between their span and the exact modes' (the residuals over the gap
    // to dNext).
    double dAngle = 0;
};

class CModalSolver {
public:
    // splitSymmetric false keeps the problem whole (for checks).
    explicit CModalSolver(const CBandMatrices& matrices, bool splitSymmetric = true);
    explicit CModalSolver(const CSafeMatrices& matrices, bool splitSymmetric = true);
    // splitShear false keeps the shear-horizontal motion with the Lamb motion even where they are
    // apart, so that solvers of one plate along different directions share their blocks.
    CModalSolver(const CBandMatrices& matrices, bool splitSymmetric, bool splitShear);

    // Whether `other` has the same blocks: the same basis, sizes, half-widths and mass (so that
    // its stiffness terms and this one's may be mixed).
    bool SameBlocks(const CModalSolver& other) const;
    // This solver's K1, K2, K3 set to sum_j weights[j] times those of samples[j], every sample of
    // this solver's blocks (SameBlocks). The blocks are linear in the matrices, so this is the
    // solver of the mixed matrices, without projecting and factoring them again.
    void MixStiffness(const std::vector<CModalSolver>& samples, const double* weights);

    int Size() const { return m_nSize; }
    int BlockCount() const { return static_cast<int>(m_blocks.size()); }
    bool IsSplit() const { return m_bMirror; }
    bool IsShearApart() const { return m_bShearApart; }
    int DenseBlockCount() const {
        int count = 0;
        for (const CBlock& b : m_blocks) count += b.bDense ? 1 : 0;
        return count;
    }

    // What a block is, for the work estimate: its size, the half-widths of its stiffness and
    // mass, whether it is reduced densely, and along which of u, v, w~ its top node moves.
    struct CBlockShape {
        int nSize = 0, ka = 0, kb = 0;
        bool bDense = false;
        std::array<bool, 3> moves{};
    };
    std::vector<CBlockShape> BlockShapes() const;
    // How many of the modes at kappa that can carry a load along a to an output along b lie below
    // omegaSquared: the negative pivots of K(kappa) - omegaSquared M (Sylvester's law of inertia)
    // in a banded LDL^T without pivoting, O(n b^2). Exact unless a pivot nearly vanishes, which
    // can miscount a mode or two: meant for estimates.
    int CountBelow(double kappa, double omegaSquared, int a, int b) const;

    // Per-thread scratch space; one per thread calling Solve.
    struct CWorkspace {
        CSymBand a;
        Eigen::MatrixXd dense;  // a wide block's K(kappa), then its standard form
        Eigen::VectorXd d, e;
        CCarriedRows rows;
        CTridiagonalWork low;
        CModes block;  // one block's modes, gathered by SolveBelow
        CModes partial;       // a block's modes below a limit, for their whole vectors
        CSymBand stiffness;   // a block's K(kappa), for products with it
        CBlockVectors lowest;
        CLowModeWork lowModes;
    };

    // Every mode with all three top components.
    void Solve(double kappa, CModes& out, CWorkspace& ws) const;
    // The same for one block's modes alone (blocks never share a mode).
    void SolveBlock(int block, double kappa, CModes& out, CWorkspace& ws) const;
    // One block's modes below omegaSquaredLimit and `spares` more above it (fewer where the block
    // has fewer), ascending, with all three top components: the same reductions, then only those
    // eigenpairs of the tridiagonal matrix (a small block's whole spectrum, as cheap there).
    // Returns how many lie below the limit by a Sturm count of the reduced matrix, which no mode
    // below the limit escapes.
    int SolveBlockBelow(int block, double kappa, double omegaSquaredLimit, int spares, CModes& out,
                        CWorkspace& ws) const;
    // The same modes as SolveBlockBelow, by Lanczos on banded factors (LowModes.h): O(n b^2)
    // instead of the reductions' O(n^2 b). Where it cannot show that it has every mode below the
    // last it returns (a count of K - x M's negative pivots) with converged residuals, or the
    // block is small or dense, it takes SolveBlockBelow's way. vectors, when given, gets the whole
    // mass-normalised modes in the block's own basis, one a column.
    int SolveBlockLow(int block, double kappa, double omegaSquaredLimit, int spares, CModes& out, CWorkspace& ws,
                      Eigen::MatrixXd* vectors = nullptr, const CLowModeSettings& settings = {}) const;
    // Every block's modes below omegaSquaredLimit, block after block, each block's ascending (by
    // SolveBlockLow).
    void SolveBelow(double kappa, double omegaSquaredLimit, CModes& out, CWorkspace& ws) const;
    // Only the modes that can carry a load along a to an output along b (0 u, 1 v, 2 w~):
    // omega^2 and top(a) top(b) of each, written from the start of the arrays (room for Size()).
    // Returns how many.
    int SolveProducts(double kappa, int a, int b, double* omegaSquared, double* product, CWorkspace& ws) const;
    Eigen::VectorXd Frequencies(double kappa, CWorkspace& ws) const;  // omega, ascending

    // The quasi-static response of every mode at kappa that can carry a load along a to an
    // output along b, by banded Cholesky solves instead of modes: flexibility = sum over the
    // modes of top(a) top(b) / omega^2 = t_a^T K^-1 t_b, and its second term sum ... / omega^4 =
    // (K^-1 t_a)^T M (K^-1 t_b). False (and nothing computed) when such a mode lies at or below
    // omegaSquaredAbove, K - omegaSquaredAbove M being then not positive definite: its modes must
    // be solved for.
    bool StaticProducts(double kappa, double omegaSquaredAbove, int a, int b, double& flexibility, double& second,
                        CWorkspace& ws) const;
    // The same for every pair of the top's three components (u, v, w~), over every block: the
    // 3 x 3 flexibility t^T K^-1 t and its second term.
    bool StaticMatrices(double kappa, double omegaSquaredAbove, Eigen::Matrix3d& flexibility, Eigen::Matrix3d& second,
                        CWorkspace& ws) const;
    // Every mode of one block below omegaSquaredLimit with its whole vector, and the lowest mode
    // above it as dNext: by Lanczos on banded factors where that shows its modes complete (as
    // SolveBlockLow), else the partial solve's frequencies (whose count no mode escapes), inverse
    // iteration at each and a Rayleigh-Ritz step over them together (coinciding modes come out as
    // an orthonormal basis of theirs). False when a factor or a solve fails.
    bool BlockModesBelow(int block, double kappa, double omegaSquaredLimit, CBlockVectors& out, CWorkspace& ws,
                         const CLowModeSettings& settings = {}) const;
    // The static sums of StaticMatrices with the modes below omegaSquaredLimit weighted:
    // sum over every mode of w t t^T / omega^2 and its second term / omega^4, w = weight(omega)
    // for those modes and 1 for the others. The low modes are deflated, not subtracted: the right
    // side loses their share before the banded solve and the solution is projected off them
    // again, so an error in their vectors enters the others' sums at its own size, never
    // amplified by 1 / omega^2 of a near-rigid mode. False (the modes must then be solved
    // whole) at kappa = 0, where a factor fails, or where the error estimated from the low
    // modes' residuals exceeds tolerance times either sum.
    bool DeflatedStaticMatrices(double kappa, double omegaSquaredLimit, const std::function<double(double)>& weight,
                                double tolerance, Eigen::Matrix3d& flexibility, Eigen::Matrix3d& second,
                                CWorkspace& ws) const;
    // Whether every mode at kappa lies above omegaSquared (K - omegaSquared M positive definite in
    // every block): one banded Cholesky factor per block, no modes.
    bool AllModesAbove(double kappa, double omegaSquared, CWorkspace& ws) const;

private:
    struct CBlock {
        int nSize = 0;
        int ka = 0, kb = 0;           // half-widths of the stiffness and the mass
        CSymBand a1, a2, a3;          // K1, K2, K3 in the block's basis
        CSymBand mass;                // M in the block's basis
        CSymBand uT;                  // M = U U^T
        bool bDense = false;          // so wide that dense reductions are cheaper
        Eigen::MatrixXd u;            // then U itself
        Eigen::Matrix3Xd top;         // top (u, v, w~) as a combination of the block's unknowns
        std::array<bool, 3> moves{};  // whether the top node can move along u, v, w~
    };
    // A unit vector of the block's basis: one or two unknowns (a node and its mirror image).
    struct CBasisVector {
        int dof[2];
        double coeff[2];
        int terms;
        int component;  // 0 u, 1 v, 2 w~
    };
    void Build(const CBandMatrices& m, bool splitSymmetric, bool splitShear = true);
    void AddBlock(const CBandMatrices& m, const std::vector<CBasisVector>& basis);
    // Forms K(kappa) of the block in ws.a and reduces it; rows (when given) are carried along.
    static void Reduce(const CBlock& b, double kappa, CWorkspace& ws, bool withRows);
    static void ReduceDense(const CBlock& b, double kappa, CWorkspace& ws, bool withRows);
    // The QL iterations; false (never seen) falls back to a dense tridiagonal solve.
    static void Diagonalise(CWorkspace& ws);
    // SolveBlockLow's Lanczos solve; -1 where it could not show its modes complete.
    int LanczosBlockLow(const CBlock& b, double kappa, double omegaSquaredLimit, int spares, CModes& out,
                        CLowModeWork& w, Eigen::MatrixXd* vectors, const CLowModeSettings& settings) const;
    // A block's modes below the limit and spares more with their whole vectors, densely (a
    // fallback's vectors).
    int DenseBlockLow(const CBlock& b, double kappa, double omegaSquaredLimit, int spares, CModes& out,
                      Eigen::MatrixXd& vectors) const;
    // Whole vectors of the block's modes at the given omega^2 (the partial solve's), by inverse
    // iteration and a Rayleigh-Ritz step over them together, into out's vectors and omegaSquared.
    static bool InverseIteration(const CBlock& b, double kappa, const Eigen::VectorXd& omegaSquared,
                                 CBlockVectors& out, CWorkspace& ws);
    // One block's modes into ws.d and ws.rows.rows; returns its size.
    int SolveBlockInPlace(int block, double kappa, CWorkspace& ws) const;
    // The static sums for the top components comps[0 .. count - 1], over the blocks that move
    // along all of them (every == false) or along any (every == true).
    bool StaticSums(double kappa, double omegaSquaredAbove, const int* comps, int count, bool every,
                    Eigen::Matrix3d& flexibility, Eigen::Matrix3d& second, CWorkspace& ws) const;

    int m_nSize = 0;
    bool m_bMirror = false, m_bShearApart = false;
    std::vector<CBlock> m_blocks;
};

}  // namespace numerics
