// The study manifest against any bytes: refused, or a manifest whose tasks cover every receiver
// of every case once, whose directories stay below the study, and which is written back as a
// text that reads as the same manifest; and any cut of a written manifest is refused.

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "StudyManifest.h"
#include "WorkingDirectory.h"

namespace {

void CheckManifest(const StudyManifest& m) {
    std::vector<std::vector<int>> covered(m.cases.size(), std::vector<int>(m.receivers.size(), 0));
    for (const StudyTask& t : m.tasks) {
        FUZZ_CHECK(t.caseIndex >= 0 && static_cast<std::size_t>(t.caseIndex) < m.cases.size(), "a task's case");
        FUZZ_CHECK(t.dir.find("..") == std::string::npos && !t.dir.empty() && t.dir.front() != '/', t.dir);
        for (int i = 0; i < t.receiverCount; ++i)
            ++covered[static_cast<std::size_t>(t.caseIndex)][static_cast<std::size_t>(t.firstReceiver + i)];
    }
    for (const auto& c : covered)
        for (int n : c)
            FUZZ_CHECK(n == 1, "a receiver not covered exactly once");
    for (double x : m.receivers)
        FUZZ_CHECK(std::isfinite(x), "a non-finite receiver");
    FUZZ_CHECK(!HasControlCharacter(m.name) && !HasControlCharacter(m.studyDir) && !HasControlCharacter(m.solver),
               "a control character in the head");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    StudyManifest m;
    std::string error;
    if (!ParseManifest(text, m, &error)) {
        FUZZ_CHECK(!error.empty(), "a refusal without a reason");
        return 0;
    }
    CheckManifest(m);
    const std::string written = FormatManifest(m);
    StudyManifest again;
    FUZZ_CHECK(ParseManifest(written, again, &error), error);
    FUZZ_CHECK(FormatManifest(again) == written, "written twice, not the same text");
    // Cut at any line: never a smaller study.
    for (std::size_t at = written.find('\n'); at != std::string::npos && at + 1 < written.size();
         at = written.find('\n', at + 1)) {
        StudyManifest cut;
        FUZZ_CHECK(!ParseManifest(written.substr(0, at + 1), cut, &error), "a cut manifest was read");
    }
    return 0;
}
