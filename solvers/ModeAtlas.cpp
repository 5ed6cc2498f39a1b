#include "ModeAtlas.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <numeric>
#include <numbers>

#include <Eigen/Core>

#include "LoadBand.h"
#include "ModalSolver.h"
#include "Parallel.h"
#include "SourceNearField.h"

namespace numerics {

namespace {

constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();
// Modes kept above a node's own band count: a mode this many places above the band at a node of a
// stencil is taken to stay above it within the stencil.
constexpr int kSpareModes = 4;
// The atlas is chosen where its nodes are fewer than this share of the vectors it replaces: then
// its build is a few per cent of the exact solves, and small runs (which the exact path serves
// quickly) keep every vector solved.
constexpr double kAtlasShare = 50;

int AngularNodes(double span, double step) {
    return span > 0 ? std::max(2, static_cast<int>(std::ceil(span / step - 1e-9)) + 1) : 1;
}

// One node's modes per block, sorted, each as kValues numbers; and how many lie in the band.
struct CNodeModes {
    std::vector<std::vector<double>> blocks;
    std::vector<int> inBand;
};

void SolveNode(const CModalSolver& solver, double k, double omegaSquaredHigh, CModalSolver::CWorkspace& ws,
               CModes& modes, CNodeModes& out) {
    const int count = solver.BlockCount();
    out.blocks.assign(static_cast<size_t>(count), {});
    out.inBand.assign(static_cast<size_t>(count), 0);
    for (int b = 0; b < count; ++b) {
        solver.SolveBlockLow(b, k, omegaSquaredHigh, kSpareModes, modes, ws);  // ascending
        const int found = static_cast<int>(modes.omegaSquared.size());
        int below = 0;
        while (below < found && modes.omegaSquared(below) < omegaSquaredHigh) ++below;
        const int kept = std::min(found, below + kSpareModes);
        std::vector<double>& values = out.blocks[static_cast<size_t>(b)];
        for (int j = 0; j < kept; ++j) {
            const auto p = TopProducts(modes.top(0, j), modes.top(1, j), modes.top(2, j));
            values.push_back(modes.omegaSquared(j));
            values.insert(values.end(), p.begin(), p.end());
        }
        out.inBand[static_cast<size_t>(b)] = below;
    }
}

double Frequency(double omegaSquared) { return std::sqrt(std::max(0.0, omegaSquared)); }

}  // namespace

std::vector<double> AtlasRings(double kMax, double kMarked, const CAtlasSettings& s) {
    const double centre = std::min(s.dCentreStep, s.dRadialStep);
    const double outer = s.dRadialStep * std::max(1.0, s.dOuterStepFactor);
    // The first ring half a step out, off the centre, so that its modes are defined and the
    // crossings' marks see it.
    std::vector<double> rings{0.5 * centre};
    double step = centre;
    const int beyond = std::max(1, s.nRingsPastDisc);
    for (int above = 0; above < beyond && rings.size() <= CModeAtlas::kMaxNodes;) {
        const double k = rings.back();
        const double wanted = k < s.dCentreRadius ? centre : k < kMarked ? s.dRadialStep : outer;
        // At most twofold from ring to ring: a stencil across the change keeps its weights small.
        step = std::min(wanted, 2 * step);
        rings.push_back(k + step);
        if (rings.back() > kMax) ++above;
    }
    return rings;
}

size_t CModeAtlas::NodeCount(double kMax, double kMarked, double span, const CAtlasSettings& s) {
    return AtlasRings(kMax, kMarked, s).size() * static_cast<size_t>(AngularNodes(span, s.dAngularStep));
}

CModeAtlas::CModeAtlas(CDirectionalSolvers& directions, double kMax, double kMarked, double span, double omegaHigh,
                       const CAtlasMarks& marks, const CAtlasSettings& s, int threads)
    : m_dKMax(kMax), m_dOmegaHigh(omegaHigh) {
    if (!directions.Shared() || NodeCount(kMax, kMarked, span, s) > kMaxNodes) return;
    m_grid = CPolarGrid(AtlasRings(kMax, kMarked, s), 0.0, span, AngularNodes(span, s.dAngularStep), s.nPoints);
    const int rings = m_grid.RadialNodes(), angles = m_grid.AngularNodes();
    std::vector<CNodeModes> nodes(m_grid.NodeCount());
    std::vector<CModalSolver::CWorkspace> spaces(static_cast<size_t>(std::max(1, threads)));
    std::vector<CModes> scratch(spaces.size());
    // Direction by direction: one mixed solver serves its ring of nodes.
    ParallelFor(static_cast<size_t>(angles), threads, [&](size_t j, int t) {
        std::unique_ptr<CModalSolver> own;
        const CModalSolver& solver = directions.At(m_grid.Theta(static_cast<int>(j)), t, own);
        for (int i = 0; i < rings; ++i)
            SolveNode(solver, m_grid.K(i), omegaHigh * omegaHigh, spaces[static_cast<size_t>(t)], scratch[static_cast<size_t>(t)],
                      nodes[m_grid.Index(i, static_cast<int>(j))]);
    });

    // Per block its most modes in the band at any node, and one spare above for the gaps.
    size_t blocks = 0;
    for (size_t n = 0; n < nodes.size(); ++n) blocks = std::max(blocks, nodes[n].blocks.size());
    std::vector<int> bandModes(blocks, 0);
    for (const CNodeModes& n : nodes)
        for (size_t b = 0; b < n.inBand.size(); ++b) bandModes[b] = std::max(bandModes[b], n.inBand[b]);
    if (std::any_of(bandModes.begin(), bandModes.end(), [](int m) { return m > kMaxBandModes; })) return;
    std::vector<int> firstSlot(blocks, 0);
    for (size_t b = 0; b < blocks; ++b) {
        firstSlot[b] = m_nSlots;
        for (int m = 0; m <= bandModes[b]; ++m) {
            m_inBand.push_back(m < bandModes[b] ? 1 : 0);
            m_block.push_back(static_cast<int>(b));
        }
        m_nSlots += bandModes[b] + 1;
    }
    m_values.assign(nodes.size() * static_cast<size_t>(m_nSlots) * kStride, kMissing);
    for (size_t n = 0; n < nodes.size(); ++n)
        for (size_t b = 0; b < nodes[n].blocks.size(); ++b) {
            const std::vector<double>& v = nodes[n].blocks[b];
            const int kept = std::min(static_cast<int>(v.size() / kValues), bandModes[b] + 1);
            for (int m = 0; m < kept; ++m)
                std::copy_n(v.begin() + static_cast<std::ptrdiff_t>(m) * kValues, kValues, Node(n, firstSlot[b] + m));
        }
    m_near.assign(nodes.size(), 0);
    m_nearPairs.assign(nodes.size(), 0);
    m_bentPairs.assign(nodes.size(), 0);
    m_bentLowPairs.assign(nodes.size(), 0);
    // The centre's modes have no direction (the two lowest in-plane ones are degenerate there)
    // and two modes leave it together along the diagonal of a cross-ply plate: stencils that
    // reach the first ring are solved exactly (measured on the tone-burst example: 8e-6 to 7.5e-5
    // of the curves' peaks interpolated there, 1e-6 to 3e-6 solved).
    for (int j = 0; j < angles; ++j) {
        m_near[m_grid.Index(0, j)] = 1;
        m_nearPairs[m_grid.Index(0, j)] = ~0ULL;
    }
    MarkCrossings(firstSlot, bandModes, marks, s);
    PrepareFind();
    m_bValid = true;
}

void CModeAtlas::MarkCrossings(const std::vector<int>& firstSlot, const std::vector<int>& bandModes,
                               const CAtlasMarks& marks, const CAtlasSettings& s) {
    const int rings = m_grid.RadialNodes(), angles = m_grid.AngularNodes();
    // The gap between slot `low` and the next at node (i, j); NaN where either is missing.
    const auto gap = [&](int i, int j, int low) {
        const double* a = Node(m_grid.Index(i, j), low);
        const double* b = Node(m_grid.Index(i, j), low + 1);
        return std::isnan(a[0]) || std::isnan(b[0]) ? kMissing : Frequency(b[0]) - Frequency(a[0]);
    };
    // The second difference of the gap through node (i, j) along k or theta, taken at the nearest
    // node that has both neighbours: a gap that grows linearly (two modes leaving the origin at
    // different speeds) has none, a kink or a sharp turn has much. Between rings of different
    // steps, the second divided difference times the product of the steps over their mean (on
    // even steps the plain second difference).
    const auto bend = [&](int i, int j, int low, bool radial) {
        const int n = radial ? rings : angles;
        if (n < 3) return 0.0;
        const int c = std::clamp(radial ? i : j, 1, n - 2);
        const auto at = [&](int x) { return radial ? gap(x, j, low) : gap(i, x, low); };
        const double before = radial ? m_grid.K(c) - m_grid.K(c - 1) : 1.0;
        const double after = radial ? m_grid.K(c + 1) - m_grid.K(c) : 1.0;
        const double d = before == after ? at(c - 1) - 2 * at(c) + at(c + 1)
                                         : 2 * before * after / (before + after) *
                                               ((at(c + 1) - at(c)) / after - (at(c) - at(c - 1)) / before);
        return std::isnan(d) ? 0.0 : std::abs(d);
    };
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < angles; ++j)
            for (size_t b = 0; b < firstSlot.size(); ++b)
                for (int m = 0; m < bandModes[b]; ++m) {
                    const int low = firstSlot[b] + m;
                    const double lower = Node(m_grid.Index(i, j), low)[0], g = gap(i, j, low);
                    const double bent = std::max(bend(i, j, low, true), bend(i, j, low, false));
                    if (std::isnan(g) || !(g < s.dGapFactor * bent)) continue;
                    const unsigned long long bit = low < 64 ? 1ULL << low : ~0ULL;
                    m_bentPairs[m_grid.Index(i, j)] |= bit;
                    if (Frequency(lower) < kPairClearance * marks.dCrossings) m_bentLowPairs[m_grid.Index(i, j)] |= bit;
                    // Smooth veerings are marked only where the spectrum is strong.
                    const double factor = Frequency(lower) < marks.dVeerings ? s.dGapFactor : s.dSharpGapFactor;
                    if (Frequency(lower) < marks.dCrossings && g < factor * bent) {
                        m_near[m_grid.Index(i, j)] = 1;
                        m_nearPairs[m_grid.Index(i, j)] |= bit;
                    }
                }
}

