#include "LoadBand.h"

#include <cmath>
#include <cstdio>
#include <numbers>

#include "SolverInput.h"

int SolverDefaultPoints() { return numerics::kDefaultPoints; }

std::optional<double> HighestLoadFrequency(int loadType, double omega, const CSampledLoad* sampled) {
    if (loadType == 3 || loadType == 5)
        return std::abs(omega) / (2 * std::numbers::pi);
    if (loadType != 4 || !sampled)
        return std::nullopt;
    switch (sampled->m_shape) {
    case ELoadShape::ToneBurst:
        if (!(sampled->m_dCycles > 0))
            return std::nullopt;
        return sampled->m_dFrequency * (1 + 2 / sampled->m_dCycles);
    case ELoadShape::Gaussian:
        // The spectrum of exp(-(t / w)^2) is exp(-(pi f w)^2): down to 1 % at pi f w = sqrt(ln 100).
        if (!(sampled->m_dWidth > 0))
            return std::nullopt;
        return std::sqrt(std::log(100.0)) / (std::numbers::pi * sampled->m_dWidth);
    case ELoadShape::RaisedCosineStep:
        // The rise is half a period of a cosine.
        if (!(sampled->m_dRise > 0))
            return std::nullopt;
        return 1 / (2 * sampled->m_dRise);
    case ELoadShape::Imported: return std::nullopt;
    }
    return std::nullopt;
}

std::string SamplingWarning(int points, double from, double to, double fMax) {
    const int n = points > 0 ? points : SolverDefaultPoints();
    if (!(fMax > 0) || !(to > from) || n < 2 || !std::isfinite(fMax))
        return {};
    const double interval = (to - from) / (n - 1);
    const double perPeriod = 1 / (fMax * interval);
    if (perPeriod >= kMinSamplesPerPeriod)
        return {};
    const double needed = std::ceil(kMinSamplesPerPeriod * fMax * (to - from)) + 1;
    char text[320];
    std::snprintf(text, sizeof text,
                  "%d output points over %g us are %.1f samples a period of the load's highest frequency "
                  "(%.3g MHz): peaks come out too low. At least %.0f points show it.",
                  n, to - from, perPeriod, fMax, needed);
    return text;
}
