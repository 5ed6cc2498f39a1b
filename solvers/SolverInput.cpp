#include "SolverInput.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <numbers>
#include <sstream>
#include <tuple>

#include "InputFile.h"
#include "Limits.h"

namespace numerics {

namespace {

// The file as numbered lines of blank-separated tokens.
class CLines {
public:
    CLines(const std::string& text, std::string name) : m_strName(std::move(name)) {
        std::string line;
        std::istringstream in(text);
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            m_lines.push_back(line);
        }
    }

    bool AtEnd() const { return m_nNext >= m_lines.size(); }
    int LineNumber() const { return static_cast<int>(m_nNext); }  // of the line read last
    const std::string& Name() const { return m_strName; }

    // The next line whole (the title).
    bool Whole(std::string& out, std::string& error) {
        if (AtEnd()) return Missing("the title", error);
        out = m_lines[m_nNext++];
        return true;
    }

    // The next line as exactly `count` numbers (any count when count < 0).
    bool Numbers(int count, std::vector<double>& out, const std::string& what, std::string& error) {
        if (AtEnd()) return Missing(what, error);
        out.clear();
        std::istringstream fields(m_lines[m_nNext++]);
        std::string token;
        while (fields >> token) {
            double v = 0;
            const auto r = std::from_chars(token.data(), token.data() + token.size(), v);
            if (r.ec != std::errc() || r.ptr != token.data() + token.size() || !std::isfinite(v))
                return Fail("expected " + what + ", found \"" + Excerpt(token) + "\"", error);
            out.push_back(v);
        }
        if (count >= 0 && static_cast<int>(out.size()) != count) {
            std::ostringstream msg;
            msg << "expected " << what << " (" << count << (count == 1 ? " number" : " numbers")
                << "), found " << out.size();
            return Fail(msg.str(), error);
        }
        return true;
    }

    // Token count of the next line without consuming it; -1 at the end.
    int PeekCount() const {
        if (AtEnd()) return -1;
        std::istringstream fields(m_lines[m_nNext]);
        std::string token;
        int n = 0;
        while (fields >> token) ++n;
        return n;
    }

    bool OnlyBlankLinesLeft(std::string& error) {
        while (!AtEnd()) {
            if (PeekCount() != 0) {
                ++m_nNext;
                return Fail("unexpected text after the receiving point", error);
            }
            ++m_nNext;
        }
        return true;
    }

    bool Fail(const std::string& message, std::string& error) const { return FailAt(LineNumber(), message, error); }
    std::string Message(const std::string& message) const { return MessageAt(LineNumber(), message); }
    std::string MessageAt(int line, const std::string& message) const {
        std::string error;
        FailAt(line, message, error);
        return error;
    }
    bool FailAt(int line, const std::string& message, std::string& error) const {
        std::ostringstream out;
        out << m_strName << " line " << line << ": " << message;
        error = out.str();
        return false;
    }

private:
    bool Missing(const std::string& what, std::string& error) {
        std::ostringstream out;
        out << m_strName << " line " << m_lines.size() + 1 << ": the file ends where " << what
            << " should be";
        error = out.str();
        return false;
    }