size_t CModeAtlas::MarkedNodes() const {
    return static_cast<size_t>(std::count(m_near.begin(), m_near.end(), 1));
}

void CModeAtlas::PrepareFind() {
    const int rings = m_grid.RadialNodes(), angles = m_grid.AngularNodes();
    m_frequency.resize(m_grid.NodeCount() * static_cast<size_t>(m_nSlots));
    for (int slot = 0; slot < m_nSlots; ++slot)
        for (size_t n = 0; n < m_grid.NodeCount(); ++n) m_frequency[slot * m_grid.NodeCount() + n] = Node(n, slot)[0];
    const int alongK = CPolarGrid::Stencil(0, rings, m_grid.Points()).count;
    const int alongTheta = CPolarGrid::Stencil(0, angles, m_grid.Points()).count;
    m_nearStencil.assign(m_grid.NodeCount(), 0);
    for (int i = 0; i + alongK <= rings; ++i)
        for (int j = 0; j + alongTheta <= angles; ++j)
            for (int a = 0; a < alongK && !m_nearStencil[m_grid.Index(i, j)]; ++a)
                for (int b = 0; b < alongTheta; ++b)
                    if (m_near[m_grid.Index(i + a, j + b)]) {
                        m_nearStencil[m_grid.Index(i, j)] = 1;
                        break;
                    }
    PairStencils(alongK, alongTheta);
}

