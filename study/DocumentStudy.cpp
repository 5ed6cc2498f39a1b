#include "DocumentStudy.h"

#include <filesystem>

#include <algorithm>
#include <numbers>

#include "AtomicFile.h"
#include "OstrelDoc.h"
#include "ProjectFiles.h"
#include "StudyPlan.h"
#include "WorkingDirectory.h"

namespace fs = std::filesystem;

namespace {

bool Fail(std::string* error, std::string reason) {
    if (error)
        *error = std::move(reason);
    return false;
}

std::vector<double> ChoiceValues(const DocumentStudyChoice& c, std::string* why) {
    return c.byCount ? CountRange(c.from, c.to, c.count, why) : StepRange(c.from, c.to, c.step, why);
}

}  // namespace

std::string ChoiceUnit(ParameterKind kind) {
    StudyParameter p{kind, 1, {}, FrequencyUnit::MHz};
    return ParameterUnit(p);
}

DocumentStudyChoice ChoiceFromDefinition(const StudyDefinition& def) {
    DocumentStudyChoice c;
    c.kind = def.kind;
    c.name = def.name;
    c.points = def.points;
    c.order = def.order;
    c.scheduler = def.scheduler;
    c.receiverSweep = def.receiverSweep || def.parameters.empty();
    c.pointSource = def.source == SourceKind::Point;
    c.waveField = def.waveField;
    if (!def.receiversY.empty()) {
        c.yFrom = def.receiversY.front();
        c.yTo = def.receiversY.back();
        c.yCount = static_cast<int>(def.receiversY.size());
    }
    std::vector<double> values = def.receivers;
    if (!c.receiverSweep) {
        const StudyParameter& p = def.parameters.front();
        c.parameter = p.kind;
        c.layer = std::max(1, p.layer);
        values = p.values;
        if (p.kind == ParameterKind::Frequency && p.unit == FrequencyUnit::RadPerMicrosecond)
            for (double& v : values)
                v /= 2 * std::numbers::pi;
    }
    c.byCount = true;
    c.count = static_cast<int>(values.size());
    c.from = values.empty() ? 0 : values.front();
    c.to = values.empty() ? 0 : values.back();
    if (values.size() > 1)
        c.step = (c.to - c.from) / static_cast<double>(values.size() - 1);
    return c;
}

std::string WaveFieldChoiceProblem(const COstrelDoc& doc, StudyKind kind) {
    if (!(doc.*ProjectKindOf(kind).waveField).m_bDefined)
        return "The project has no wave-field settings yet: choose the region, grid and times with Computing, "
               "\"Wave field...\" first.";
    return {};
}

std::string ChoiceSamplingWarning(const COstrelDoc& doc, const DocumentStudyChoice& c) {
    if (!c.receiverSweep && c.parameter == ParameterKind::Frequency) {
        const SweptFrequency swept{std::max(c.from, c.to), FrequencyUnit::MHz};
        return DocumentSamplingWarning(doc, c.kind, c.points, &swept);
    }
    return DocumentSamplingWarning(doc, c.kind, c.points);
}