    std::string m_strName;
    std::vector<std::string> m_lines;
    size_t m_nNext = 0;
};

bool IsInteger(double v) { return std::floor(v) == v && std::abs(v) < kMaxCount; }

// Why v is not a count from least to most, or empty. A whole number beyond every sensible
// count is "too large", not "no integer".
std::string CountProblem(double v, double least, double most) {
    if (v != std::floor(v)) return "must be a whole number";
    if (v < least) return "must be at least " + Num(least);
    if (v > most) return "is too large (at most " + Num(most) + ")";
    return {};
}

// Why v lies outside [least, most] (both magnitudes when symmetric), or empty.
std::string RangeProblem(double v, double least, double most, const char* unit) {
    if (v >= least && v <= most) return {};
    std::ostringstream out;
    out << "(" << Num(v) << unit << ") must lie between " << Num(least) << " and " << Num(most) << unit;
    return out.str();
}

// The lines every input ends with: structure model, load, direction and output, window, receiver.
bool ReadTail(CLines& in, CProblem& p, double thickness, std::string& error) {
    std::vector<double> v;
    if (!in.Numbers(1, v, "the structure model (1 plate, 0 shell)", error)) return false;
    if (v[0] != 0 && v[0] != 1) return in.Fail("the structure model must be 1 (plate) or 0 (shell)", error);
    p.bShell = v[0] == 0;
    if (p.bShell) {
        if (!in.Numbers(1, v, "the shell radius", error)) return false;
        if (!(v[0] > thickness)) {
            std::ostringstream msg;
            msg << "the shell radius " << v[0] << " mm must exceed the total thickness " << thickness << " mm";
            return in.Fail(msg.str(), error);
        }
        const std::string why = RangeProblem(v[0], kMinLength, kMaxLength, " mm");
        if (!why.empty()) return in.Fail("the shell radius " + why, error);
        p.dRadius = v[0];
    }
    if (!in.Numbers(2, v, "the load type and the frequency", error)) return false;
    if (!IsInteger(v[0]) || v[0] < 1 || v[0] > 5) return in.Fail("the load type must be 1 to 5", error);
    p.load.type = static_cast<ELoadType>(static_cast<int>(v[0]));
    if (const std::string why = RangeProblem(v[1], -kMaxFrequency, kMaxFrequency, " rad/us"); !why.empty())
        return in.Fail("the load frequency " + why, error);
    p.load.dOmega = v[1];
    if (!in.Numbers(2, v, "the load direction and the output component", error)) return false;
    if (!IsInteger(v[0]) || v[0] < 1 || v[0] > 3) return in.Fail("the load direction must be 1 (X), 2 (Y) or 3 (Z)", error);
    if (!IsInteger(v[1]) || v[1] < 1 || v[1] > 3) return in.Fail("the output component must be 1 (U), 2 (V) or 3 (W)", error);
    p.nLoadDir = static_cast<int>(v[0]);
    p.nOutput = static_cast<int>(v[1]);
    if (!in.Numbers(2, v, "the start and end of the time window", error)) return false;
    if (!(v[1] > v[0])) {
        std::ostringstream msg;
        msg << "the time window " << v[0] << " to " << v[1] << " us is empty";
        return in.Fail(msg.str(), error);
    }
    for (double t : {v[0], v[1]})
        if (const std::string why = RangeProblem(t, -kMaxTime, kMaxTime, " us"); !why.empty())
            return in.Fail("the time window's ends " + why, error);
    p.dTimeFrom = v[0];
    p.dTimeTo = v[1];
    if (!in.Numbers(1, v, "the receiving point", error)) return false;
    if (const std::string why = RangeProblem(v[0], -kMaxDistance, kMaxDistance, " mm"); !why.empty())
        return in.Fail("the receiving point " + why, error);
    p.dReceiverX = v[0];
    return in.OnlyBlankLinesLeft(error);
}

// The moduli and the Poisson ratio of a ply that CheckPly found consistent, against their bounds.
std::string PlyBoundProblem(const CPlyConstants& ply) {
    const struct { const char* name; double value; } moduli[] = {{"E1", ply.dE1}, {"E2", ply.dE2}, {"G12", ply.dG12}};
    for (const auto& m : moduli)
        if (const std::string why = RangeProblem(m.value, kMinModulus, kMaxModulus, " GPa"); !why.empty())
            return std::string("the modulus ") + m.name + " " + why;
    if (const std::string why = RangeProblem(ply.dV12, -kMaxPoisson, kMaxPoisson, ""); !why.empty())
        return "the Poisson ratio v12 " + why;
    return {};
}

// The samples of a layer's material that bound its wave speeds.
constexpr int kSpeedSamples = 9;

// The highest frequency a run must resolve (that of the cut-off, or the one its output times
// show), and each layer's slowest bulk wave.
double HighestFrequency(const std::vector<CLayerPlan>& layers, double cutoffConst, double shownFrequency,
                        std::vector<CLayerWaves>& waves) {
    double thickness = 0, fastest = 0;
    std::map<int, std::pair<double, double>> uniform;  // key -> fastest, slowest speed squared
    for (const CLayerPlan& l : layers) {
        thickness += l.dThickness;
        double fast = 0, slow = std::numeric_limits<double>::infinity();
        const auto known = uniform.find(l.nUniformMaterial);
        if (known != uniform.end()) {
            std::tie(fast, slow) = known->second;
        } else {
            const int samples = l.nUniformMaterial >= 0 ? 1 : kSpeedSamples;
            for (int i = 0; i < samples; ++i) {
                Voigt c;
                double density = 0;
                l.material(samples == 1 ? 0.0 : l.dThickness * i / (samples - 1), c, density);
                slow = std::min(slow, SlowestBulkSpeedSquared(c, density));
                if (samples > 1) l.material(l.dThickness * (i + 0.5) / samples, c, density);
                // The fastest from within the layer only, where the model's Gauss points are: a
                // graded layer may reach an extreme mixture (nearly incompressible, its compression
                // wave almost infinitely fast) just at its surface, which no element sees.
                fast = std::max(fast, FastestSpeedAlongXSquared(c, density));
            }
            if (l.nUniformMaterial >= 0) uniform[l.nUniformMaterial] = {fast, slow};
        }
        fastest = std::max(fastest, fast);
        waves.push_back({l.dThickness, l.nElements, std::sqrt(slow), std::sqrt(fast)});
    }
    return std::max(std::sqrt(fastest) * 2.0 * std::numbers::pi * cutoffConst / thickness, shownFrequency);
}

}  // namespace

