#pragma once
// The modes below a frequency over a disc of wave vectors, interpolated from full solves at the
// nodes of a polar grid (PolarGrid.h) instead of one solve per wave vector.
//
// Each block of the directional solvers (the mid-plane split keeps symmetric and antisymmetric
// modes apart) is interpolated on its own, mode by mode in ascending order: sorting across blocks
// would put kinks where modes of different blocks cross. A mode carries omega^2 and the six
// products of the top's (u', v', w~) in the direction's own frame -- products, since an
// eigenvector's sign is arbitrary while they are smooth. Within a block, sorted modes still kink
// where two truly cross (on the axes of a cross-ply plate, where shear-horizontal and Lamb motion
// part) and turn steeply where they veer near such crossings; a node where two modes in the band
// come closer than the bend of their gap to the next nodes marks its neighbourhood, and wave
// vectors whose stencil holds such a node are left to an exact solve.

#include <array>
#include <cstddef>
#include <memory>
#include <vector>

#include "DirectionalSolvers.h"
#include "LoadResponse.h"
#include "PolarGrid.h"

namespace numerics {

// One mode: omega^2 and the products uu, vv, ww, uv, uw, vw of the top's components.
struct CAtlasMode {
    double omegaSquared = 0;
    std::array<double, 6> products{};
    int block = 0;  // the solver's block it belongs to
    // Found with the next mode of its block as a pair, near their crossing: the two are right
    // together (their sums, and the sums weighted by omega^2), each alone only roughly.
    bool bPaired = false;
};

// The products of the top t (u', v', w~) in CAtlasMode's order.
inline std::array<double, 6> TopProducts(double u, double v, double w) {
    return {u * u, v * v, w * w, u * v, u * w, v * w};
}

// The products (bits of TopProducts' order) that weights on output a and load b (0 x, 1 y,
// 2 z) can give a coefficient: both along z only ww, one of them uw and vw, neither uu, vv, uv
// (the top's u', v' turn with the direction, w~ does not).
inline unsigned ProductsWeighed(int a, int b) {
    if (a == 2 && b == 2) return 1u << 2;
    if (a == 2 || b == 2) return 1u << 4 | 1u << 5;
    return 1u << 0 | 1u << 1 | 1u << 3;
}

// The coefficient sum_ab W_ab t_a t_b of a mode of products p (TopProducts), for weights W on
// the top's components.
template <class Matrix>
double ProductWeight(const Matrix& w, const std::array<double, 6>& p) {
    return w(0, 0) * p[0] + w(1, 1) * p[1] + w(2, 2) * p[2] + (w(0, 1) + w(1, 0)) * p[3] + (w(0, 2) + w(2, 0)) * p[4] +
           (w(1, 2) + w(2, 1)) * p[5];
}

struct CAtlasSettings {
    double dRadialStep = 0.1;    // 1/mm between the rings of nodes where crossings are marked
    double dAngularStep = 0.025;  // rad between the directions of nodes (at most)
    int nPoints = 6;             // interpolation nodes per coordinate
    // Near the centre the rings are this close, out to dCentreRadius: the wave vectors whose
    // stencil reaches the first ring are solved exactly, and finer rings make them few.
    double dCentreStep = 0.025;
    double dCentreRadius = 0.2;
    // Beyond the crossings' marks (the load's spectrum below dCrossingSpectrum of its peak) the
    // rings are this many times dRadialStep apart: no crossing there is below the marks' frequency,
    // and the modes change smoothly along k (measured on the tone-burst example: the curves as
    // close at 4 as at 3, several times further off at 5).
    double dOuterStepFactor = 4;
    // Rings past the disc's edge (at least one, so that the disc lies within the rings): a wave
    // vector near the edge holds modes only close to the ramp's top, where the split's weight
    // vanishes with all its derivatives, and there a stencil shifted inward errs by little
    // (measured on the tone-burst example: the curves the same with one as with the stencil's
    // three rings past it).
    int nRingsPastDisc = 1;
    // A node is near a crossing where two sorted modes of a block, the lower in the band, are
    // closer than this many times the second difference of their gap along k or theta: where the
    // load's spectrum is strong (above dVeeringSpectrum of its peak) dGapFactor, which takes in
    // veerings as well; down to dCrossingSpectrum dSharpGapFactor, crossings and sharp veerings
    // alone (a smooth veering interpolated there errs by little against so weak a spectrum).
    double dGapFactor = 8;
    double dSharpGapFactor = 3;
    double dVeeringSpectrum = 1e-3;
    double dCrossingSpectrum = 1e-4;
};

// The frequencies below which an atlas marks its nodes (CAtlasSettings' two spectra).
struct CAtlasMarks {
    double dVeerings = 0, dCrossings = 0;
};
CAtlasMarks AtlasMarks(const CLoadFunction& load, double window, double omegaHigh, const CAtlasSettings& s);

// The radii of an atlas's rings for a disc of radius kMax whose modes below the crossings'
// frequency lie within kMarked: from half the centre's step, the steps growing at most twofold
// from ring to ring, up to the stencil's reach beyond kMax.
std::vector<double> AtlasRings(double kMax, double kMarked, const CAtlasSettings& s);

class CModeAtlas {
public:
    // The most modes a block may hold in the band, and the most nodes an atlas may have (beyond
    // them a run solves every wave vector).
    static constexpr int kMaxBandModes = 24;
    static constexpr size_t kMaxNodes = 100000;