double CModeAtlas::InterpolateFrequency(const CPolarGrid::CWeights& w, int slot) const {
    const size_t rowStep = static_cast<size_t>(m_grid.AngularNodes());
    const double* row = &m_frequency[static_cast<size_t>(slot) * m_grid.NodeCount() + m_grid.Index(w.k.first, w.theta.first)];
    double sum = 0;
    if (w.theta.count == 6) {  // the atlas's stencils: a row of six a few vector products
        using CRow = Eigen::Array<double, 6, 1>;
        const Eigen::Map<const CRow> weights(w.theta.w.data());
        for (int a = 0; a < w.k.count; ++a, row += rowStep) sum += w.k.w[a] * (weights * Eigen::Map<const CRow>(row)).sum();
        return sum;
    }
    for (int a = 0; a < w.k.count; ++a, row += rowStep) {
        double along = 0;
        for (int b = 0; b < w.theta.count; ++b) along += w.theta.w[b] * row[b];
        sum += w.k.w[a] * along;
    }
    return sum;
}

void CModeAtlas::InterpolateProducts(const CPolarGrid::CWeights& w, int slot, unsigned products, double* out) const {
    using CProducts = Eigen::Array<double, 6, 1>;  // after omega^2 in a node's values
    const size_t rowStep = static_cast<size_t>(m_grid.AngularNodes()) * kStride;
    const double* row = Node(m_grid.Index(w.k.first, w.theta.first), slot) + 1;
    if (products != kEveryProduct) {  // a few alone (one for a load and output along z)
        for (int c = 0; c < 6; ++c) {
            double sum = 0;
            if (products >> c & 1)
                for (int a = 0; a < w.k.count; ++a) {
                    const double* at = row + a * rowStep + c;
                    double along = 0;
                    for (int b = 0; b < w.theta.count; ++b) along += w.theta.w[b] * at[b * kStride];
                    sum += w.k.w[a] * along;
                }
            out[c] = sum;
        }
        return;
    }
    CProducts sum = CProducts::Zero();
    for (int a = 0; a < w.k.count; ++a, row += rowStep) {
        CProducts along = w.theta.w[0] * Eigen::Map<const CProducts>(row);
        for (int b = 1; b < w.theta.count; ++b) along += w.theta.w[b] * Eigen::Map<const CProducts>(row + b * kStride);
        sum += w.k.w[a] * along;
    }
    std::copy_n(sum.data(), 6, out);
}

