#include "SourceFieldFrames.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "ModalKernels.h"
#include "Parallel.h"

namespace numerics {

using namespace kernels;

namespace {

// The frames' half spectra held at once take at most about this much memory (at least one frame).
constexpr double kFrameBlockBytes = double(1 << 28);
constexpr size_t kRowChunk = 4096;  // terms of a row whose values are held at once
constexpr double kModeBytes = sizeof(CFieldFramesSum::CMode), kEntryBytes = sizeof(CFieldFramesSum::CEntry);

bool IsClosedForm(const CFieldFramesSum::CMode& mode) { return std::isnan(mode.z.real()); }

// q at the times `at` (ascending, strictly inside the load's samples) and q, q' at its last sample
// of a mode at omega, carried exactly over the pieces of a sampled load.
void MarchSampled(const CLoadFunction& load, double omega, const std::vector<double>& at, double* q, double& qEnd,
                  double& vEnd) {
    const std::vector<double>& ts = load.times;
    const std::vector<double>& vs = load.values;
    double x = 0, v = 0, now = ts.front();
    size_t next = 0;
    for (size_t k = 1; k < ts.size(); ++k) {
        const double slope = (vs[k] - vs[k - 1]) / (ts[k] - ts[k - 1]);
        const auto advance = [&](double to) {
            CStep(omega, to - now).Apply(x, v, vs[k - 1] + slope * (now - ts[k - 1]), slope);
            now = to;
        };
        for (; next < at.size() && at[next] <= ts[k]; ++next) {
            advance(at[next]);
            q[next] = x;
        }
        advance(ts[k]);
    }
    qEnd = x;
    vEnd = v;
}

int FrameBlock(const CPointSourceFieldGrid& grid, int frames) {
    const double frame = 16.0 * grid.nFftY * (grid.nFftX / 2 + 1);
    return static_cast<int>(std::clamp(std::floor(kFrameBlockBytes / frame), 1.0, static_cast<double>(frames)));
}

// Where a term of grid indices (m, n) lands in the half spectrum: its row, column and whether
// the conjugate lands there.
struct CLanding {
    long row, column;
    bool bConjugate;
};
long Wrap(long index, int size) { return ((index % size) + size) % size; }

}  // namespace

double FieldPeakBytes(const CPointSourceFieldGrid& grid, int times, double entries, double modes, bool curves) {
    const double kept = curves ? std::min(8.0 * times, modes * kModeBytes) : modes * kModeBytes;
    const double perEntry = kEntryBytes + 8.0 * 5 + kept;
    const double frame = 16.0 * grid.nFftY * (grid.nFftX / 2 + 1);
    return entries * perEntry + FrameBlock(grid, times) * frame + 8.0 * times * grid.nX * static_cast<double>(grid.nY);
}

CPrunedTransform::CPrunedTransform(const CPointSourceFieldGrid& grid, int threads)
    : m_grid(grid), m_nHalf(grid.nFftX / 2 + 1) {
    std::unique_ptr<fftw_complex, CFftwFree> sample(fftw_alloc_complex(Cells()));
    for (int t = 0; t < std::max(1, threads); ++t)
        m_rows.emplace_back(fftw_alloc_real(static_cast<size_t>(grid.nY) * static_cast<size_t>(grid.nFftX)));
    const int ny = grid.nFftY, nx = grid.nFftX;
    std::lock_guard<std::mutex> lock(FftwPlannerLock());
    m_alongY = fftw_plan_many_dft(1, &ny, m_nHalf, sample.get(), nullptr, m_nHalf, 1, sample.get(), nullptr, m_nHalf, 1,
                                  FFTW_BACKWARD, FFTW_ESTIMATE);
    m_alongX = fftw_plan_many_dft_c2r(1, &nx, grid.nY, sample.get(), nullptr, 1, m_nHalf, m_rows[0].get(), nullptr, 1,
                                      nx, FFTW_ESTIMATE);
}

CPrunedTransform::~CPrunedTransform() {
    std::lock_guard<std::mutex> lock(FftwPlannerLock());
    fftw_destroy_plan(m_alongY);
    fftw_destroy_plan(m_alongX);
}

void CPrunedTransform::Apply(fftw_complex* spectrum, double* field, int thread) const {
    double* rows = m_rows[static_cast<size_t>(thread)].get();
    fftw_execute_dft(m_alongY, spectrum, spectrum);
    fftw_execute_dft_c2r(m_alongX, spectrum, rows);
    for (int j = 0; j < m_grid.nY; ++j)
        std::copy(rows + static_cast<size_t>(j) * m_grid.nFftX, rows + static_cast<size_t>(j) * m_grid.nFftX + m_grid.nX,
                  field + static_cast<size_t>(j) * m_grid.nX);
}

CFieldFramesSum::CFieldFramesSum(const CLoadFunction& load, const CTimeGrid& frames, const CPointSourceFieldGrid& grid,
                                 double phaseSign, bool quasi)
    : m_load(load),
      m_frames(frames),
      m_grid(grid),
      m_dPhaseSign(phaseSign),
      m_bSampled(load.type == ELoadType::kSampled),
      m_bQuasi(quasi),
      m_nShared((m_bSampled ? 0 : 3) + (quasi ? 2 : 0)),
      m_bins(m_bSampled ? load.times.back() - load.times.front() : 1.0),
      m_rows(static_cast<size_t>(grid.nFftY)) {
    const int nt = frames.nPoints;
    m_dLast = frames.Last();
    const double start = m_bSampled ? load.times.front() : 0.0;
    m_dFree = m_bSampled ? load.times.back() : 0.0;
    while (m_nOn < nt && frames.At(m_nOn) <= start) ++m_nOn;
    m_nFree = m_nOn;
    while (m_bSampled && m_nFree < nt && frames.At(m_nFree) < m_dFree) ++m_nFree;
    if (m_bSampled) m_plan = std::make_unique<CSampledPlan>(load, frames, 0.0);
    if (quasi) m_quasiLoad = QuasiStaticLoad(load, frames);
    m_sharedAt.assign(static_cast<size_t>(m_nShared) * nt, 0.0);
    const double big = std::abs(load.dOmega);
    for (int f = 0; f < nt && m_nShared > 0; ++f) {
        double* at = &m_sharedAt[static_cast<size_t>(f)];
        int k = 0;
        if (!m_bSampled) {
            const double t = frames.At(f);
            at[0] = f >= m_nOn ? 1.0 : 0.0;
            at[static_cast<size_t>(nt)] = f >= m_nOn ? std::cos(big * t) : 0.0;
            at[2 * static_cast<size_t>(nt)] = f >= m_nOn ? std::sin(big * t) : 0.0;
            k = 3;
        }
        if (quasi) {
            at[static_cast<size_t>(k) * nt] = m_quasiLoad.value[static_cast<size_t>(f)];
            at[static_cast<size_t>(k + 1) * nt] = -m_quasiLoad.curvature[static_cast<size_t>(f)];
        }
    }
    m_dBytes = FieldPeakBytes(grid, nt, 0, 0, false);
}

void CFieldFramesSum::ExtendTables(long bins, int threads) {
    if (bins <= m_nBins) return;
    const size_t during = static_cast<size_t>(m_nFree - m_nOn);
    std::vector<double> at;
    for (int f = m_nOn; f < m_nFree; ++f) at.push_back(m_frames.At(f));
    m_during.resize(static_cast<size_t>(bins) * during);
    m_qEnd.resize(static_cast<size_t>(bins));
    m_vEnd.resize(static_cast<size_t>(bins));
    const long from = m_nBins;
    ParallelFor(static_cast<size_t>(bins - from), threads, [&](size_t i, int) {
        const size_t b = static_cast<size_t>(from) + i;
        MarchSampled(m_load, m_bins.Omega(static_cast<long>(b)), at, m_during.data() + b * during, m_qEnd[b], m_vEnd[b]);
    });
    m_dBytes += 8.0 * static_cast<double>(bins - m_nBins) * static_cast<double>(during + 2);
    m_nBins = bins;
}

// A mode's rotation at its first frame, or the mark of a closed form; the parts that do not
// rotate with it added to the term's shared coefficients.
void CFieldFramesSum::PrepareMode(double omega, double coeff, CMode& out, double* shared) const {
    out.omega = std::abs(omega);
    out.coeff = coeff;
    const double w = out.omega, big = std::abs(m_load.dOmega);
    const double span = m_dLast - (m_bSampled ? m_load.times.front() : 0.0);
    const bool resonant = (m_load.type == ELoadType::kCosine || m_load.type == ELoadType::kSine) &&
                          std::abs(w - big) * span < kSmallPhase;
    if (w * span < kSmallPhase || resonant) {
        out.z = {std::numeric_limits<double>::quiet_NaN(), 0.0};
        return;
    }
    std::complex<double> z;
    if (m_bSampled) {
        // q(t) = q_e cos w s + (q'_e / w) sin w s after the load's end (s = t - t_e).
        double weights[kBinTaps];
        const long first = m_bins.Weights(w, weights);
        double q = 0, v = 0;
        for (int i = 0; i < kBinTaps; ++i) {
            q += weights[i] * m_qEnd[static_cast<size_t>(first + i)];
            v += weights[i] * m_vEnd[static_cast<size_t>(first + i)];
        }
        z = {q, -v / w};
    } else {
        // q(t) = alpha + beta cos w t + gamma sin w t + delta cos W t + eps sin W t (LoadResponse.cpp).
        double alpha = 0, beta = 0, gamma = 0, delta = 0, eps = 0;
        const double sign = (m_load.type == ELoadType::kSine && m_load.dOmega < 0) ? -1.0 : 1.0;
        switch (m_load.type) {
        case ELoadType::kStep:
            alpha = 1.0 / (w * w);
            beta = -1.0 / (w * w);
            break;
        case ELoadType::kImpulse:
            gamma = 1.0 / w;
            break;
        case ELoadType::kCosine:
            delta = 1.0 / (w * w - big * big);
            beta = -delta;
            break;
        case ELoadType::kSine: {
            const double r = 1.0 / (w * w - big * big);
            eps = sign * r;
            gamma = -sign * (big / w) * r;
            break;
        }
        default:
            break;
        }
        shared[0] += coeff * alpha;
        shared[1] += coeff * delta;
        shared[2] += coeff * eps;
        z = {beta, -gamma};
    }
    const double from = m_nFree < m_frames.nPoints ? m_frames.At(m_nFree) - m_dFree : 0.0;
    out.z = coeff * z * std::polar(1.0, w * from);
}

void CFieldFramesSum::Add(size_t count, const CPackedModes& modes, const std::vector<long>& m, const std::vector<long>& n,
                          const std::vector<CQuasiStatic>& quasi, int threads) {
    const int nt = m_frames.nPoints, k = m_nShared;
    if (m_bSampled) {
        long bins = 0;
        for (double w : modes.omega) bins = std::max(bins, m_bins.BinsUpTo(w));
        ExtendTables(bins, threads);
    }
    // Each term as its modes, or as its curve where that is smaller (a closed-form load's curve
    // costs what its rotations do; a sampled load's, carried over its pieces, far more).
    std::vector<char> curve(count);
    std::vector<size_t> curveAt(count, 0);
    size_t curves = 0;
    for (size_t e = 0; e < count; ++e) {
        curve[e] = !m_bSampled && static_cast<double>(modes.modeCount[e]) * kModeBytes >= 8.0 * nt;
        if (curve[e]) curveAt[e] = curves++ * static_cast<size_t>(nt);
    }
    std::vector<CMode> prepared(modes.omega.size());
    std::vector<double> values(curves * static_cast<size_t>(nt), 0.0), shared(count * static_cast<size_t>(k), 0.0);
    ParallelFor(count, threads, [&](size_t e, int) {
        double* own = shared.data() + e * static_cast<size_t>(k);
        const size_t from = modes.offset[e];
        if (curve[e]) {
            double* row = &values[curveAt[e]];
            AccumulateModes(m_load, m_frames, m_plan.get(), &modes.omega[from], &modes.coeff[from], modes.modeCount[e],
                            row);
            if (m_bQuasi && !quasi.empty())
                for (int j = 0; j < nt; ++j)
                    row[j] += quasi[e].dFlexibility * m_quasiLoad.value[static_cast<size_t>(j)] -
                              quasi[e].dSecond * m_quasiLoad.curvature[static_cast<size_t>(j)];
            return;
        }
        for (size_t j = from; j < from + modes.modeCount[e]; ++j) PrepareMode(modes.omega[j], modes.coeff[j], prepared[j], own);
        if (m_bQuasi && !quasi.empty()) {
            own[k - 2] = quasi[e].dFlexibility;
            own[k - 1] = quasi[e].dSecond;
        }
    });
    // Into the rows, in the batch's order.
    const int nx = m_grid.nFftX, ny = m_grid.nFftY, half = nx / 2;
    const std::complex<double> factor =
        m_dPhaseSign == 0.0 ? std::complex<double>(1, 0) : std::complex<double>(0, -m_dPhaseSign);
    double added = 0;
    for (size_t e = 0; e < count; ++e) {
        if (modes.modeCount[e] == 0 && !(m_bQuasi && !quasi.empty())) continue;
        const double phase = m[e] * m_grid.dkx * m_grid.dX0 + n[e] * m_grid.dky * m_grid.dY0;
        const std::complex<double> shift = factor * std::polar(1.0, phase);
        std::vector<CLanding> landings;
        if (m[e] == 0 && n[e] == 0) {
            landings.push_back({0, 0, false});
        } else {
            if (Wrap(m[e], nx) <= half) landings.push_back({Wrap(n[e], ny), Wrap(m[e], nx), false});
            if (Wrap(-m[e], nx) <= half) landings.push_back({Wrap(-n[e], ny), Wrap(-m[e], nx), true});
        }
        for (const CLanding& at : landings) {
            CRow& row = m_rows[static_cast<size_t>(at.row)];
            CEntry entry;
            entry.shift = at.bConjugate ? std::conj(shift) : shift;
            entry.column = static_cast<int32_t>(at.column);
            entry.bRealOnly = m[e] == 0 && n[e] == 0;
            entry.bCurve = curve[e];
            if (curve[e]) {
                entry.first = row.curves.size();
                row.curves.insert(row.curves.end(), values.begin() + static_cast<long>(curveAt[e]),
                                  values.begin() + static_cast<long>(curveAt[e]) + nt);
                added += 8.0 * nt;
            } else {
                entry.first = row.modes.size();
                entry.count = static_cast<uint32_t>(modes.modeCount[e]);
                row.modes.insert(row.modes.end(), prepared.begin() + static_cast<long>(modes.offset[e]),
                                 prepared.begin() + static_cast<long>(modes.offset[e] + modes.modeCount[e]));
                added += kModeBytes * static_cast<double>(modes.modeCount[e]);
            }
            row.shared.insert(row.shared.end(), shared.begin() + static_cast<long>(e * k),
                              shared.begin() + static_cast<long>((e + 1) * k));
            row.entries.push_back(entry);
            added += kEntryBytes + 8.0 * k;
        }
    }
    m_dBytes += added;
}

// The term's values at frames f0 .. f1 - 1 (its curve, or its modes and shared parts) into g.
void CFieldFramesSum::Values(const CEntry& e, CRow& row, size_t index, int f0, int f1, double* g) const {
    const int nt = m_frames.nPoints;
    if (e.bCurve) {
        std::copy(row.curves.begin() + static_cast<long>(e.first + static_cast<size_t>(f0)),
                  row.curves.begin() + static_cast<long>(e.first + static_cast<size_t>(f1)), g);
        return;
    }
    std::fill(g, g + (f1 - f0), 0.0);
    for (int k = 0; k < m_nShared; ++k) {
        const double c = row.shared[index * static_cast<size_t>(m_nShared) + static_cast<size_t>(k)];
        if (c == 0.0) continue;
        const double* at = &m_sharedAt[static_cast<size_t>(k) * nt];
        for (int f = f0; f < f1; ++f) g[f - f0] += c * at[f];
    }
    const size_t during = static_cast<size_t>(m_nFree - m_nOn);
    for (size_t j = e.first; j < e.first + e.count; ++j) {
        CMode& mode = row.modes[j];
        if (IsClosedForm(mode)) {
            for (int f = std::max(f0, m_nOn); f < f1; ++f) g[f - f0] += mode.coeff * ModalResponse(m_load, mode.omega, m_frames.At(f));
            continue;
        }
        if (const int d0 = std::max(f0, m_nOn), d1 = std::min(f1, m_nFree); d0 < d1) {
            double weights[kBinTaps];
            const long first = m_bins.Weights(mode.omega, weights);
            for (int f = d0; f < d1; ++f) {
                const double* q = &m_during[static_cast<size_t>(first) * during + static_cast<size_t>(f - m_nOn)];
                double sum = 0;
                for (int i = 0; i < kBinTaps; ++i) sum += weights[i] * q[static_cast<size_t>(i) * during];
                g[f - f0] += mode.coeff * sum;
            }
        }
    }
    Rotate(row.modes.data() + e.first, e.count, f0, f1, g);
}

// The rotations of `count` modes over the free frames of f0 .. f1 - 1, added to g, eight modes at
// once (independent recurrences keep the processor busy), each state left at frame f1.
void CFieldFramesSum::Rotate(CMode* modes, size_t count, int f0, int f1, double* g) const {
    const int r0 = std::max(f0, m_nFree);
    if (r0 >= f1) return;
    constexpr int kBatch = 8;
    CMode* batch[kBatch];
    double re[kBatch], im[kBatch], c[kBatch], s[kBatch];
    int n = 0;
    const auto flush = [&] {
        for (int f = r0; f < f1; ++f) {
            double sum = 0;
            for (int i = 0; i < n; ++i) {
                sum += re[i];
                const double next = re[i] * c[i] - im[i] * s[i];
                im[i] = re[i] * s[i] + im[i] * c[i];
                re[i] = next;
            }
            g[f - f0] += sum;
        }
        for (int i = 0; i < n; ++i) batch[i]->z = {re[i], im[i]};
        n = 0;
    };
    // The block where the rotations begin has the last use of omega and the coefficient (the
    // frames while the load acts come before): from then on they hold the turn per frame.
    const bool begin = f0 <= m_nFree;
    for (size_t j = 0; j < count; ++j) {
        CMode& mode = modes[j];
        if (IsClosedForm(mode)) continue;
        if (begin) {
            const double turn = mode.omega * m_frames.dStep;
            mode.omega = std::cos(turn);
            mode.coeff = std::sin(turn);
        }
        batch[n] = &mode;
        re[n] = mode.z.real();
        im[n] = mode.z.imag();
        c[n] = mode.omega;
        s[n] = mode.coeff;
        if (++n == kBatch) flush();
    }
    if (n > 0) flush();
}

std::vector<double> CFieldFramesSum::Transform(int threads, const std::function<void(double)>& done) {
    const int nt = m_frames.nPoints, block = FrameBlock(m_grid, nt);
    const CPrunedTransform transform(m_grid, threads);
    const size_t cells = transform.Cells(), columns = static_cast<size_t>(transform.Columns());
    const size_t plane = static_cast<size_t>(m_grid.nX) * static_cast<size_t>(m_grid.nY);
    std::vector<std::unique_ptr<fftw_complex, CFftwFree>> spectra;
    for (int b = 0; b < block; ++b) spectra.emplace_back(fftw_alloc_complex(cells));
    std::vector<double> field(static_cast<size_t>(nt) * plane);
    for (int f0 = 0; f0 < nt; f0 += block) {
        const int f1 = std::min(nt, f0 + block);
        for (int f = f0; f < f1; ++f) {
            auto* cell = reinterpret_cast<std::complex<double>*>(spectra[static_cast<size_t>(f - f0)].get());
            std::fill(cell, cell + cells, std::complex<double>(0, 0));
        }
        const size_t span = static_cast<size_t>(f1 - f0);
        ParallelFor(m_rows.size(), threads, [&](size_t r, int) {
            // The row's terms in chunks: their values at the block's frames, then frame by frame
            // onto the row of that frame's spectrum (a few kilobytes, in cache).
            CRow& row = m_rows[r];
            std::vector<double> g;
            for (size_t i0 = 0; i0 < row.entries.size(); i0 += kRowChunk) {
                const size_t i1 = std::min(row.entries.size(), i0 + kRowChunk);
                g.assign((i1 - i0) * span, 0.0);
                for (size_t i = i0; i < i1; ++i) Values(row.entries[i], row, i, f0, f1, &g[(i - i0) * span]);
                for (size_t f = 0; f < span; ++f) {
                    auto* cell = reinterpret_cast<std::complex<double>*>(spectra[f].get()) + r * columns;
                    for (size_t i = i0; i < i1; ++i) {
                        const CEntry& e = row.entries[i];
                        const double value = g[(i - i0) * span + f];
                        if (e.bRealOnly) cell[e.column] += e.shift.real() * value;
                        else cell[e.column] += e.shift * value;
                    }
                }
            }
        });
        ParallelFor(static_cast<size_t>(f1 - f0), threads, [&](size_t i, int t) {
            transform.Apply(spectra[i].get(), &field[(static_cast<size_t>(f0) + i) * plane], t);
        });
        if (done) done(static_cast<double>(f1) / nt);
    }
    return field;
}

}  // namespace numerics
