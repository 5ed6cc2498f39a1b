#pragma once
// The wave field of a point source on a Cartesian grid of wave vectors, by a two-dimensional
// FFT per time: the periods are whole numbers of the field's steps, so the transform's samples
// are the field's points, and every wave vector folds onto its bin (exact for the periodic plate).

#include <complex>
#include <memory>
#include <vector>

#include "LoadBand.h"
#include "LoadResponse.h"
#include "Synthesis.h"

namespace numerics {

struct CPointSourceFieldGrid {
    int nFftX = 1, nFftY = 1;
    double dkx = 0, dky = 0;
    double dX0 = 0, dY0 = 0;  // the field's first point
    int nX = 1, nY = 1;
};

// One term of the synthesis: wave vector (m dkx, n dky), its modes' weights already in the
// packed coefficients, and the transform's complex factor: 1 (same kinds of load and output),
// i (output W of an in-plane load) or -i (in-plane output of a Z load).
class CFieldSum {
public:
    CFieldSum(const CLoadFunction& load, const CTimeGrid& times, const CPointSourceFieldGrid& grid, double phaseSign);

    // count terms of the batch (their modes packed), with their grid indices and quasi-static sums.
    void Add(size_t count, const CPackedModes& modes, const std::vector<long>& m, const std::vector<long>& n,
             const std::vector<CQuasiStatic>& quasi, int threads);
    // The field [time][y][x], x fastest.
    std::vector<double> Transform() const;

private:
    const CLoadFunction& m_load;
    CTimeGrid m_times;
    CPointSourceFieldGrid m_grid;
    double m_dPhaseSign;
    std::unique_ptr<CSampledPlan> m_plan;  // a sampled load's pieces
    CQuasiStaticLoad m_quasiLoad;
    bool m_bQuasi = false;
    std::vector<long> m_m, m_n;
    std::vector<double> m_rows;  // terms x times
};

}  // namespace numerics
