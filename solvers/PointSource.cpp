#include "PointSource.h"

#include "DirectionalSolvers.h"
#include "SourceField.h"
#include "SourceNearField.h"
#include "SourceReach.h"
#include "SourceWork.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <sstream>


namespace numerics {

namespace {

constexpr double kPi = std::numbers::pi;
// Relative size below which a stiffness term counts as absent (rounding of a 90 degree turn).
constexpr double kSymmetryTolerance = 1e-12;

template <class Visit>
void ForEachStiffness(const CThicknessModel& model, Visit visit) {
    for (const CElement& e : model.elements)
        for (size_t g = 0; g < e.stiffness.size(); ++g) visit(e.stiffness[g], e.density[g]);
}

// The square of the fastest front along any direction of the plate's plane.
double FastestFrontSquared(const CThicknessModel& model, bool axisymmetric) {
    double fastest = 0;
    const Voigt* previous = nullptr;
    ForEachStiffness(model, [&](const Voigt& c, double density) {
        if (previous && *previous == c) return;  // uniform layers repeat one stiffness
        previous = &c;
        const int directions = axisymmetric ? 1 : 180;
        for (int d = 0; d < directions; ++d)
            fastest = std::max(fastest, FastestSpeedAlongXSquared(TurnAboutZ(c, -kPi * d / directions), density));
    });
    return fastest;
}

// The smallest transform size of the form 2^a 3^b 5^c 7^d at least n.
long SmoothSize(double n) {
    for (long m = std::max(1L, static_cast<long>(std::ceil(n)));; ++m) {
        long r = m;
        for (long f : {2L, 3L, 5L, 7L})
            while (r % f == 0) r /= f;
        if (r == 1) return m;
    }
}

}  // namespace

CTimeGrid CFieldRequest::Times() const {
    CTimeGrid times;
    times.nPoints = nT;
    times.dFrom = dT0;
    times.dStep = nT < 2 ? 1.0 : (dT1 - dT0) / (nT - 1);
    return times;
}

ESourceSymmetry FindSourceSymmetry(const CThicknessModel& model) {
    bool axisymmetric = true, mirror = true;
    ForEachStiffness(model, [&](const Voigt& c, double) {
        const double limit = kSymmetryTolerance * c.cwiseAbs().maxCoeff();
        // A turn by a generic angle changes nothing only about an axis of isotropy.
        if ((TurnAboutZ(c, 0.7) - c).cwiseAbs().maxCoeff() > limit) axisymmetric = false;
        if (std::abs(c(0, 5)) > limit || std::abs(c(1, 5)) > limit || std::abs(c(3, 4)) > limit) mirror = false;
    });
    return axisymmetric ? ESourceSymmetry::kAxisymmetric : mirror ? ESourceSymmetry::kMirror : ESourceSymmetry::kNone;
}

std::string MakeSourceGrid(const CProblem& p, const CSourceRequest& request, CSourceGrid& g) {
    g = CSourceGrid{};
    if (p.bShell) return "a point source needs a plate, and the input describes a shell";
    g.symmetry = FindSourceSymmetry(p.model);
    if (g.symmetry == ESourceSymmetry::kAxisymmetric && request.bEveryDirection) g.symmetry = ESourceSymmetry::kMirror;
    const bool hankel = g.symmetry == ESourceSymmetry::kAxisymmetric;
    const double h = p.model.Thickness();
    g.dKMax = 2.0 * kPi * p.dCutoffConst / h;
    const double bulk = std::sqrt(FastestFrontSquared(p.model, hankel));
    if (!std::isfinite(bulk) || !(bulk > 0))
        return "the fastest wave speed of the model is not a finite positive number: the moduli and densities are "
               "too far apart";
    // The split's dynamic lattice carries only the modes below the ramp's top: their fastest group
    // velocity, once found, is its reach (the near field has a lattice of its own).
    g.bSplit = !hankel && p.band.Limited() && !request.bSingleLattice;
    const bool inBand = g.bSplit && request.dDynamicRadius > 0 && request.dDynamicSpeed > 0;
    const double speed = inBand ? std::min(bulk, request.dDynamicSpeed) : bulk;
    g.dSpeed = speed;
    double start = 0;
    if (p.load.type == ELoadType::kSampled && !p.load.times.empty()) start = std::min(0.0, p.load.times.front());
    const double reach = speed * std::max(0.0, p.dTimeTo - start) + 8.0 * TaperWidth(g.dKMax);
    // How far from the load the synthesis must be right, along x and y (or radially).
    double xMost = 0, yMost = 0;
    const auto cover = [&](double x, double y) {
        xMost = std::max(xMost, std::abs(x));
        yMost = std::max(yMost, std::abs(y));
    };
    for (const CPlanePoint& r : request.receivers) cover(r.x, r.y);
    const CFieldRequest& f = request.field;
    if (f.Wanted()) {
        cover(f.X(0), f.Y(0));
        cover(f.X(f.nX - 1), f.Y(f.nY - 1));
    }
    if (hankel) xMost = yMost = std::hypot(xMost, yMost);
    // The Hankel transform's trapezoid sum has an O(dk^6) end error where the lattice is spectral:
    // half the spacing, at the cost of a line of wavenumbers.
    const double radialFactor = hankel ? 2.0 : 1.0;
    double lx = 1.05 * (xMost + reach) + h, ly = 1.05 * (yMost + reach) + h;
    if (f.Wanted() && !hankel) {
        // The transform's samples fall on the field's points: each period a whole number of steps.
        const auto fit = [](double period, int count, double from, double to, int& size) {
            if (count < 2) {
                size = 1;
                return period;
            }
            const double step = (to - from) / (count - 1);
            const double n = std::ceil(period / step);
            size = n <= kMaxFieldTransform ? static_cast<int>(SmoothSize(n)) : 0;
            return size > 0 ? size * step : period;
        };
        lx = fit(lx, f.nX, f.dX0, f.dX1, g.nFftX);
        ly = fit(ly, f.nY, f.dY0, f.dY1, g.nFftY);
        if (g.nFftX == 0 || g.nFftY == 0 ||
            static_cast<double>(g.nFftX) * static_cast<double>(g.nFftY) > kMaxFieldTransform) {
            std::ostringstream msg;
            msg.precision(3);
            msg << "the wave field's steps are too fine for the plate's period (" << lx << " by " << ly
                << " mm): use fewer points over the same rectangle or a shorter window";
            return msg.str();
        }
    }
    g.dPeriodX = lx * radialFactor;
    g.dPeriodY = hankel ? g.dPeriodX : ly;
    g.dkx = 2.0 * kPi / g.dPeriodX;
    g.dky = 2.0 * kPi / g.dPeriodY;
    g.nMaxX = static_cast<long>(std::min(1e12, std::floor(g.dKMax / g.dkx)));
    g.nMaxY = hankel ? 0 : static_cast<long>(std::min(1e12, std::floor(g.dKMax / g.dky)));
    if (hankel) {
        g.dWaveVectors = g.dEntries = static_cast<double>(g.nMaxX);
        return {};
    }
    g.dDynamicRadius = g.bSplit && request.dDynamicRadius > 0 ? std::min(g.dKMax, request.dDynamicRadius) : g.dKMax;
    // Half the disc (the other half is its complex conjugate), or a quarter of it.
    const bool mirror = g.symmetry == ESourceSymmetry::kMirror;
    const auto count = [&](double radius, double dkx, double dky, double& entries) {
        const double disc = kPi * (radius / dkx) * (radius / dky);
        entries = disc / 2.0 + radius / dkx + 1;
        return mirror ? disc / 4.0 + radius / dkx + radius / dky + 1 : entries;
    };
    g.dWaveVectors = count(g.dDynamicRadius, g.dkx, g.dky, g.dEntries);
    if (g.bSplit) {
        // The near field at the largest period it may take.
        double largest = kNearFieldPeriods * h, entries = 0;
        for (int i = 0; i < kNearFieldDoublings; ++i) largest *= 2;
        largest = std::min({largest, lx, ly});
        g.dNearVectors = count(g.dKMax, 2 * kPi / largest, 2 * kPi / largest, entries);
        g.dWaveVectors += g.dNearVectors;
        g.dEntries += entries;
    }
    if (g.bSplit && !(request.dDynamicRadius > 0 && request.dDynamicSpeed > 0)) return {};  // counted once known
    if (!(g.dWaveVectors <= kMaxWaveVectors)) {
        std::ostringstream msg;
        msg.precision(3);
        msg << "the run would need " << g.dWaveVectors << " wave vectors (at most " << kMaxWaveVectors
            << "): too many; shorten the time window, bring the receivers and the field closer or lower the "
               "dimensionless constant";
        return msg.str();
    }
    return {};
}

std::string CheckSourceRunSize(const CProblem& p, CSourceRequest& request, int points) {
    CSourceGrid g;
    if (std::string error = MakeSourceGrid(p, request, g); !error.empty()) return error;
    if (g.bSplit && !(request.dDynamicRadius > 0 && request.dDynamicSpeed > 0)) {
        CDirectionalSolvers directions(p.model, 1);
        FindDynamicExtent(p, g, directions, request, 1);
        if (std::string error = MakeSourceGrid(p, request, g); !error.empty()) return error;
    }
    // The eigen-solves as the run makes them; the synthesis as the line load's over as many
    // wavenumbers as the run has terms.
    const CSourceWork work = EstimateSourceWork(p, g, request);
    const double eigen = work.Solves();
    // The atlas's marks are searched once: the run takes them as found here.
    if (g.bSplit && work.dMarkedReach > 0) request.dMarkedReach = work.dMarkedReach;
    CWavenumbers terms;
    terms.dKMax = g.dKMax;
    terms.kappa.assign(static_cast<size_t>(g.dEntries) * (g.symmetry == ESourceSymmetry::kAxisymmetric ? 2 : 1), 0.0);
    double synthesis = request.receivers.empty() ? 0.0 : EstimateRunWork(p, terms, points).dSynthesis;
    synthesis += static_cast<double>(terms.kappa.size()) * static_cast<double>(request.receivers.size()) * points;
    const CFieldRequest& f = request.field;
    if (f.Wanted()) {
        const double times = f.nT;
        if (g.symmetry == ESourceSymmetry::kAxisymmetric) {
            synthesis += static_cast<double>(terms.kappa.size()) * (p.model.DofCount() + double(f.nX) * f.nY) * times;
        } else {
            const double cells = double(g.nFftX) * g.nFftY;
            synthesis += static_cast<double>(terms.kappa.size()) * p.model.DofCount() * times +
                         times * cells * (5.0 * std::log2(std::max(2.0, cells)));
            const CPointSourceFieldGrid fg{g.nFftX, g.nFftY, g.dkx, g.dky, f.dX0, f.dY0, f.nX, f.nY};
            const bool exact = request.eSynthesis == ESourceSynthesis::kExact;
            const double modes = exact ? 1e300 : FieldModesEstimate(p, g);
            const bool curves = exact || p.load.type != ELoadType::kSampled;
            if (const double bytes = FieldPeakBytes(fg, f.nT, g.dEntries, modes, curves); !(bytes <= kMaxFieldBytes))
                return FieldMemoryMessage(bytes);
        }
    }
    std::ostringstream msg;
    msg.precision(3);
    if (!(eigen <= kMaxRunWork)) {
        msg << "the run is too large: " << g.dWaveVectors << " wave vectors of " << p.model.DofCount()
            << " unknowns (" << eigen << " units of work, at most " << kMaxRunWork
            << "); use a shorter window, a lower --order or a lower dimensionless constant";
        return msg.str();
    }
    if (!(synthesis <= kMaxRunWork)) {
        msg << "the run is too large: " << g.dEntries << " wave vectors at " << points << " output points ("
            << synthesis << " units of work, at most " << kMaxRunWork
            << "); use fewer --points, fewer receivers, fewer field times or a shorter window";
        return msg.str();
    }
    return {};
}

}  // namespace numerics