bool CModeAtlas::Find(double k, double theta, std::vector<CAtlasMode>& out, unsigned products) const {
    out.clear();
    if (!m_bValid || !(k <= m_dKMax)) return false;
    const CPolarGrid::CWeights w = m_grid.Weights(k, theta);
    const size_t stencil = m_grid.Index(w.k.first, w.theta.first);
    const int pair = m_nearStencil[stencil] ? m_stencilPair[stencil] : kNoPair;
    if (pair == kManyPairs) return false;
    const double limit = m_dOmegaHigh * m_dOmegaHigh;
    int above = -1;  // a block whose modes from here on lie above the band (they are sorted)
    for (int slot = 0; slot < m_nSlots; ++slot) {
        if (!m_inBand[static_cast<size_t>(slot)] || m_block[static_cast<size_t>(slot)] == above) continue;
        if (slot == pair) {
            CAtlasMode both[2];
            if (!InterpolatePair(w, slot, both[0], both[1])) return false;
            // The upper one only where it is a slot of the band (the spare above never is).
            for (int s = 0; s < (m_inBand[static_cast<size_t>(slot) + 1] ? 2 : 1) && above != m_block[static_cast<size_t>(slot)]; ++s) {
                if (both[s].omegaSquared >= limit) above = m_block[static_cast<size_t>(slot)];
                else out.push_back(both[s]);
            }
            ++slot;
            continue;
        }
        // The frequency first: most slots lie above the band, and need no products.
        const double omegaSquared = InterpolateFrequency(w, slot);
        // A node without the mode holds it far above the band (kSpareModes): so is it here.
        if (std::isnan(omegaSquared) || omegaSquared >= limit) {
            above = m_block[static_cast<size_t>(slot)];
            continue;
        }
        CAtlasMode& mode = out.emplace_back();
        mode.omegaSquared = omegaSquared;
        InterpolateProducts(w, slot, products, mode.products.data());
        mode.block = m_block[static_cast<size_t>(slot)];
    }
    return true;
}