    // How many nodes the atlas of a disc of radius kMax over directions [0, span] would have.
    static size_t NodeCount(double kMax, double kMarked, double span, const CAtlasSettings& s);

    // Full solves at the nodes within kMax (and the stencil beyond), modes below omegaHigh;
    // crossings marked where the lower mode lies below the marks' frequencies (above them the
    // load's spectrum is too weak for an interpolated kink to show), which it does within kMarked
    // (AtlasMarkedReach).
    // Valid() false when the solvers' blocks differ by direction or the band holds too many modes.
    CModeAtlas(CDirectionalSolvers& directions, double kMax, double kMarked, double span, double omegaHigh,
               const CAtlasMarks& marks, const CAtlasSettings& s, int threads);

    bool Valid() const { return m_bValid; }
    // The modes at (k, theta) below omegaHigh, in block order; false where the atlas cannot tell
    // them apart (near crossings of more than one pair of modes, and near the centre) or beyond
    // its disc: those need an exact solve. Near the crossing of one pair, the pair is
    // interpolated through what is smooth across it (CAtlasMode::bPaired).
    // `products`: which of the six products are wanted (bit c: products[c]; the others are left
    // zero), as a run's output and load weigh them (ProductsWeighed).
    bool Find(double k, double theta, std::vector<CAtlasMode>& out, unsigned products = kEveryProduct) const;
    static constexpr unsigned kEveryProduct = 0x3f;

    const CPolarGrid& Grid() const { return m_grid; }
    size_t MarkedNodes() const;
    // Whether node (i, j) of the grid is marked near a crossing (its stencils are solved exactly).
    bool Marked(int i, int j) const { return m_near[m_grid.Index(i, j)] != 0; }
    int Slots() const { return m_nSlots; }

private:
    static constexpr int kValues = 7;  // omega^2 and six products
    // A node's values of one slot padded to a cache line's eight doubles; slot-major, the nodes
    // in the grid's order (angles fastest), so a stencil's row of nodes is contiguous.
    static constexpr int kStride = 8;
    double* Node(size_t node, int slot) {
        return &m_values[(static_cast<size_t>(slot) * m_grid.NodeCount() + node) * kStride];
    }
    const double* Node(size_t node, int slot) const {
        return &m_values[(static_cast<size_t>(slot) * m_grid.NodeCount() + node) * kStride];
    }
    void MarkCrossings(const std::vector<int>& firstSlot, const std::vector<int>& bandModes, const CAtlasMarks& marks,
                       const CAtlasSettings& s);
    // What Find reads besides the nodes: which stencils hold a marked node, by their first node
    // (a refusal in one look-up), and the frequencies apart, a stencil's row of them contiguous.
    void PrepareFind();
    // A slot's omega^2, and its six products (into out), interpolated with the stencil's weights.
    double InterpolateFrequency(const CPolarGrid::CWeights& w, int slot) const;
    void InterpolateProducts(const CPolarGrid::CWeights& w, int slot, unsigned products, double* out) const;
    // Slots low and low + 1 as a pair (ModeAtlasPairs.cpp); false where a node lacks either.
    bool InterpolatePair(const CPolarGrid::CWeights& w, int low, CAtlasMode& lower, CAtlasMode& upper) const;
    // Per stencil (by its first node) from the nodes' marks: kNoPair, the one pair's lower slot
    // (where neither neighbouring pair bends anywhere in it and no other pair below twice the
    // marks' frequency), or kManyPairs.
    void PairStencils(int alongK, int alongTheta);
    static constexpr int kNoPair = -1, kManyPairs = -2;

