#include "DispersionModes.h"

#include <cmath>
#include <numbers>

#include "ModeParts.h"
#include "ModeShapeRun.h"

std::string ModeFamily(const std::string& name) {
    const size_t digits = name.find_first_of("0123456789");
    return name.substr(0, digits == std::string::npos ? name.size() : digits);
}

CDispersionModes::CDispersionModes(const CDispersionTable& table) : m_table(table) {
    if (!table.stack || table.stack->model.elements.empty()) return;
    m_banded = std::make_unique<numerics::CBandedModes>(table.stack->model);
    for (const CDispersionMode& m : table.modes)
        if (ModeFamily(m.strName) == "SH") m_bShearApart = true;
}

std::string CDispersionModes::ShapeAt(int mode, int index, numerics::CModeShape& out) const {
    if (!Ready()) return "the stack of these curves is not known";
    if (mode < 0 || mode >= static_cast<int>(m_table.modes.size())) return "no such mode";
    const CDispersionMode& m = m_table.modes[static_cast<size_t>(mode)];
    if (index < 0 || index >= static_cast<int>(m.frequency.size())) return "no such point";
    const size_t i = static_cast<size_t>(index);
    const numerics::CProblem& stack = *m_table.stack;
    const double omega = 2 * std::numbers::pi * m.frequency[i];
    const double kappa = m.wavenumber[i] * (stack.model.bShell ? stack.model.dOuterRadius : 1.0);
    if (!(omega > 0) || !(kappa > 0)) return "a point of zero frequency has no wave to show";
    const std::string family = ModeFamily(m.strName);
    const bool mirror = m_table.bMirrorSymmetric, shear = m_bShearApart;
    const numerics::CBandedModes::CProjection project = [&](Eigen::VectorXd& x) {
        numerics::ProjectFamily(x, family, mirror, shear);
    };
    numerics::CBandedMode found;
    if (!numerics::ModeVectorNear(*m_banded, kappa, omega, &project, found))
        return "the mode could not be found again at this point";
    out = numerics::EvaluateModeShape(stack.model, stack.layerPlans, kappa, omega, found.phi,
                                      numerics::DefaultShapeSamples(stack.model));
    return {};
}