double ShownFrequency(double timeFrom, double timeTo, int points) {
    if (points < 2 || !(timeTo > timeFrom)) return 0.0;
    return std::numbers::pi * (points - 1) / (timeTo - timeFrom);
}

CThicknessModel BuildThicknessModel(const std::vector<CLayerPlan>& layers, double cutoffConst,
                                    double shownFrequency, int order, std::vector<int>& orders,
                                    double bandFrequency, int orderCap) {
    orders.assign(layers.size(), std::clamp(order, 1, kMaxOrder));
    if (order == kAutomaticOrder) {
        std::vector<CLayerWaves> waves;
        double omegaMax = HighestFrequency(layers, cutoffConst, shownFrequency, waves);
        if (bandFrequency > 0) omegaMax = bandFrequency;
        orders = ChooseOrders(waves, omegaMax, kMaxUnknowns / 3);
        for (int& p : orders) p = std::min(p, std::max(1, orderCap));
    }
    CThicknessModel model;
    double z = 0;
    for (size_t i = 0; i < layers.size(); ++i) {
        const CLayerPlan& l = layers[i];
        const double t = l.dThickness;
        const int count = l.nElements;
        for (int s = 0; s < count; ++s) {
            CElement e;
            e.dBottom = z + t * s / count;
            e.dTop = (s + 1 == count) ? z + t : z + t * (s + 1) / count;
            e.nOrder = orders[i];
            const std::vector<double> zs = GaussPositions(e.dBottom, e.dTop, e.nOrder);
            e.stiffness.resize(zs.size());
            e.density.resize(zs.size());
            for (size_t g = 0; g < zs.size(); ++g) l.material(zs[g] - z, e.stiffness[g], e.density[g]);
            model.elements.push_back(std::move(e));
        }
        z += t;
    }
    std::reverse(orders.begin(), orders.end());
    return model;
}

