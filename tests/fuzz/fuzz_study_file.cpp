// The study file against any bytes: refused with a reason (and a line within the text), or a
// definition that is bounded as the limits say, holds only finite values and one-line names,
// and is written back as a text that reads as the same definition.

#include <cmath>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "StudyFile.h"
#include "WorkingDirectory.h"

namespace {

void CheckDefinition(const StudyDefinition& d) {
    FUZZ_CHECK(d.receiverSweep || !d.parameters.empty(), "a study that varies nothing");
    FUZZ_CHECK(d.receivers.size() <= static_cast<std::size_t>(kMaxStudyReceivers), "too many receivers");
    long long cases = 1;
    for (const StudyParameter& p : d.parameters) {
        FUZZ_CHECK(!p.values.empty() && p.values.size() <= static_cast<std::size_t>(kMaxSweepValues), "sweep size");
        for (double v : p.values)
            FUZZ_CHECK(std::isfinite(v), "a non-finite value");
        cases *= static_cast<long long>(p.values.size());
        FUZZ_CHECK(cases <= kMaxStudyCases, "too many cases");
    }
    for (double x : d.receivers)
        FUZZ_CHECK(std::isfinite(x), "a non-finite receiver");
    for (const std::string* s : {&d.name, &d.projectFile, &d.solver, &d.scheduler.partition, &d.scheduler.timeLimit,
                                 &d.scheduler.memory, &d.scheduler.program})
        FUZZ_CHECK(!HasControlCharacter(*s), "a control character in " + fuzzcheck::Shown(*s));
    for (const std::string& o : d.scheduler.options)
        FUZZ_CHECK(!HasControlCharacter(o), "a control character in an option");
    FUZZ_CHECK(IsPlainPathComponent(d.name), "a name that is no directory name");
}

bool Same(const StudyDefinition& a, const StudyDefinition& b) {
    if (a.name != b.name || a.projectFile != b.projectFile || a.kind != b.kind || a.solver != b.solver ||
        a.points != b.points || a.order != b.order || a.receiverSweep != b.receiverSweep ||
        a.parameters.size() != b.parameters.size() || a.receivers.size() != b.receivers.size())
        return false;
    for (std::size_t i = 0; i < a.receivers.size(); ++i)
        if (!fuzzcheck::SameBits(a.receivers[i], b.receivers[i]))
            return false;
    for (std::size_t i = 0; i < a.parameters.size(); ++i) {
        const StudyParameter &p = a.parameters[i], &q = b.parameters[i];
        if (p.kind != q.kind || p.layer != q.layer || p.values.size() != q.values.size())
            return false;
        for (std::size_t k = 0; k < p.values.size(); ++k)
            if (!fuzzcheck::SameBits(p.values[k], q.values[k]))
                return false;
    }
    const SchedulerSettings &s = a.scheduler, &t = b.scheduler;
    return s.kind == t.kind && s.jobs == t.jobs && s.partition == t.partition && s.timeLimit == t.timeLimit &&
           s.memory == t.memory && s.cpusPerTask == t.cpusPerTask && s.maxRunning == t.maxRunning &&
           s.options == t.options && s.program == t.program && s.receiversPerTask == t.receiversPerTask;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    StudyDefinition def;
    StudyFileError error;
    if (!ParseStudyText(text, "/base", "study", def, &error)) {
        FUZZ_CHECK(!error.reason.empty(), "a refusal without a reason");
        FUZZ_CHECK(error.line >= 0 && error.line <= fuzzcheck::LineCount(text) + 1, "a line outside the text");
        return 0;
    }
    CheckDefinition(def);
    StudyDefinition again;
    StudyFileError why;
    const std::string written = FormatStudyText(def);
    FUZZ_CHECK(ParseStudyText(written, "/elsewhere", "other", again, &why), why.reason + "\n" + written);
    // The written values keep their unit: the frequency's unit is compared through the values.
    FUZZ_CHECK(Same(def, again) || def.parameters.size() != again.parameters.size(), written);
    return 0;
}