bool BuildDocumentStudy(const COstrelDoc& doc, const DocumentStudyChoice& c, StudyDefinition& out,
                        std::string* error, const StudyDefinition* base) {
    const bool fgm = c.kind == StudyKind::FGM;
    const std::string& title = fgm ? doc.m_strFGMTitle : doc.m_strComTitle;
    if (!IsPlainPathComponent(title) || title.find_first_of(" \t\r\n") != std::string::npos)
        return Fail(error, "The project title \"" + title + "\" cannot name a file; change it in the parameters first.");
    if (!IsPlainPathComponent(c.name) || c.name.find_first_of(" \t\r\n") != std::string::npos)
        return Fail(error, "The study name \"" + c.name + "\" cannot name a directory (no blanks or slashes).");
    const int layerCount = fgm ? doc.m_nFGMLayerCount : doc.m_nComLayerCount;
    if (layerCount < 1 || doc.m_nMaterials < 1)
        return Fail(error, std::string("The project has no ") + (layerCount < 1 ? "layers" : "materials") +
                               " yet; enter its parameters first.");
    StudyDefinition def;
    def.name = c.name;
    def.kind = c.kind;
    def.solver = fgm ? "Kavrit" : "lumdex";
    def.points = c.points;
    def.order = c.order;
    def.scheduler = c.scheduler;
    if (base && base->kind == c.kind) {
        def.solver = base->solver;
        def.scheduler.jobs = base->scheduler.jobs;
        def.scheduler.memory = base->scheduler.memory;
        def.scheduler.maxRunning = base->scheduler.maxRunning;
        def.scheduler.options = base->scheduler.options;
        def.scheduler.program = base->scheduler.program;
    }
    def.projectFile = (fs::path(doc.m_szStartDir) / (fgm ? "inputFGM" : "input") / (title + ".dat")).string();
    std::string why;
    std::vector<double> values = ChoiceValues(c, &why);
    if (values.empty())
        return Fail(error, "The values from " + std::to_string(c.from) + " to " + std::to_string(c.to) + ": " + why + ".");
    def.source = c.pointSource ? SourceKind::Point : SourceKind::Line;
    if (c.waveField) {
        if (!c.pointSource)
            return Fail(error, "A wave field comes from a point source: choose the point source.");
        if (std::string why = WaveFieldChoiceProblem(doc, c.kind); !why.empty())
            return Fail(error, why);
        def.waveField = true;
    }
    if (c.receiverSweep) {
        def.receiverSweep = true;
        def.receivers = std::move(values);
        if (c.pointSource && (c.yCount > 1 || c.yFrom != 0 || c.yTo != 0)) {
            // One row lies at "from"; "to" counts only for more.
            def.receiversY = CountRange(c.yFrom, c.yCount == 1 ? c.yFrom : c.yTo, c.yCount, &why);
            if (def.receiversY.empty())
                return Fail(error, "The rows of y from " + ShortNumber(c.yFrom) + " to " + ShortNumber(c.yTo) + ": " +
                                       why + ".");
        }
    } else {
        const int layers = fgm ? doc.m_nFGMLayerCount : doc.m_nComLayerCount;
        StudyParameter p{c.parameter, HasLayer(c.parameter) ? c.layer : 0, std::move(values), FrequencyUnit::MHz};
        if (HasLayer(p.kind) && (p.layer < 1 || p.layer > layers))
            return Fail(error, "The project has " + std::to_string(layers) + " layers; there is no layer " +
                                   std::to_string(p.layer) + ".");
        if ((p.kind == ParameterKind::Angle && fgm) || (p.kind == ParameterKind::VolumeFraction && !fgm))
            return Fail(error, fgm ? "An FGM layer has no fibre angle." : "A composite layer has no volume fraction.");
        if (p.kind == ParameterKind::Frequency) {
            const CProjectKind& kind = ProjectKindOf(c.kind);
            const CSampledLoad& sampled = doc.*kind.sampledLoad;
            const std::string why = FrequencySweepProblem(doc.*kind.loadType, sampled.m_bDefined ? &sampled : nullptr);
            if (!why.empty())
                return Fail(error, why);
        }
        def.parameters.push_back(std::move(p));
    }
    // The same checks a study file gets, so the form never starts what the program would refuse.
    StudyDefinition checked;
    StudyFileError fault;
    if (!ParseStudyText(FormatStudyText(def), "/", def.name, checked, &fault))
        return Fail(error, fault.reason + ".");
    out = std::move(checked);
    return true;
}

std::string WriteDocumentStudy(COstrelDoc& doc, const StudyDefinition& def, std::string* error) {
    // The study runs what the document holds now, so its project file is brought up to date.
    if (!WriteProjectFile(doc, ProjectKindOf(def.kind))) {
        Fail(error, "The project file " + def.projectFile + " cannot be written.");
        return {};
    }
    const std::string path = (fs::path(def.projectFile).parent_path() / (def.name + ".study.toml")).string();
    if (!WriteFileAtomically(path, FormatStudyText(def), error))
        return {};
    return path;
}