std::string ParseCompositeInput(const std::string& text, const std::string& name, CProblem& p, int order,
                                int points) {
    if (const int line = FirstCrOnlyLine(text)) return CrOnlyMessage(name, line);
    CLines in(text, name);
    std::string error;
    std::vector<double> v;
    if (in.AtEnd()) return name + ": the file is empty";
    in.Whole(p.strTitle, error);

    if (!in.Numbers(3, v, "the layer count, the material count and the dimensionless constant", error)) return error;
    // Every layer holds at least one sublayer, so the element bound bounds the layers too.
    if (const std::string why = CountProblem(v[0], 1, kMaxElements); !why.empty())
        return in.Message("the layer count " + Num(v[0]) + " " + why);
    if (const std::string why = CountProblem(v[1], 1, kMaxMaterials); !why.empty())
        return in.Message("the material count " + Num(v[1]) + " " + why);
    const int layers = static_cast<int>(v[0]), materials = static_cast<int>(v[1]);
    if (!(v[2] > 0)) return in.Message("the dimensionless constant must be positive");
    if (const std::string why = RangeProblem(v[2], kMinCutoff, kMaxCutoff, ""); !why.empty())
        return in.Message("the dimensionless constant " + why);
    p.dCutoffConst = v[2];

    struct CLayerLine { int nMaterial; double dThickness; int nLine; };
    std::vector<CLayerLine> layerLines;
    for (int i = 0; i < layers; ++i) {
        if (!in.Numbers(2, v, "a layer's material number and thickness", error)) return error;
        if (!IsInteger(v[0]) || v[0] < 1 || v[0] > materials) {
            std::ostringstream msg;
            msg << "layer " << i + 1 << " names material " << v[0] << ", but there are only " << materials;
            return in.Message(msg.str());
        }
        if (!(v[1] > 0)) return in.Message("the thickness of layer " + std::to_string(i + 1) + " must be positive");
        if (const std::string why = RangeProblem(v[1], kMinLength, kMaxLength, " mm"); !why.empty())
            return in.Message("the thickness of layer " + std::to_string(i + 1) + " " + why);
        layerLines.push_back({static_cast<int>(v[0]), v[1], in.LineNumber()});
    }
    std::vector<double> angles, densities;
    std::vector<int> densityLines;
    for (int i = 0; i < materials; ++i) {
        if (!in.Numbers(1, v, "the angle of material " + std::to_string(i + 1), error)) return error;
        if (const std::string why = RangeProblem(v[0], -kMaxAngle, kMaxAngle, " degrees"); !why.empty())
            return in.Message("the angle of material " + std::to_string(i + 1) + " " + why);
        angles.push_back(v[0]);
    }
    for (int i = 0; i < materials; ++i) {
        if (!in.Numbers(1, v, "the density of material " + std::to_string(i + 1), error)) return error;
        densities.push_back(v[0]);
        densityLines.push_back(in.LineNumber());
    }
    if (!in.Numbers(layers, v, "the sublayer count of every layer", error)) return error;
    std::vector<int> sublayers;
    double elements = 0;
    for (size_t i = 0; i < v.size(); ++i) {
        if (const std::string why = CountProblem(v[i], 0, kMaxCount); !why.empty())
            return in.Message("the sublayer count " + Num(v[i]) + " of layer " + std::to_string(i + 1) + " " + why);
        elements += v[i] == 0 ? 1 : v[i];
        sublayers.push_back(elements <= kMaxElements ? std::max(1, static_cast<int>(v[i])) : 0);
    }
    if (elements > kMaxElements) {
        std::ostringstream msg;
        msg << "the layers hold " << elements << " sublayers in all (at most " << kMaxElements << "): use fewer sublayers";
        return in.Message(msg.str());
    }
    std::vector<CPlyConstants> plies;
    std::vector<int> plyLines;
    for (int i = 0; i < materials; ++i) {
        if (!in.Numbers(5, v, "E1, E2, G12, v12 and v23 of material " + std::to_string(i + 1), error)) return error;
        CPlyConstants ply{v[0], v[1], v[2], v[3], v[4], angles[i]};
        plies.push_back(ply);
        plyLines.push_back(in.LineNumber());
    }
    // Only the materials the layers use must make sense.
    std::vector<bool> used(materials, false);
    for (const auto& l : layerLines) used[l.nMaterial - 1] = true;
    for (int i = 0; i < materials; ++i) {
        if (!used[i]) continue;
        const std::string label = "material " + std::to_string(i + 1);
        if (!(densities[i] > 0))
            return in.MessageAt(densityLines[i], "the density of " + label + " must be positive");
        if (const std::string why = RangeProblem(densities[i], kMinDensity, kMaxDensity, " g/cm3"); !why.empty())
            return in.MessageAt(densityLines[i], "the density of " + label + " " + why);
        const std::string why = CheckPly(plies[i]);
        if (!why.empty()) return in.MessageAt(plyLines[i], label + ": " + why);
        const std::string bound = PlyBoundProblem(plies[i]);
        if (!bound.empty()) return in.MessageAt(plyLines[i], label + ": " + bound);
    }

    double thickness = 0;
    for (const auto& l : layerLines) thickness += l.dThickness;
    // Elements from the bottom surface up: the file lists the layers from the top down.
    std::vector<CLayerPlan> plan;
    for (int i = layers - 1; i >= 0; --i) {
        const auto& l = layerLines[i];
        const Voigt c = PlyStiffness(plies[l.nMaterial - 1]);
        const double density = densities[l.nMaterial - 1];
        plan.push_back({l.dThickness, sublayers[i],
                        [c, density](double, Voigt& out, double& rho) {
                            out = c;
                            rho = density;
                        },
                        l.nMaterial});
    }
    if (!ReadTail(in, p, thickness, error)) return error;
    p.model = BuildThicknessModel(plan, p.dCutoffConst, ShownFrequency(p.dTimeFrom, p.dTimeTo, points), order,
                                  p.layerOrders);
    p.layerPlans = std::move(plan);
    p.model.bShell = p.bShell;
    p.model.dOuterRadius = p.dRadius;
    return {};
}

