#include "ModeShape.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace numerics {

namespace {

// The strain of the mode at reference coordinate s of element e (first unknown `first`), in
// the stiffness matrices' real form (StrainPatterns), and the displacement (u, v, w~) there;
// alongY gives the strain pattern of a k_y term instead (the derivative along y).
struct CPointState {
    Eigen::Matrix<double, 6, 1> strain, strainY;
    Eigen::Vector3d displacement;
    double dInverseRadius = 1;
};

CPointState StateAt(const CThicknessModel& model, const CElement& e, int first, double s, double kappa,
                    const Eigen::VectorXd& phi) {
    const CReferenceElement& ref = ReferenceElement(e.nOrder);
    const int nodes = e.nOrder + 1;
    std::vector<double> n(nodes), dn(nodes);
    ShapeAt(ref, s, n.data(), dn.data());
    const double half = 0.5 * (e.dTop - e.dBottom);
    const double z = 0.5 * (e.dBottom + e.dTop) + half * s;
    StrainPattern r, ps, t;
    StrainPatterns(model.bShell, r, ps, t);
    const StrainPattern ry = StrainPatternAlongY();
    CPointState out;
    out.dInverseRadius = 1.0 / model.RadiusAt(z);
    out.strain.setZero();
    out.strainY.setZero();
    out.displacement.setZero();
    for (int a = 0; a < nodes; ++a) {
        const Eigen::Vector3d node = phi.segment<3>(first + 3 * a);
        const double p = n[a] * out.dInverseRadius, d = dn[a] / half;
        out.strain += (kappa * p) * (r * node) + d * (ps * node) + p * (t * node);
        out.strainY += n[a] * (ry * node);
        out.displacement += n[a] * node;
    }
    return out;
}

// Each element's first unknown.
std::vector<int> FirstUnknowns(const CThicknessModel& model) {
    std::vector<int> first;
    int at = 0;
    for (const CElement& e : model.elements) {
        first.push_back(at);
        at += 3 * e.nOrder;
    }
    return first;
}

// The real form's stress components that are i times the physical ones (xx, yy, zz, xy) change
// sign in the document's convention, where w = -w~ and those are the sin theta parts.
constexpr std::array<double, 6> kPhase{-1, -1, -1, 1, 1, -1};

}  // namespace

double CEnergyFlow::SkewDegrees() const {
    return std::atan2(dVelocityY, dVelocityX) * 180.0 / std::numbers::pi;
}

CModeShape EvaluateModeShape(const CThicknessModel& model, const std::vector<CLayerPlan>& plans, double kappa,
                             double omega, const Eigen::VectorXd& phi, int perElement) {
    CModeShape shape;
    shape.dKappa = kappa;
    shape.dOmega = omega;
    // The layers from the bottom: their bottoms, and their numbers as the input counts them.
    std::vector<double> bottoms;
    double z = model.elements.empty() ? 0.0 : model.elements.front().dBottom;
    for (const CLayerPlan& l : plans) {
        bottoms.push_back(z);
        z += l.dThickness;
        if (bottoms.size() > 1) shape.interfaces.push_back(bottoms.back());
    }
    const auto layerOf = [&](double at) {
        size_t i = 0;
        while (i + 1 < bottoms.size() && at >= bottoms[i + 1]) ++i;
        return i;
    };
    const std::vector<int> first = FirstUnknowns(model);
    perElement = std::max(2, perElement);
    size_t previousLayer = plans.size();
    for (size_t k = 0; k < model.elements.size(); ++k) {
        const CElement& e = model.elements[k];
        const size_t layer = layerOf(0.5 * (e.dBottom + e.dTop));
        // Both ends of every element; where a layer meets the next both have a sample there,
        // which shows the jumps of the stresses that need not be continuous.
        const int from = layer == previousLayer ? 1 : 0;
        previousLayer = layer;
        for (int i = from; i < perElement; ++i) {
            const double s = -1.0 + 2.0 * i / (perElement - 1);
            const CPointState st = StateAt(model, e, first[k], s, kappa, phi);
            CShapeSample sample;
            sample.dZ = 0.5 * (e.dBottom + e.dTop) + 0.5 * (e.dTop - e.dBottom) * s;
            sample.nLayer = static_cast<int>(plans.size() - layer);
            Voigt c;
            double density = 0;
            if (layer < plans.size())
                plans[layer].material(std::clamp(sample.dZ - bottoms[layer], 0.0, plans[layer].dThickness), c, density);
            else
                c = e.stiffness.front();
            const Eigen::Matrix<double, 6, 1> sigma = c * st.strain;
            sample.u = st.displacement(0);
            sample.v = st.displacement(1);
            sample.w = -st.displacement(2);
            for (int j = 0; j < 6; ++j) sample.stress[j] = kPhase[j] * sigma(j);
            sample.dStrainEnergy = 0.25 * st.strain.dot(sigma);
            shape.samples.push_back(sample);
        }
    }
    // Scale: the largest displacement component 1 and positive.
    double peak = 0, sign = 1;
    for (const CShapeSample& s : shape.samples)
        for (double d : {s.u, s.v, s.w})
            if (std::abs(d) > peak) peak = std::abs(d), sign = d < 0 ? -1 : 1;
    shape.dScale = peak > 0 ? sign / peak : 1.0;
    for (CShapeSample& s : shape.samples) {
        s.u *= shape.dScale;
        s.v *= shape.dScale;
        s.w *= shape.dScale;
        for (double& x : s.stress) x *= shape.dScale;
        s.dStrainEnergy *= shape.dScale * shape.dScale;
    }
    return shape;
}

