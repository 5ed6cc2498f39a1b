#pragma once
// The automatic choice of the element order per layer. A run excites frequencies up to about
// omegaMax = c_fast kMax, the fastest front along the plate at the cut-off wavenumber. The
// shortest wave through a layer at that frequency is the slowest bulk wave there, with
// wavenumber q = omegaMax / c_slow; across one element of thickness t / n it turns by the
// phase theta = q t / n. An element of order p gives every frequency whose phase per element is
// at most ResolvedPhase(p) to about 1e-6 (measured on the exact modes of a uniform layer), so
// each layer gets the lowest order, from 2 up, that resolves its theta.

#include <vector>

#include "Stiffness.h"

namespace numerics {

// 0 on the command line and in the options: choose per layer.
inline constexpr int kAutomaticOrder = 0;

// The relative frequency error the automatic order aims at.
inline constexpr double kOrderTolerance = 1e-6;

// The largest phase per element (radians) that an element of the given order resolves to
// kOrderTolerance.
double ResolvedPhase(int order);

// The same, measured: the phase per element of the highest of the lowest modes of a free uniform
// layer (-u'' = omega^2 u on [0, 1], omega_n = n pi) that, with every lower mode, lies within
// tolerance, on about 256 intervals of elements of the order. The table is this rounded down.
double MeasureResolvedPhase(int order, double tolerance);

// The square of the slowest bulk wave speed over propagation directions in the x-z plane.
double SlowestBulkSpeedSquared(const Voigt& c, double density);

// What the choice needs to know of one layer.
struct CLayerWaves {
    double dThickness = 0;
    int nElements = 1;
    double dSlowestSpeed = 0;  // over the layer
    double dFastestSpeed = 0;  // over the layer; 0 leaves the rounding floor unchecked
};

// The largest eigenvalue of one element of the order for -u'' = lambda u on [0, 1]: it grows like
// p^4, and a model's largest eigenvalue with it.
double ElementEigenvalueBound(int order);

// The relative rounding floor of the automatic order is kept below kOrderTolerance at the
// stack's first thickness resonance, pi c_slow / h: eps lambda_max <= kOrderTolerance (pi c_slow / h)^2.
// A layer whose stiffness spreads so many decades (an almost incompressible one) that even low
// orders reach it gets the lowest order the floor allows, down to the quadratic.

// The order for each layer, so that frequencies up to omegaMax are resolved; at most kMaxOrder,
// at most what the rounding floor allows, and lowered where needed (the highest orders first) so
// that the model has at most maxNodes nodes.
std::vector<int> ChooseOrders(const std::vector<CLayerWaves>& layers, double omegaMax, int maxNodes);

}  // namespace numerics