void FitModelToBand(CProblem& p, int order) {
    if (order != kAutomaticOrder || !p.band.Limited() || p.layerPlans.empty()) return;
    RebuildAutomaticModel(p, 0, kMaxOrder);
}

void RebuildAutomaticModel(CProblem& p, int points, int orderCap) {
    if (p.layerPlans.empty()) return;
    // A load's band (its edge known) replaces the output's sampling; a broadband load's mode
    // cutoff does not choose the orders.
    const bool band = p.band.Limited() && p.band.dEdge > 0;
    p.model = BuildThicknessModel(p.layerPlans, p.dCutoffConst,
                                  band ? 0.0 : ShownFrequency(p.dTimeFrom, p.dTimeTo, points), kAutomaticOrder,
                                  p.layerOrders, band ? p.band.dModeCutoff : 0.0, orderCap);
    p.model.bShell = p.bShell;
    p.model.dOuterRadius = p.dRadius;
}

CIsotropic MixRuleOfMixtures(const CIsotropic& a, const CIsotropic& b, double v1) {
    const double v2 = 1.0 - v1;
    return {v1 * a.dE + v2 * b.dE, v1 * a.dNu + v2 * b.dNu, v1 * a.dDensity + v2 * b.dDensity};
}

CIsotropic MixMoriTanaka(const CIsotropic& inc, const CIsotropic& mat, double v1) {
    const auto bulk = [](const CIsotropic& m) { return m.dE / (3 * (1 - 2 * m.dNu)); };
    const auto shear = [](const CIsotropic& m) { return m.dE / (2 * (1 + m.dNu)); };
    const double km = bulk(mat), gm = shear(mat), ki = bulk(inc), gi = shear(inc);
    const double v2 = 1.0 - v1;
    // The estimates km + v1 (ki - km) / (1 + v2 (ki - km) / (km + 4 gm / 3)) and its shear twin,
    // rearranged into sums of positive terms: no difference of the phases' moduli is formed, so
    // phases many decades apart keep both moduli instead of cancelling to 0/0.
    const double a = km + 4.0 * gm / 3.0;
    const double k = (v1 * a * ki + v2 * km * (ki + 4.0 * gm / 3.0)) / (v1 * a + v2 * (ki + 4.0 * gm / 3.0));
    const double f = gm * (9 * km + 8 * gm) / (6 * (km + 2 * gm));
    const double b = gm + f;
    const double g = (v1 * b * gi + v2 * gm * (gi + f)) / (v1 * b + v2 * (gi + f));
    CIsotropic out;
    out.dE = 9 * k * g / (3 * k + g);
    out.dNu = (3 * k - 2 * g) / (2 * (3 * k + g));
    out.dDensity = v1 * inc.dDensity + v2 * mat.dDensity;
    return out;
}

