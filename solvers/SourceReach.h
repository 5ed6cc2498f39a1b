#pragma once
// How far the dynamic part of a band-limited point source reaches within the window. Its modes
// all lie below the split's ramp top, and a wave packet travels at its group (energy) velocity,
// the gradient of omega over the wave vector; so the lattice of that part need only keep the
// images of the load apart by the fastest such velocity over the plane, which at a tone burst's
// band is the plate's extensional speed and not the fastest bulk speed of its materials.

#include "DirectionalSolvers.h"
#include "PointSource.h"

namespace numerics {

// The fastest group velocity (mm/us) of the modes below omega (rad/us) at wave vectors within
// radius (1/mm), over the directions of the plane (a quarter turn for a stack symmetric about x
// and y), with a margin. Found from the frequencies on a polar grid of fixed size: secant slopes
// along each direction and central differences across; the low-frequency limit (the first node
// close to k = 0, where the extensional mode is fastest) and the segments of other modes near
// the fastest are then refined on finer nodes. Bounded: at most some eight hundred eigen-solves.
// The same on any number of threads.
double FastestInBandSpeed(CDirectionalSolvers& directions, double radius, double omega, bool mirror, int threads);

// The split's disc and the fastest group velocity within it, where the request has them not yet.
void FindDynamicExtent(const CProblem& p, const CSourceGrid& g, CDirectionalSolvers& directions,
                       CSourceRequest& request, int threads);

}  // namespace numerics
