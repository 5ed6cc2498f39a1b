#include "Synthesis.h"

#include <algorithm>

#include "Parallel.h"

namespace numerics {

namespace {

constexpr size_t kChunkValues = size_t(1) << 22;  // doubles of G held at once
constexpr int kReceiverBlock = 16;

}  // namespace

CReceiverSum::CReceiverSum(const CLoadFunction& load, const CTimeGrid& times, const CSampledPlan* plan,
                           size_t length, int receivers)
    : m_load(load), m_times(times), m_plan(plan), m_nLength(length) {
    m_values.setZero(receivers, static_cast<Eigen::Index>(length));
}

void CReceiverSum::Add(size_t count, const CPackedModes& modes, const CPhase& phase, int threads) {
    const Eigen::Index points = static_cast<Eigen::Index>(m_nLength);
    const int receivers = static_cast<int>(m_values.rows());
    // Entries without a synthesised mode (all quasi-static) add nothing here.
    std::vector<size_t> used;
    for (size_t e = 0; e < count; ++e)
        if (modes.modeCount[e] > 0) used.push_back(e);
    const size_t total = used.size();
    const size_t rows = std::max<size_t>(1, std::min(total, kChunkValues / static_cast<size_t>(points)));
    using RowMajor = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;
    RowMajor g;
    Eigen::MatrixXd factor;
    for (size_t c0 = 0; c0 < total; c0 += rows) {
        const size_t c1 = std::min(total, c0 + rows);
        g.setZero(static_cast<Eigen::Index>(c1 - c0), points);
        ParallelFor(c1 - c0, threads, [&](size_t l, int) {
            const size_t e = used[c0 + l];
            AccumulateModes(m_load, m_times, m_plan, &modes.omega[modes.offset[e]], &modes.coeff[modes.offset[e]],
                            modes.modeCount[e], g.row(static_cast<Eigen::Index>(l)).data());
        });
        factor.resize(receivers, static_cast<Eigen::Index>(c1 - c0));
        for (size_t l = 0; l < c1 - c0; ++l)
            for (int r = 0; r < receivers; ++r) factor(r, static_cast<Eigen::Index>(l)) = phase(used[c0 + l], r);
        const size_t blocks = (static_cast<size_t>(receivers) + kReceiverBlock - 1) / kReceiverBlock;
        ParallelFor(blocks, threads, [&](size_t blk, int) {
            const int r0 = static_cast<int>(blk) * kReceiverBlock;
            const int nr = std::min(kReceiverBlock, receivers - r0);
            m_values.middleRows(r0, nr).noalias() += factor.middleRows(r0, nr) * g;
        });
    }
}

std::vector<std::vector<double>> CReceiverSum::Curves() const {
    std::vector<std::vector<double>> curves;
    for (Eigen::Index r = 0; r < m_values.rows(); ++r) {
        const Eigen::VectorXd row = m_values.row(r).transpose();
        std::vector<double> buffer(row.data(), row.data() + row.size()), curve;
        if (m_plan) m_plan->Finish(buffer, curve);
        else curve = std::move(buffer);
        curves.push_back(std::move(curve));
    }
    return curves;
}

void AddQuasiStatic(const std::vector<CQuasiStatic>& quasi, const std::function<double(size_t)>& phase,
                    const CQuasiStaticLoad& load, std::vector<double>& curve) {
    if (load.value.empty()) return;
    double c1 = 0, c2 = 0;
    for (size_t i = 0; i < quasi.size(); ++i) {
        const double f = phase(i);
        c1 += quasi[i].dFlexibility * f;
        c2 += quasi[i].dSecond * f;
    }
    for (size_t j = 0; j < curve.size(); ++j) curve[j] += c1 * load.value[j] - c2 * load.curvature[j];
}

void CQuasiSums::Add(const std::vector<CQuasiStatic>& quasi, const CPhase& phase, int threads) {
    ParallelFor(m_c1.size(), threads, [&](size_t r, int) {
        for (size_t i = 0; i < quasi.size(); ++i) {
            const double f = phase(i, static_cast<int>(r));
            m_c1[r] += quasi[i].dFlexibility * f;
            m_c2[r] += quasi[i].dSecond * f;
        }
    });
}

void CQuasiSums::AddTo(size_t r, const CQuasiStaticLoad& load, std::vector<double>& curve) const {
    if (load.value.empty()) return;
    for (size_t j = 0; j < curve.size(); ++j) curve[j] += m_c1[r] * load.value[j] - m_c2[r] * load.curvature[j];
}

}  // namespace numerics
