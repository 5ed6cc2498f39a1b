#pragma once
// The quasi-static sums of a band-limited point source's near field (SourceNearField.h) at any
// wave vector, interpolated from their values at the nodes of a polar grid instead of solved at
// each vector of the near field's lattice. The sums of a wave vector, s = sum (1 - chi) t t^T /
// omega^2 and s2 = ... / omega^4 over the top's (u', v', w~) in the direction's own frame, are
// smooth in |k| and its direction (a smooth function of the matrices K(k), whatever the modes'
// crossings); beyond the dynamic disc they fall like a surface's compliance, s ~ 1/k and s2 ~
// 1/k^3. So the nodes are spaced evenly in asinh(k / k0) -- evenly up to about k0, then growing
// with k -- and the values are interpolated scaled by those powers of sqrt(1 + (k / k0)^2).

#include <Eigen/Dense>
#include <array>
#include <vector>

#include "DirectionalSolvers.h"
#include "ModalSolver.h"
#include "PolarGrid.h"

namespace numerics {

struct CModeSplit;

// The quasi-static sums of one wave vector's modes, over the top's (u', v', w~).
struct CNearSums {
    Eigen::Matrix3d flexibility = Eigen::Matrix3d::Zero(), second = Eigen::Matrix3d::Zero();
};
// The error a wave vector's deflated sums may be estimated to have, relative to each sum.
inline constexpr double kDeflationTolerance = 1e-9;
// The sums at wavenumber k of the solver's direction: two banded solves where every mode lies
// above the ramp's top; else the modes below it deflated from one banded solve, where their
// error estimate stays within `deflation`; else every mode.
void NearSums(const CModalSolver& solver, double k, const CModeSplit& split, CNearSums& out,
              CModalSolver::CWorkspace& ws, double deflation = kDeflationTolerance);

// How a table is laid out: nodes in asinh(k / k0) up to kMax and over the directions (a quarter
// turn for a stack symmetric about x and y, else a half turn), and the interpolation's points in
// each coordinate.
struct CNearTableLayout {
    int nRadial = 0, nAngular = 0, nPoints = 0;
    double dScale = 0;  // k0, 1/mm
};
// The layout for a model of thickness h (chosen by the error measured against the per-vector
// sums).
CNearTableLayout NearTableLayout(double h, bool mirror);
inline size_t NearTableNodes(const CNearTableLayout& l) {
    return static_cast<size_t>(l.nRadial + 1) * static_cast<size_t>(l.nAngular);
}

class CNearFieldTable {
public:
    // Nodes from kFrom to kTo.
    CNearFieldTable(CDirectionalSolvers& directions, double kFrom, double kTo, const CModeSplit& split, bool mirror,
                    const CNearTableLayout& layout, int threads);
    // The sums at wave vector k (cos theta, sin theta), k and theta within the table.
    void At(double k, double theta, CNearSums& out) const;
    size_t Nodes() const { return m_grid.NodeCount(); }

private:
    double Coordinate(double k) const { return std::asinh(k / m_dScale) - m_dFrom; }
    CPolarGrid m_grid;
    double m_dScale = 1, m_dFrom = 0;
    std::vector<std::array<double, 18>> m_values;  // per node: the scaled s, then s2, row-major
};

}  // namespace numerics