std::string ParseFgmInput(const std::string& text, const std::string& name, const CFgmOptions& options,
                          CProblem& p) {
    if (const int line = FirstCrOnlyLine(text)) return CrOnlyMessage(name, line);
    CLines in(text, name);
    std::string error;
    std::vector<double> v;
    if (in.AtEnd()) return name + ": the file is empty";
    p.strTitle.clear();
    p.dCutoffConst = options.dCutoffConst;

    // Material lines (E1, density, v12) until the line holding the layer count.
    std::vector<CIsotropic> materials;
    while (in.PeekCount() == 3) {
        if (!in.Numbers(3, v, "E1, density and v12 of a material", error)) return error;
        const std::string label = "material " + std::to_string(materials.size() + 1);
        if (!(v[1] > 0)) return in.Message("the density of " + label + " must be positive");
        if (const std::string why = RangeProblem(v[1], kMinDensity, kMaxDensity, " g/cm3"); !why.empty())
            return in.Message("the density of " + label + " " + why);
        const std::string why = CheckIsotropic(v[0], v[2]);
        if (!why.empty()) return in.Message(label + ": " + why);
        if (const std::string bound = RangeProblem(v[0], kMinModulus, kMaxModulus, " GPa"); !bound.empty())
            return in.Message(label + ": the modulus E1 " + bound);
        materials.push_back({v[0], v[2], v[1]});
    }
    if (!in.Numbers(1, v, "the layer count (after the material lines of E1, density and v12)", error)) return error;
    if (materials.empty()) return in.Message("no material lines (E1, density and v12) precede the layer count");
    if (materials.size() > 2) return in.Message("a graded layer mixes two materials, but the file lists " + std::to_string(materials.size()));
    if (const std::string why = CountProblem(v[0], 1, kMaxElements); !why.empty())
        return in.Message("the layer count " + Num(v[0]) + " " + why);
    const int layers = static_cast<int>(v[0]);
    std::vector<double> fractions, thicknesses;
    for (int i = 0; i < layers; ++i) {
        if (!in.Numbers(2, v, "a layer's volume fraction and thickness", error)) return error;
        if (!(v[0] >= 0 && v[0] <= 1)) return in.Message("the volume fraction of layer " + std::to_string(i + 1) + " must lie between 0 and 1");
        if (!(v[1] > 0)) return in.Message("the thickness of layer " + std::to_string(i + 1) + " must be positive");
        if (const std::string why = RangeProblem(v[1], kMinLength, kMaxLength, " mm"); !why.empty())
            return in.Message("the thickness of layer " + std::to_string(i + 1) + " " + why);
        fractions.push_back(v[0]);
        thicknesses.push_back(v[1]);
    }
    if (!in.Numbers(1, v, "the volume fraction at the bottom of the last layer", error)) return error;
    if (!(v[0] >= 0 && v[0] <= 1)) return in.Message("the last layer's volume fraction must lie between 0 and 1");
    fractions.push_back(v[0]);

    double thickness = 0;
    for (double t : thicknesses) thickness += t;
    const auto mix = [&](double v1) {
        if (materials.size() == 1) return materials[0];
        return options.bMoriTanaka ? MixMoriTanaka(materials[0], materials[1], v1)
                                   : MixRuleOfMixtures(materials[0], materials[1], v1);
    };
    // Elements per layer: given, or enough for the cut-off wavelength.
    std::vector<int> counts;
    double elements = 0;
    for (double t : thicknesses) {
        const double count = options.nSublayers > 0 ? options.nSublayers
                                                    : std::max(2.0, std::ceil(2.0 * p.dCutoffConst * t / thickness));
        elements += count;
        counts.push_back(elements <= kMaxElements ? static_cast<int>(count) : 0);
    }
    if (elements > kMaxElements) {
        std::ostringstream msg;
        msg << name << ": the layers would need " << elements << " sublayers in all (at most " << kMaxElements
            << "): give fewer with --sublayers or a smaller --cutoff";
        return msg.str();
    }
    std::vector<CLayerPlan> plan;
    for (int i = layers - 1; i >= 0; --i) {
        const double vTop = fractions[i], vBottom = fractions[i + 1];
        const double t = thicknesses[i];
        plan.push_back({t, counts[i], [mix, vTop, vBottom, t](double height, Voigt& c, double& density) {
                            const CIsotropic m = mix(vBottom + (vTop - vBottom) * height / t);
                            c = IsotropicStiffness(m.dE, m.dNu);
                            density = m.dDensity;
                        }});
    }
    if (!ReadTail(in, p, thickness, error)) return error;
    p.model = BuildThicknessModel(plan, p.dCutoffConst, ShownFrequency(p.dTimeFrom, p.dTimeTo, options.nPoints),
                                  options.nOrder, p.layerOrders);
    p.layerPlans = std::move(plan);
    p.model.bShell = p.bShell;
    p.model.dOuterRadius = p.dRadius;
    return {};
}

}  // namespace numerics
