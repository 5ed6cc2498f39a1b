#pragma once
// The wave field synthesised frame by frame, the terms kept once (not their curves at every
// time). Each term lands on one cell of the transform's half spectrum (x from 0 to nFftX / 2; its
// complex conjugate at the opposite wave vector is implied, the field being real), in its row.
// A block of frames is filled row by row -- each term's value at those frames, from its modes:
//  - after the load has ended (a sampled load) or from its start on (the closed-form loads), a
//    mode's response is a rotation, Re(z exp(i omega (t - t0))) (with the closed-form loads' parts
//    that do not rotate with the mode, shared by every term: a constant, cos W t, sin W t), so
//    each frame costs a complex product per mode;
//  - while a sampled load acts, through frequency bins (SourceBinning.h) of that short lag width:
//    each bin's response at those frames is carried exactly over the load's pieces once, a mode's
//    is its stencil's weights over them (the rotation's start, q and q' at the load's end, alike);
//  - modes of too low a frequency for those forms (or at resonance with a cosine or sine load) by
//    their closed forms at every frame, and terms of so many modes that their curve is smaller
//    than the modes, as their curve --
// then each frame's inverse transform, pruned: along y for every column of the half spectrum,
// then back to real values along x only for the field's rows, and only the field's points kept.

#include <fftw3.h>

#include <complex>
#include <cstdint>
#include <mutex>

#include "SourceBinning.h"
#include "SourceField.h"

namespace numerics {

// FFTW's planner is not thread-safe; its plans are.
std::mutex& FftwPlannerLock();
struct CFftwFree {
    void operator()(void* p) const { fftw_free(p); }
};

// One frame's half spectrum [nFftY][nFftX / 2 + 1] to the field's points [nY][nX].
class CPrunedTransform {
public:
    CPrunedTransform(const CPointSourceFieldGrid& grid, int threads);
    ~CPrunedTransform();
    CPrunedTransform(const CPrunedTransform&) = delete;
    CPrunedTransform& operator=(const CPrunedTransform&) = delete;
    size_t Cells() const { return static_cast<size_t>(m_grid.nFftY) * static_cast<size_t>(m_nHalf); }
    int Columns() const { return m_nHalf; }
    // spectrum (from fftw_alloc_complex; destroyed) to field; `thread` below the threads given.
    void Apply(fftw_complex* spectrum, double* field, int thread) const;

private:
    CPointSourceFieldGrid m_grid;
    int m_nHalf;
    fftw_plan m_alongY = nullptr, m_alongX = nullptr;
    std::vector<std::unique_ptr<double, CFftwFree>> m_rows;  // per thread: nY rows of nFftX
};

class CFieldFramesSum : public CFieldSum {
public:
    // quasi: the terms carry quasi-static sums (a band-limited load on one lattice).
    CFieldFramesSum(const CLoadFunction& load, const CTimeGrid& frames, const CPointSourceFieldGrid& grid,
                    double phaseSign, bool quasi);
    void Add(size_t count, const CPackedModes& modes, const std::vector<long>& m, const std::vector<long>& n,
             const std::vector<CQuasiStatic>& quasi, int threads) override;
    std::vector<double> Transform(int threads, const std::function<void(double)>& done = {}) override;
    double Bytes() const override { return m_dBytes; }

    struct CMode {
        double omega, coeff;     // once its rotation has begun: the cosine and sine of its turn per frame
        std::complex<double> z;  // the rotation at the next frame it serves; NaN: closed form every frame
    };
    struct CEntry {
        std::complex<double> shift;  // the transform's factor and the field's offset (conjugated for a
                                     // conjugate landing)
        size_t first = 0;            // its modes, or its curve's values, in the row's arrays
        uint32_t count = 0;          // modes
        int32_t column = 0;
        bool bCurve = false, bRealOnly = false;
    };

private:
    struct CRow {
        std::vector<CEntry> entries;
        std::vector<CMode> modes;
        std::vector<double> curves, shared;  // curves: frames per entry; shared: kShared per entry
    };
    void ExtendTables(long bins, int threads);
    void PrepareMode(double omega, double coeff, CMode& out, double* shared) const;
    void Values(const CEntry& e, CRow& row, size_t index, int f0, int f1, double* g) const;
    void Rotate(CMode* modes, size_t count, int f0, int f1, double* g) const;

    const CLoadFunction& m_load;
    CTimeGrid m_frames;
    CPointSourceFieldGrid m_grid;
    double m_dPhaseSign;
    bool m_bSampled, m_bQuasi;
    int m_nShared;          // shared functions per entry: constant, cos W t, sin W t; f, f''
    int m_nOn = 0;          // the first frame the load has acted before
    int m_nFree = 0;        // the first frame of the rotations
    double m_dFree = 0;     // where the rotations start from (the load's end, or 0)
    double m_dLast = 0;     // the last frame's time
    std::vector<double> m_sharedAt;  // [function][frame]
    std::unique_ptr<CSampledPlan> m_plan;  // the terms kept as curves
    CQuasiStaticLoad m_quasiLoad;
    // A sampled load's bins: q at the frames it acts over [bin][frame - m_nOn], and q, q' at its end.
    CFrequencyBins m_bins;
    long m_nBins = 0;
    std::vector<double> m_during, m_qEnd, m_vEnd;
    std::vector<CRow> m_rows;
    double m_dBytes = 0;
};

}  // namespace numerics