CEnergyFlow EnergyFlow(const CThicknessModel& model, double kappa, double omega, const Eigen::VectorXd& phi) {
    CEnergyFlow flow;
    const std::vector<int> first = FirstUnknowns(model);
    StrainPattern r, ps, t;
    StrainPatterns(model.bShell, r, ps, t);
    const StrainPattern ry = StrainPatternAlongY();
    for (size_t k = 0; k < model.elements.size(); ++k) {
        const CElement& e = model.elements[k];
        const CReferenceElement& ref = ReferenceElement(e.nOrder);
        const double half = 0.5 * (e.dTop - e.dBottom);
        for (size_t g = 0; g < ref.abscissa.size(); ++g) {
            const CPointState st = StateAt(model, e, first[k], ref.abscissa[g], kappa, phi);
            const double z = 0.5 * (e.dBottom + e.dTop) + half * ref.abscissa[g];
            const double r0 = model.RadiusAt(z), weight = ref.weight[g] * half * (model.bShell ? r0 : 1.0);
            const Eigen::Matrix<double, 6, 1> sigma = e.stiffness[g] * st.strain;
            // Averages over a period: strain and kinetic energy, and the power flow
            // (omega / 2) (R phi)^T sigma of the real form (R_y along y).
            Eigen::Vector3d node = st.displacement;
            const Eigen::Matrix<double, 6, 1> rx = st.dInverseRadius * (r * node), ryv = ry * node;
            flow.dEnergy += weight * (0.25 * st.strain.dot(sigma) + 0.25 * e.density[g] * omega * omega * node.squaredNorm());
            flow.dPowerX += weight * 0.5 * omega * rx.dot(sigma);
            flow.dPowerY += weight * 0.5 * omega * ryv.dot(sigma);
        }
    }
    if (flow.dEnergy > 0) {
        // Around a shell the flow per radian, carried to the outer surface.
        const double radius = model.bShell ? model.dOuterRadius : 1.0;
        flow.dVelocityX = flow.dPowerX / flow.dEnergy * radius;
        flow.dVelocityY = flow.dPowerY / flow.dEnergy;
    }
    return flow;
}

std::string FormatModeShape(const CModeShape& shape, const std::string& name, const CEnergyFlow& flow, double radius) {
    char buffer[400];
    const double wavenumber = shape.dKappa / radius;
    std::string text;
    std::snprintf(buffer, sizeof buffer,
                  "# mode shape of %s: frequency %.10g MHz, wavenumber %.10g 1/mm, phase velocity %.10g mm/us, "
                  "energy velocity %.10g %.10g mm/us (x, y), skew %.10g deg\n",
                  name.c_str(), shape.dOmega / (2 * std::numbers::pi), wavenumber,
                  wavenumber > 0 ? shape.dOmega / wavenumber : 0.0, flow.dVelocityX, flow.dVelocityY,
                  flow.SkewDegrees());
    text += buffer;
    text += "# u = U cos(kx - wt), v = V cos, w = W sin; sigma_xx, yy, zz, xy with sin, sigma_yz, xz with cos; "
            "largest of |U|, |V|, |W| 1\n";
    text += "# layer interfaces (mm above the bottom):";
    for (double z : shape.interfaces) {
        std::snprintf(buffer, sizeof buffer, " %.10g", z);
        text += buffer;
    }
    text += "\n# z(mm) layer U V W sigma_xx sigma_yy sigma_zz sigma_yz sigma_xz sigma_xy strain_energy\n";
    for (const CShapeSample& s : shape.samples) {
        std::snprintf(buffer, sizeof buffer, "%.10g %d %.10g %.10g %.10g %.10g %.10g %.10g %.10g %.10g %.10g %.10g\n",
                      s.dZ, s.nLayer, s.u + 0.0, s.v + 0.0, s.w + 0.0, s.stress[0] + 0.0, s.stress[1] + 0.0,
                      s.stress[2] + 0.0, s.stress[3] + 0.0, s.stress[4] + 0.0, s.stress[5] + 0.0, s.dStrainEnergy);
        text += buffer;
    }
    return text;
}

}  // namespace numerics
