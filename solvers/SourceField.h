#pragma once
// The wave field of a point source on a Cartesian grid of wave vectors, by a two-dimensional
// FFT per time: the periods are whole numbers of the field's steps, so the transform's samples
// are the field's points, and every wave vector folds onto its bin (exact for the periodic plate).

#include <complex>
#include <functional>
#include <memory>
#include <string>
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
    virtual ~CFieldSum() = default;
    // count terms of the batch (their modes packed), with their grid indices and quasi-static sums.
    virtual void Add(size_t count, const CPackedModes& modes, const std::vector<long>& m, const std::vector<long>& n,
                     const std::vector<CQuasiStatic>& quasi, int threads) = 0;
    // The field [time][y][x], x fastest; `done` (when given) hears the share of the frames made.
    virtual std::vector<double> Transform(int threads, const std::function<void(double)>& done = {}) = 0;
    // The memory the terms and the transforms hold (bytes; grows as terms are added).
    virtual double Bytes() const = 0;
};

// The plain sum: every term's curve at every time is made and kept (terms x times), then one full
// two-dimensional transform per time. The reference for checks.
class CFieldRowsSum : public CFieldSum {
public:
    CFieldRowsSum(const CLoadFunction& load, const CTimeGrid& times, const CPointSourceFieldGrid& grid, double phaseSign);
    void Add(size_t count, const CPackedModes& modes, const std::vector<long>& m, const std::vector<long>& n,
             const std::vector<CQuasiStatic>& quasi, int threads) override;
    std::vector<double> Transform(int threads, const std::function<void(double)>& done = {}) override;
    double Bytes() const override;

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

// The most memory a field's synthesis may hold (terms, transforms and the field itself).
inline constexpr double kMaxFieldBytes = 4e9;

// The field's peak memory (bytes) for `entries` terms of about `modes` modes each at `times`
// frames, by the synthesis that keeps the terms once (SourceFieldFrames.h); `curves`: a term may
// be kept as its curve where that is smaller (closed-form loads).
double FieldPeakBytes(const CPointSourceFieldGrid& grid, int times, double entries, double modes, bool curves);
// Why a field of that peak memory is refused.
std::string FieldMemoryMessage(double bytes);

}  // namespace numerics
