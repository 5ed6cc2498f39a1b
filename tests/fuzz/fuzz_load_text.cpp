// The load table (import) and the ".load" settings against any bytes (the first byte picks
// which): refused with a reason, or samples and settings whose ft.dat the solvers' own reader
// takes; settings are written back as text that reads the same.

#include <cmath>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "LoadResponse.h"
#include "SampledLoadFiles.h"

namespace {

std::string SolverVerdict(const CLoadSamples& samples) {
    numerics::CLoadFunction f;
    f.type = numerics::ELoadType::kSampled;
    return numerics::ParseSampledLoad(FormatLoadSamples(samples), "ft.dat", f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1) {
        CLoadSamples s;
        const std::string error = ParseLoadTable(text, s);
        if (!error.empty()) {
            FUZZ_CHECK(s.times.empty(), "samples kept beside an error");
            return 0;
        }
        FUZZ_CHECK(s.times.size() >= 2 && s.times.size() == s.values.size(), "sample count");
        const std::string verdict = SolverVerdict(s);
        FUZZ_CHECK(verdict.empty(), "the solvers refuse an imported table: " + verdict);
        return 0;
    }
    CSampledLoad l;
    const std::string error = ParseLoadSettings(text, l);
    if (!error.empty())
        return 0;
    FUZZ_CHECK(CheckSampledLoad(l).empty(), "accepted settings the check refuses");
    const CLoadSamples s = SampleLoad(l);
    FUZZ_CHECK(s.times.size() >= 2, "accepted settings make no samples");
    for (std::size_t i = 0; i < s.times.size(); ++i)
        FUZZ_CHECK(std::isfinite(s.times[i]) && std::isfinite(s.values[i]), "a non-finite sample");
    const std::string verdict = SolverVerdict(s);
    FUZZ_CHECK(verdict.empty(), "the solvers refuse the settings' ft.dat: " + verdict);
    CSampledLoad again;
    FUZZ_CHECK(ParseLoadSettings(FormatLoadSettings(l), again).empty(), "written settings do not read back");
    FUZZ_CHECK(FormatLoadSamples(SampleLoad(again)) == FormatLoadSamples(s), "written settings read differently");
    return 0;
}