    CPolarGrid m_grid;
    double m_dKMax = 0, m_dOmegaHigh = 0;
    int m_nSlots = 0;                  // modes kept per node: per block its most in the band, plus one
    std::vector<int> m_inBand;         // per slot: whether it can be in the band (not the spare above)
    std::vector<int> m_block;          // per slot: its block
    std::vector<double> m_values;      // [slot][node][kStride]
    std::vector<unsigned char> m_near;  // per node: near a crossing
    // Per node: the lower slots of the pairs marked there (bit s), every bit where the node
    // is marked whatever its modes (the centre).
    std::vector<unsigned long long> m_nearPairs;
    std::vector<unsigned long long> m_bentPairs;  // the same whatever the lower mode's frequency
    // The same up to kPairClearance times the marks' frequency.
    std::vector<unsigned long long> m_bentLowPairs;
    static constexpr double kPairClearance = 2;
    std::vector<int> m_stencilPair;     // per stencil's first node (PairStencils)
    std::vector<unsigned char> m_nearStencil;  // per stencil's first node: it holds a marked one
    std::vector<double> m_frequency;           // [slot][node]: omega^2, as in m_values
    bool m_bValid = false;
};

// Where a run's in-band modes come from: the atlas where it costs less than the wave vectors it
// replaces, every wave vector solved, or the atlas whatever it costs (checks).
enum class EModeSource { kChosen, kExact, kAtlas };

// Every mode of one wave vector below omegaHigh from full solves, block by block, each block in
// ascending order: what the atlas interpolates, for comparing it with (checks, the benchmark).
std::vector<CAtlasMode> SolvedAtlasModes(const CModalSolver& solver, double k, double omegaHigh,
                                         CModalSolver::CWorkspace& ws);

// Whether a split run's dynamic disc of `vectors` wave vectors within radius takes the atlas
// (its marks within `marked`).
bool AtlasChosen(double radius, double marked, bool mirror, size_t vectors, EModeSource source, const CAtlasSettings& s);

// Where the atlas of such a disc marks crossings: beyond it no mode lies below omegaMark in any
// direction (searched only where the atlas may be chosen, or `searched` where positive: the
// search's result as found before; the disc's radius otherwise).
double AtlasMarkedReach(CDirectionalSolvers& directions, double radius, bool mirror, double omegaMark, size_t vectors,
                        EModeSource source, const CAtlasSettings& s, int threads, double searched = 0);

// The atlas of a split run's dynamic disc of `vectors` wave vectors within radius, or none where
// the vectors are solved one by one (the marks' reach searched unless `searched` is positive).
std::unique_ptr<CModeAtlas> DynamicDiscAtlas(CDirectionalSolvers& directions, double radius, bool mirror,
                                             double omegaHigh, const CAtlasMarks& marks, size_t vectors, EModeSource source,
                                             const CAtlasSettings& s, int threads, double searched = 0);

}  // namespace numerics
