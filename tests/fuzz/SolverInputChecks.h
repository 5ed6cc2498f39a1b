#pragma once
// Properties every problem the solvers' input readers accept must have, whatever the file: the
// readers' messages name the file and a line, codes lie in their ranges, the element stack runs
// without gaps from the bottom surface up with positive finite densities and finite stiffness,
// and reading the same bytes again (or with blank lines added at the end) gives the same problem.

#include <cmath>
#include <string>

#include "FuzzCheck.h"
#include "SolverInput.h"

namespace fuzzcheck {

inline bool SameProblem(const numerics::CProblem& a, const numerics::CProblem& b) {
    if (a.strTitle != b.strTitle || !SameBits(a.dCutoffConst, b.dCutoffConst) || a.bShell != b.bShell ||
        !SameBits(a.dRadius, b.dRadius) || a.load.type != b.load.type || !SameBits(a.load.dOmega, b.load.dOmega) ||
        a.nLoadDir != b.nLoadDir || a.nOutput != b.nOutput || !SameBits(a.dTimeFrom, b.dTimeFrom) ||
        !SameBits(a.dTimeTo, b.dTimeTo) || !SameBits(a.dReceiverX, b.dReceiverX) ||
        a.model.bShell != b.model.bShell || !SameBits(a.model.dOuterRadius, b.model.dOuterRadius) ||
        a.model.elements.size() != b.model.elements.size())
        return false;
    for (size_t i = 0; i < a.model.elements.size(); ++i) {
        const numerics::CElement& x = a.model.elements[i];
        const numerics::CElement& y = b.model.elements[i];
        if (!SameBits(x.dBottom, y.dBottom) || !SameBits(x.dTop, y.dTop) || x.nOrder != y.nOrder ||
            x.density.size() != y.density.size())
            return false;
        for (size_t g = 0; g < x.density.size(); ++g)
            if (!SameBits(x.density[g], y.density[g]) || !(x.stiffness[g].array() == y.stiffness[g].array()).all())
                return false;
    }
    return true;
}

// The failure message: "<name> line <n>: ..." with n inside the file or one past it, or the
// empty-file message.
inline void CheckRefusal(const std::string& text, const std::string& name, const std::string& error) {
    if (error == name + ": the file is empty")
        return;
    const std::string head = name + " line ";
    FUZZ_CHECK(error.compare(0, head.size(), head) == 0, error);
    size_t end = head.size();
    long line = 0;
    while (end < error.size() && error[end] >= '0' && error[end] <= '9' && line < 100000000)
        line = line * 10 + (error[end++] - '0');
    FUZZ_CHECK(end > head.size() && error.compare(end, 2, ": ") == 0 && end + 2 < error.size(), error);
    FUZZ_CHECK(line >= 1 && line <= LineCount(text) + 1, error);
}

inline void CheckAccepted(const numerics::CProblem& p) {
    FUZZ_CHECK(static_cast<int>(p.load.type) >= 1 && static_cast<int>(p.load.type) <= 5, "load type");
    FUZZ_CHECK(p.nLoadDir >= 1 && p.nLoadDir <= 3 && p.nOutput >= 1 && p.nOutput <= 3, "direction or output");
    FUZZ_CHECK(std::isfinite(p.dTimeFrom) && std::isfinite(p.dTimeTo) && p.dTimeTo > p.dTimeFrom, "time window");
    FUZZ_CHECK(std::isfinite(p.load.dOmega) && std::isfinite(p.dReceiverX) && std::isfinite(p.dCutoffConst), "numbers");
    FUZZ_CHECK(p.model.bShell == p.bShell && SameBits(p.model.dOuterRadius, p.dRadius), "model shape");
    const auto& el = p.model.elements;
    FUZZ_CHECK(!el.empty() && el.size() <= numerics::kMaxElements, "element count " + std::to_string(el.size()));
    FUZZ_CHECK(el.front().dBottom == 0, "the stack does not start at the bottom surface");
    for (size_t i = 0; i < el.size(); ++i) {
        FUZZ_CHECK(std::isfinite(el[i].dTop) && el[i].dTop >= el[i].dBottom,
                   "element " + std::to_string(i) + " upside down");
        if (i > 0)
            FUZZ_CHECK(SameBits(el[i].dBottom, el[i - 1].dTop), "gap below element " + std::to_string(i));
        FUZZ_CHECK(el[i].nOrder >= 1 && el[i].nOrder <= numerics::kMaxOrder &&
                       el[i].density.size() == static_cast<size_t>(el[i].nOrder + 1) &&
                       el[i].stiffness.size() == el[i].density.size(),
                   "order of element " + std::to_string(i));
        for (size_t g = 0; g < el[i].density.size(); ++g) {
            FUZZ_CHECK(std::isfinite(el[i].density[g]) && el[i].density[g] > 0,
                       "density of element " + std::to_string(i));
            FUZZ_CHECK(el[i].stiffness[g].allFinite(), "stiffness of element " + std::to_string(i));
        }
    }
    FUZZ_CHECK(std::isfinite(p.model.Thickness()) && p.model.Thickness() > 0, "thickness");
    if (p.bShell)
        FUZZ_CHECK(std::isfinite(p.dRadius) && p.dRadius > p.model.Thickness() * (1 - 1e-12), "radius inside the shell");
}

}  // namespace fuzzcheck