std::vector<CAtlasMode> SolvedAtlasModes(const CModalSolver& solver, double k, double omegaHigh,
                                         CModalSolver::CWorkspace& ws) {
    std::vector<CAtlasMode> out;
    CModes modes;
    const double limit = omegaHigh * omegaHigh;
    for (int b = 0; b < solver.BlockCount(); ++b) {
        solver.SolveBlockLow(b, k, limit, 0, modes, ws);  // ascending
        for (Eigen::Index j = 0; j < modes.omegaSquared.size() && modes.omegaSquared(j) < limit; ++j)
            out.push_back({modes.omegaSquared(j), TopProducts(modes.top(0, j), modes.top(1, j), modes.top(2, j)), b});
    }
    return out;
}

CAtlasMarks AtlasMarks(const CLoadFunction& load, double window, double omegaHigh, const CAtlasSettings& s) {
    return {SampledLoadBandEdge(load, window, omegaHigh, s.dVeeringSpectrum),
            SampledLoadBandEdge(load, window, omegaHigh, s.dCrossingSpectrum)};
}

bool AtlasChosen(double radius, double marked, bool mirror, size_t vectors, EModeSource source, const CAtlasSettings& s) {
    const double span = mirror ? 0.5 * std::numbers::pi : std::numbers::pi;
    // A node costs a full solve, and the marked cells' vectors are solved as well: the atlas
    // pays where its nodes are a small share of the vectors.
    const bool cheaper = static_cast<double>(CModeAtlas::NodeCount(radius, marked, span, s)) * kAtlasShare <
                         static_cast<double>(vectors);
    return source == EModeSource::kAtlas || (source == EModeSource::kChosen && cheaper);
}

double AtlasMarkedReach(CDirectionalSolvers& directions, double radius, bool mirror, double omegaMark, size_t vectors,
                        EModeSource source, const CAtlasSettings& s, int threads, double searched) {
    // The fewest nodes the disc could have (no marks): where even they cost too much, no search.
    if (!AtlasChosen(radius, 0.0, mirror, vectors, source, s)) return radius;
    return searched > 0 ? searched : DynamicDiscRadius(directions, radius, omegaMark, mirror, threads);
}

std::unique_ptr<CModeAtlas> DynamicDiscAtlas(CDirectionalSolvers& directions, double radius, bool mirror,
                                             double omegaHigh, const CAtlasMarks& marks, size_t vectors, EModeSource source,
                                             const CAtlasSettings& s, int threads, double searched) {
    const double span = mirror ? 0.5 * std::numbers::pi : std::numbers::pi;
    const double marked =
        AtlasMarkedReach(directions, radius, mirror, marks.dCrossings, vectors, source, s, threads, searched);
    if (!AtlasChosen(radius, marked, mirror, vectors, source, s)) return nullptr;
    auto atlas = std::make_unique<CModeAtlas>(directions, radius, marked, span, omegaHigh, marks, s, threads);
    if (!atlas->Valid()) return nullptr;
    return atlas;
}

}  // namespace numerics
