#include "DispersionRun.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "DispersionCurves.h"
#include "OstrelDoc.h"
#include "SideRun.h"
#include "ProjectFormat.h"
#include "ProjectKind.h"
#include "SolverInput.h"
#include "SolverRun.h"
#include "Transient.h"
#include "WorkingDirectory.h"

namespace {

constexpr int kMaxModes = 100;
// A table larger than this is not the solver's (20000 points of 100 modes fit easily).
constexpr std::size_t kMaxTableBytes = 512u << 20;

std::string Number(double v) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", v);
    return buffer;
}

bool ReadNumber(std::string_view text, double& v) {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    return r.ec == std::errc() && r.ptr == text.data() + text.size() && std::isfinite(v);
}

}  // namespace

std::string CheckDispersionSettings(const CDispersionSettings& s) {
    if (!std::isfinite(s.dFrom) || !std::isfinite(s.dTo) || s.dFrom < 0)
        return "The range must start at 0 or above.";
    if (!(s.dTo > s.dFrom)) return "The range must end above its start.";
    if (s.nPoints < 2 || s.nPoints > numerics::kMaxDispersionPoints)
        return "The number of points must be from 2 to " + std::to_string(numerics::kMaxDispersionPoints) + ".";
    if (s.nModes < 1 || s.nModes > kMaxModes)
        return "The number of modes must be from 1 to " + std::to_string(kMaxModes) + ".";
    return {};
}

std::vector<std::string> DispersionArguments(const CDispersionSettings& s, const std::string& output) {
    std::vector<std::string> args{"--dispersion", s.bPerThickness ? "--fd" : "--frequencies", Number(s.dFrom),
                                  Number(s.dTo), std::to_string(s.nPoints), "--modes", std::to_string(s.nModes),
                                  "--output", output};
    for (std::string& a : ElementOrderArguments(s.nElementOrder))
        args.push_back(std::move(a));
    return args;
}

std::string ParseStack(const std::string& text, int project, int order, numerics::CProblem& problem) {
    numerics::CFgmOptions fgm;
    fgm.nOrder = order;
    fgm.nPoints = 0;  // a dispersion run has no output times
    const std::string error = project == 0 ? numerics::ParseCompositeInput(text, "input.d", problem, order, 0)
                                           : numerics::ParseFgmInput(text, "inputfgm.dat", fgm, problem);
    if (!error.empty()) return error;
    return numerics::CheckModelSize(problem.model);
}

std::string ParseDispersionTable(const std::string& text, CDispersionTable& out) {
    CDispersionTable table;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (number <= 2 && line.find("mirror-symmetric") != std::string::npos) table.bMirrorSymmetric = true;
        if (line.empty() || line[0] == '#') continue;
        // A name and four numbers, or ten: the velocities' components, the skew and the top
        // displacement follow the group velocity.
        std::istringstream fields(line);
        std::string name, field;
        std::vector<double> v;
        fields >> name;
        bool ok = !name.empty();
        while (ok && fields >> field) {
            double x = 0;
            ok = v.size() < 10 && ReadNumber(field, x);
            v.push_back(x);
        }
        if (!ok || (v.size() != 4 && v.size() != 10))
            return "line " + std::to_string(number) + ": expected a mode name and four or ten numbers";
        v.resize(10, 0.0);
        if (table.modes.empty() || table.modes.back().strName != name) {
            for (const CDispersionMode& m : table.modes)
                if (m.strName == name)
                    return "line " + std::to_string(number) + ": the points of mode " + name + " are not together";
            table.modes.emplace_back();
            table.modes.back().strName = name;
        }
        CDispersionMode& m = table.modes.back();
        m.frequency.push_back(v[0]);
        m.wavenumber.push_back(v[1]);
        m.phase.push_back(v[2]);
        m.group.push_back(v[3]);
        m.energyX.push_back(v[4]);
        m.energyY.push_back(v[5]);
        m.skew.push_back(v[6]);
        for (int c = 0; c < 3; ++c) m.top[c].push_back(v[7 + c]);
    }
    out = std::move(table);
    return {};
}

DispersionOutcome RunDispersion(COstrelDoc& doc, const CDispersionSettings& s, CDispersionTable& out) {
    CDirectoryGuard guard(doc.m_szStartDir);
    const std::string refused = CheckDispersionSettings(s);
    if (!refused.empty()) {
        doc.ShowMessage(refused);
        return DispersionOutcome::Refused;
    }
    const CProjectKind& setup = KindAt(s.nProject);
    const std::string input = FormatSolverInput(KindAt(s.nProject), doc);
    auto stack = std::make_shared<numerics::CProblem>();
    const std::string stackError = ParseStack(input, s.nProject, s.nElementOrder, *stack);
    if (!stackError.empty()) {
        doc.ShowMessage("The dispersion curves cannot be computed for this stack: " + stackError +
                        ". Enter the parameters first.");
        return DispersionOutcome::Refused;
    }

    CSideRun run;
    run.subDir = kDispersionDir;
    run.what = "the dispersion curves";
    run.input = input;
    run.outputName = kDispersionFile;
    run.arguments = DispersionArguments(s, kDispersionFile);
    run.job = CSolverJob{setup.program, setup.runDir, "The dispersion run was cancelled.",
                         "no dispersion curves were computed", CSolverJob::Output::None};
    std::string tablePath;
    switch (RunBeside(doc, setup, run, &tablePath)) {
    case SideRunOutcome::Done: break;
    case SideRunOutcome::Cancelled: return DispersionOutcome::Cancelled;
    case SideRunOutcome::Failed: return DispersionOutcome::Failed;
    }
    std::string text, reason;
    if (ReadRegularFile(tablePath, kMaxTableBytes, text, reason) != ReadFileOutcome::Read) {
        doc.ShowMessage("The solver " + run.job.program + " wrote no dispersion table \"" + kDispersionFile + "\".");
        return DispersionOutcome::Failed;
    }
    const std::string parseError = ParseDispersionTable(text, out);
    if (!parseError.empty()) {
        doc.ShowMessage(std::string("The dispersion table cannot be read: ") + kDispersionFile + ", " + parseError + ".");
        return DispersionOutcome::Failed;
    }
    if (out.modes.empty()) {
        doc.ShowMessage("No mode propagates in the range asked for.");
        return DispersionOutcome::Failed;
    }
    out.dThickness = stack->model.Thickness();
    out.nLoad = std::clamp(stack->nLoadDir - 1, 0, 2);
    out.nOutput = std::clamp(stack->nOutput - 1, 0, 2);
    out.stack = std::move(stack);
    return DispersionOutcome::Done;
}
