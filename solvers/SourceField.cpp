#include "SourceField.h"

#include <fftw3.h>

#include <cmath>
#include <memory>
#include <mutex>
#include <sstream>

#include "Parallel.h"
#include "SourceFieldFrames.h"

namespace numerics {

std::mutex& FftwPlannerLock() {
    static std::mutex lock;
    return lock;
}

CFieldRowsSum::CFieldRowsSum(const CLoadFunction& load, const CTimeGrid& times, const CPointSourceFieldGrid& grid,
                     double phaseSign)
    : m_load(load), m_times(times), m_grid(grid), m_dPhaseSign(phaseSign) {
    // Every mode carried exactly over a sampled load's pieces: the field's few times need no
    // fine grid of lags.
    if (load.type == ELoadType::kSampled) m_plan = std::make_unique<CSampledPlan>(load, times, 0.0);
}

void CFieldRowsSum::Add(size_t count, const CPackedModes& modes, const std::vector<long>& m, const std::vector<long>& n,
                    const std::vector<CQuasiStatic>& quasi, int threads) {
    const size_t times = static_cast<size_t>(m_times.nPoints);
    const size_t first = m_m.size();
    m_m.insert(m_m.end(), m.begin(), m.begin() + static_cast<long>(count));
    m_n.insert(m_n.end(), n.begin(), n.begin() + static_cast<long>(count));
    m_rows.resize(m_m.size() * times, 0.0);
    if (!quasi.empty() && !m_bQuasi) {
        m_quasiLoad = QuasiStaticLoad(m_load, m_times);
        m_bQuasi = true;
    }
    ParallelFor(count, threads, [&](size_t e, int) {
        double* row = &m_rows[(first + e) * times];
        AccumulateModes(m_load, m_times, m_plan.get(),
                        &modes.omega[modes.offset[e]], &modes.coeff[modes.offset[e]], modes.modeCount[e], row);
        if (quasi.empty()) return;
        for (size_t j = 0; j < times; ++j)
            row[j] += quasi[e].dFlexibility * m_quasiLoad.value[j] - quasi[e].dSecond * m_quasiLoad.curvature[j];
    });
}

std::string FieldMemoryMessage(double bytes) {
    std::ostringstream msg;
    msg.precision(3);
    msg << "the wave field's synthesis would hold " << bytes / 1e9 << " GB of terms and transforms at once (at most "
        << kMaxFieldBytes / 1e9 << " GB): use fewer times, fewer points, a lower dimensionless constant or a shorter window";
    return msg.str();
}

double CFieldRowsSum::Bytes() const {
    return 8.0 * static_cast<double>(m_rows.size()) +
           16.0 * m_grid.nFftX * static_cast<double>(m_grid.nFftY) +
           8.0 * m_times.nPoints * static_cast<double>(m_grid.nX) * m_grid.nY;
}

std::vector<double> CFieldRowsSum::Transform(int, const std::function<void(double)>&) {
    const int mx = m_grid.nFftX, my = m_grid.nFftY, times = m_times.nPoints;
    const size_t cells = static_cast<size_t>(mx) * static_cast<size_t>(my);
    std::unique_ptr<fftw_complex, CFftwFree> a(fftw_alloc_complex(cells));
    fftw_plan plan;
    {
        std::lock_guard<std::mutex> lock(FftwPlannerLock());
        plan = fftw_plan_dft_2d(my, mx, a.get(), a.get(), FFTW_BACKWARD, FFTW_ESTIMATE);
    }
    // The field's first point is the transform's origin; the complex factor of the pair.
    const std::complex<double> factor =
        m_dPhaseSign == 0.0 ? std::complex<double>(1, 0) : std::complex<double>(0, -m_dPhaseSign);
    std::vector<std::complex<double>> shift(m_m.size());
    for (size_t e = 0; e < m_m.size(); ++e) {
        const double phase = m_m[e] * m_grid.dkx * m_grid.dX0 + m_n[e] * m_grid.dky * m_grid.dY0;
        shift[e] = factor * std::complex<double>(std::cos(phase), std::sin(phase));
    }
    const auto bin = [](long index, int size) { return static_cast<size_t>(((index % size) + size) % size); };
    std::vector<double> field(static_cast<size_t>(times) * m_grid.nY * m_grid.nX);
    auto* cell = reinterpret_cast<std::complex<double>*>(a.get());
    for (int t = 0; t < times; ++t) {
        std::fill(cell, cell + cells, std::complex<double>(0, 0));
        for (size_t e = 0; e < m_m.size(); ++e) {
            const std::complex<double> value = m_rows[e * times + t] * shift[e];
            cell[bin(m_n[e], my) * mx + bin(m_m[e], mx)] += value;
            if (m_m[e] != 0 || m_n[e] != 0) cell[bin(-m_n[e], my) * mx + bin(-m_m[e], mx)] += std::conj(value);
        }
        fftw_execute(plan);
        double* out = &field[static_cast<size_t>(t) * m_grid.nY * m_grid.nX];
        for (int j = 0; j < m_grid.nY; ++j)
            for (int i = 0; i < m_grid.nX; ++i) out[j * m_grid.nX + i] = cell[static_cast<size_t>(j) * mx + i].real();
    }
    {
        std::lock_guard<std::mutex> lock(FftwPlannerLock());
        fftw_destroy_plan(plan);
    }
    return field;
}

}  // namespace numerics
