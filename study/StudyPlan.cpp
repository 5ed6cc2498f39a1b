#include "StudyPlan.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include <numbers>

#include "AtomicFile.h"
#include "LocalRun.h"
#include "LoadBand.h"
#include "OstrelDoc.h"
#include "ProjectFormat.h"
#include "ProjectKind.h"
#include "ProjectSettings.h"
#include "SampledLoadFiles.h"
#include "Transient.h"
#include "WaveFieldRun.h"
#include "WorkingDirectory.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxProjectFileSize = 16u << 20;

bool Fail(std::string* error, std::string reason) {
    if (error)
        *error = std::move(reason);
    return false;
}

bool ReadText(const std::string& path, std::string& text, std::string* error, const char* what = "project") {
    std::string reason;
    switch (ReadRegularFile(path, kMaxProjectFileSize, text, reason)) {
    case ReadFileOutcome::Read: return true;
    case ReadFileOutcome::TooLarge: return Fail(error, path + ": too large to be a " + std::string(what) + " file");
    case ReadFileOutcome::NotRegular:
        return Fail(error, path + ": the " + std::string(what) + " file cannot be read: " + reason);
    case ReadFileOutcome::CannotOpen: break;
    }
    return Fail(error, path + ": the " + std::string(what) + " file cannot be opened: " + reason);
}

// "<study file>, line N: " for a parameter of a study read from a file.
std::string Where(const StudyDefinition& def, const StudyParameter& p) {
    if (def.studyFile.empty())
        return {};
    return def.studyFile + (p.line > 0 ? ", line " + std::to_string(p.line) : std::string()) + ": ";
}

// The project as a document, ready for formatting.
struct CProject {
    ProjectData data;
    std::string title;
    std::string home;  // the project's directory: the parent of "input" / "inputFGM"
    int loadType = 1;
    bool hasSampled = false;  // the sampled-load settings beside the project file
    CSampledLoad sampled;
    bool hasLoadCurve = false;  // the run directory's ft.dat
    std::string loadCurve;
};

// The sampled load of "Any f(t)": the settings beside the project file and the samples in the
// run directory. Settings that do not read count as none (a burst sweep then says so).
bool LoadSampledLoad(const StudyDefinition& def, CProject& p, std::string* error) {
    std::error_code ec;
    CProjectSettings settings;
    if (ReadProjectSettings(def.projectFile, settings, nullptr) && settings.sampledLoad.m_bDefined) {
        p.hasSampled = true;
        p.sampled = settings.sampledLoad;
    }
    const fs::path curve = fs::path(p.home) / ProjectKindOf(def.kind).runDir / "ft.dat";
    if (!fs::is_regular_file(curve, ec))
        return true;
    p.hasLoadCurve = true;
    return ReadText(curve.string(), p.loadCurve, error, "load samples");
}

bool LoadProject(const StudyDefinition& def, CProject& p, std::string* error, const std::string* projectText = nullptr) {
    std::string text;
    if (projectText)
        text = *projectText;
    else if (!ReadText(def.projectFile, text, error))
        return false;
    ProjectReadError why;
    if (!ParseProject(ProjectKindOf(def.kind), text, p.data, &why))
        return Fail(error, def.projectFile + ", line " + std::to_string(why.line) + ": " + why.reason);
    p.title = p.data.title;
    p.loadType = LoadValueOf(p.data, &CProjectKind::loadType);
    if (!IsPlainPathComponent(p.title) || HasControlCharacter(p.title))
        return Fail(error, def.projectFile + ": the title \"" + p.title + "\" cannot be a directory name");
    p.home = fs::path(def.projectFile).parent_path().parent_path().string();
    return true;
}

std::string StudyDirectoryOf(const StudyDefinition& def, const CProject& project) {
    return (fs::path(project.home) / ProjectKindOf(def.kind).outputDir / project.title / "studies" / def.name).string();
}

void FillDocument(const StudyDefinition& def, const CProject& p, COstrelDoc& doc) {
    doc.m_szStartDir = p.home;
    const CProjectKind& kind = ProjectKindOf(def.kind);
    ApplyProject(kind, p.data, doc);
    CSampledLoad& sampled = doc.*kind.sampledLoad;
    sampled = p.sampled;
    sampled.m_bDefined = p.hasSampled;
}

std::string Numbered(const char* stem, std::size_t n) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%s-%04zu", stem, n);
    return buffer;
}

// Every combination of the parameters' values, the first parameter varying slowest.
std::vector<std::vector<double>> Combinations(const std::vector<StudyParameter>& params) {
    std::vector<std::vector<double>> out{{}};
    for (const StudyParameter& p : params) {
        std::vector<std::vector<double>> next;
        for (const auto& head : out)
            for (double v : p.values) {
                next.push_back(head);
                next.back().push_back(v);
            }
        out = std::move(next);
    }
    return out;
}

// Every parameter fits the project (its layer exists, its material is there): checked before
// anything is written, and said with the study file's line.
bool CheckParameters(const StudyDefinition& def, const CProject& project, std::string* error) {
    for (const StudyParameter& p : def.parameters) {
        COstrelDoc doc;
        FillDocument(def, project, doc);
        std::string why;
        // A frequency belongs to no layer; its own checks come with the cases' loads.
        if (HasLayer(p.kind) && !p.values.empty() &&
            !ApplyParameter(doc, def.kind, p, p.values.front(), &why))
            return Fail(error, Where(def, p) + why + " (in " + def.projectFile + ")");
    }
    return true;
}

// The input of a case's field run: the case's stack and load as the field settings ask for them
// (the source's direction, unless the study varies it, and the component), over a window from 0
// to the last frame, as "Wave field..." runs it.
std::string FieldInput(const StudyManifest& m, const StudyDefinition& def, COstrelDoc& doc) {
    const CProjectKind& kind = ProjectKindOf(def.kind);
    bool direction = false;
    for (const StudyParameter& p : def.parameters)
        direction = direction || p.kind == ParameterKind::Direction;
    if (!direction)
        doc.*kind.loadDir = m.field.m_nDirection;
    doc.*kind.output = m.field.m_nComponent;
    doc.*kind.timeFrom = 0.0f;
    doc.*kind.timeTo = WaveFieldWindowEnd(m.field);
    return FormatSolverInput(kind, doc);
}

bool MakeCaseFiles(const StudyDefinition& def, const CProject& project, const StudyManifest& m, const StudyCase& c,
                   CaseFiles& out, std::string* error) {
    COstrelDoc doc;
    FillDocument(def, project, doc);
    bool frequency = false;
    for (std::size_t i = 0; i < def.parameters.size(); ++i) {
        if (!ApplyParameter(doc, def.kind, def.parameters[i], c.values[i], error))
            return false;
        frequency = frequency || def.parameters[i].kind == ParameterKind::Frequency;
    }
    const CProjectKind& kind = ProjectKindOf(def.kind);
    out.input = WithReceiver(FormatSolverInput(kind, doc), m.receivers.front());
    // A swept burst gets its own samples; otherwise the case reads the project's own.
    const CSampledLoad& sampled = doc.*kind.sampledLoad;
    if (frequency && project.loadType == 4) {
        out.hasLoadCurve = true;
        out.loadCurve = FormatLoadSamples(SampleLoad(sampled));
        if (out.loadCurve.empty())
            return Fail(error, "the tone burst of case " + c.dir + ": " + CheckSampledLoad(sampled));
    } else {
        out.hasLoadCurve = project.hasLoadCurve;
        out.loadCurve = project.loadCurve;
    }
    if (m.waveField)
        out.fieldInput = FieldInput(m, def, doc);
    return true;
}

// A point source's study: the project is a plate, the field settings are kept beside it and
// runnable, and no task asks the solver for more values than it takes in one run.
bool PlanPointSource(const StudyDefinition& def, const CProject& project, StudyManifest& m, std::string* error) {
    COstrelDoc doc;
    FillDocument(def, project, doc);
    if (doc.*ProjectKindOf(def.kind).plate == 0)
        return Fail(error, def.projectFile + ": a point source needs a plate, and the project describes a shell");
    const int perTask = def.scheduler.receiversPerTask > 0 ? std::min<int>(def.scheduler.receiversPerTask,
                                                                              static_cast<int>(m.receivers.size()))
                                                           : static_cast<int>(m.receivers.size());
    const double points = def.points > 0 ? def.points : SolverDefaultPoints();
    if (perTask * points > numerics::kMaxReceiverValues)
        return Fail(error, "a task of " + std::to_string(perTask) + " receivers at " + ShortNumber(points) +
                               " output points would ask the solver for more than " +
                               ShortNumber(numerics::kMaxReceiverValues) +
                               " values in one run; give each task fewer receivers (receivers_per_task)");
    if (!def.waveField)
        return true;
    CProjectSettings settings;
    std::string why;
    if (!ReadProjectSettings(def.projectFile, settings, &why) || !settings.waveField.m_bDefined)
        return Fail(error, ProjectSettingsPath(def.projectFile) + ": " +
                               (why.empty() ? "the project has no wave-field settings; \"Wave field...\" in the "
                                              "program keeps them with the project"
                                            : why));
    m.waveField = true;
    m.field = settings.waveField;
    return true;
}

}  // namespace

std::string FrequencySweepProblem(int loadType, const CSampledLoad* sampled) {
    switch (loadType) {
    case 3:
    case 5: return {};
    case 4:
        if (!sampled)
            return "The project's load \"Any f(t)\" has no settings of Sampled load... beside its project file, so "
                   "a frequency sweep would give every case the same load: make a tone burst with Sampled load... "
                   "first.";
        if (sampled->m_shape != ELoadShape::ToneBurst)
            return std::string("The project's sampled load is ") +
                   (sampled->m_shape == ELoadShape::Gaussian           ? "a Gaussian pulse"
                    : sampled->m_shape == ELoadShape::RaisedCosineStep ? "a raised-cosine step"
                                                                       : "an imported measurement") +
                   ", which has no frequency: a frequency sweep would give every case the same result. Only a "
                   "tone burst's centre frequency can be swept.";
        return {};
    default:
        return "The project's load H(t) or Deta(t) has no frequency: a frequency sweep would give every case the "
               "same result. Sweep the frequency of a Exp(iwt) or Sin(wt) load, or of a tone burst made with "
               "Sampled load....";
    }
}

const CProjectKind& ProjectKindOf(StudyKind kind) {
    return kind == StudyKind::FGM ? FGMKind() : CompositeKind();
}

bool ApplyParameter(COstrelDoc& doc, StudyKind kind, const StudyParameter& p, double value, std::string* error) {
    const CProjectKind& project = ProjectKindOf(kind);
    const int count = doc.*project.layerCount;
    if (p.kind == ParameterKind::Frequency) {
        const int loadType = doc.*project.loadType;
        CSampledLoad& sampled = doc.*project.sampledLoad;
        if (std::string why = FrequencySweepProblem(loadType, sampled.m_bDefined ? &sampled : nullptr); !why.empty())
            return Fail(error, why);
        const double twoPi = 2 * std::numbers::pi;
        const bool mhz = p.unit == FrequencyUnit::MHz;
        if (loadType == 4)
            sampled.m_dFrequency = mhz ? value : value / twoPi;
        else
            doc.*project.frequency = mhz ? value * twoPi : value;
        return true;
    }
    if (p.kind == ParameterKind::Direction) {
        doc.*project.loadDir = static_cast<int>(value);
        return true;
    }
    if (p.layer < 1 || p.layer > count)
        return Fail(error, ParameterDescription(p) + ": the project has " + std::to_string(count) + " layers");
    const auto index = static_cast<std::size_t>(p.layer - 1);
    if (kind == StudyKind::FGM) {
        CFGMLayer& layer = doc.m_fgmLayers[index];
        if (p.kind == ParameterKind::Thickness)
            layer.m_fThickness = static_cast<float>(value);
        else
            layer.m_fVolFraction = static_cast<float>(value);
        return true;
    }
    CLayer& layer = doc.m_layers[index];
    if (p.kind == ParameterKind::Thickness) {
        layer.m_fThickness = static_cast<float>(value);
        return true;
    }
    const int material = layer.m_nMaterial;
    if (material < 1 || material > doc.m_nMaterials)
        return Fail(error, ParameterDescription(p) + ": the layer names material " + std::to_string(material) +
                               ", which the project does not hold");
    bool shared = false;
    for (int i = 0; i < count; ++i)
        shared = shared || (i != p.layer - 1 && doc.m_layers[static_cast<std::size_t>(i)].m_nMaterial == material);
    if (shared) {
        CMaterial copy = doc.m_materials[static_cast<std::size_t>(material - 1)];
        doc.m_materials.resize(static_cast<std::size_t>(doc.m_nMaterials));
        doc.m_materials.push_back(copy);
        ++doc.m_nMaterials;
        layer.m_nMaterial = doc.m_nMaterials;
    }
    doc.m_materials[static_cast<std::size_t>(layer.m_nMaterial - 1)].m_fAngle = static_cast<float>(value);
    return true;
}

std::string WithReceiver(const std::string& inputText, double x) {
    std::size_t end = inputText.size();
    while (end > 0 && (inputText[end - 1] == '\n' || inputText[end - 1] == '\r' || inputText[end - 1] == ' '))
        --end;
    const std::size_t lineStart = inputText.find_last_of('\n', end == 0 ? 0 : end - 1);
    const std::size_t start = lineStart == std::string::npos ? 0 : lineStart + 1;
    return inputText.substr(0, start) + FormatFixed(x, 4) + inputText.substr(end);
}

std::string StudyDirectory(const StudyDefinition& def, std::string* error) {
    CProject project;
    if (!LoadProject(def, project, error))
        return {};
    return StudyDirectoryOf(def, project);
}

bool PlanStudy(const StudyDefinition& def, StudyManifest& m, std::string* error, const std::string* projectText) {
    CProject project;
    if (!LoadProject(def, project, error, projectText) || !CheckParameters(def, project, error))
        return false;
    m = StudyManifest{};
    m.id = NewStudyId();
    m.name = def.name;
    m.studyDir = StudyDirectoryOf(def, project);
    m.kind = def.kind == StudyKind::FGM ? "fgm" : "composite";
    m.title = project.title;
    m.solver = def.solver;
    const CProjectKind& kind = ProjectKindOf(def.kind);
    m.inputName = kind.inputName;
    m.resultName = kind.resultName;
    m.resultStem = kind.copyStem;
    m.points = def.points;
    m.order = def.order;
    m.component = LoadValueOf(project.data, &CProjectKind::output);
    m.scheduler = def.scheduler.kind == SchedulerKind::Slurm ? "slurm" : "local";
    m.threads = def.scheduler.kind == SchedulerKind::Slurm ? def.scheduler.cpusPerTask : 1;
    m.receiverSweep = def.receiverSweep;
    m.pointSource = def.source == SourceKind::Point;
    m.receivers = {LoadValueOf(project.data, &CProjectKind::receiverX)};
    if (def.receiverSweep) {
        m.receivers.clear();
        for (const ReceiverPoint& r : ReceiverGrid(def)) {
            m.receivers.push_back(r.x);
            m.receiversY.push_back(r.y);
        }
    }
    if (!m.pointSource)
        m.receiversY.clear();
    else if (m.receiversY.empty())
        m.receiversY = {0.0};
    if (m.pointSource && !PlanPointSource(def, project, m, error))
        return false;
    for (const StudyParameter& p : def.parameters) {
        m.columns.push_back(ParameterColumn(p));
        m.descriptions.push_back(ParameterDescription(p));
    }
    const auto combos = Combinations(def.parameters);
    const int nReceivers = static_cast<int>(m.receivers.size());
    const int block = def.scheduler.receiversPerTask > 0 ? def.scheduler.receiversPerTask : nReceivers;
    const long long blocks = (nReceivers + block - 1) / block;
    if (static_cast<long long>(combos.size()) * (blocks + (m.waveField ? 1 : 0)) > kMaxStudyTasks)
        return Fail(error, "the study would need more than " + std::to_string(kMaxStudyTasks) +
                               " tasks; give each task more receivers (receivers_per_task)");
    for (std::size_t c = 0; c < combos.size(); ++c) {
        m.cases.push_back(StudyCase{combos[c], Numbered("case", c + 1)});
        for (int b = 0; b < blocks; ++b) {
            StudyTask t;
            t.caseIndex = static_cast<int>(c);
            t.firstReceiver = b * block;
            t.receiverCount = std::min(block, nReceivers - b * block);
            t.dir = m.cases.back().dir + "/" + Numbered("block", static_cast<std::size_t>(b) + 1);
            m.tasks.push_back(t);
        }
        if (m.waveField) {
            StudyTask t;
            t.caseIndex = static_cast<int>(c);
            t.receiverCount = 0;
            t.field = true;
            t.dir = FieldTaskDir(m.cases.back().dir);
            m.tasks.push_back(t);
        }
    }
    return true;
}

bool PlanCaseFiles(const StudyDefinition& def, const StudyManifest& m, std::vector<CaseFiles>& out,
                   std::string* error, const std::string* projectText) {
    CProject project;
    if (!LoadProject(def, project, error, projectText) || !LoadSampledLoad(def, project, error))
        return false;
    out.clear();
    out.reserve(m.cases.size());
    for (const StudyCase& c : m.cases) {
        CaseFiles files;
        if (!MakeCaseFiles(def, project, m, c, files, error))
            return false;
        out.push_back(std::move(files));
    }
    return true;
}

std::string DocumentSamplingWarning(const COstrelDoc& doc, StudyKind kind, int points, const SweptFrequency* swept) {
    const CProjectKind& project = ProjectKindOf(kind);
    const int loadType = doc.*project.loadType;
    double omega = doc.*project.frequency;
    CSampledLoad sampled = doc.*project.sampledLoad;
    if (swept) {
        const double twoPi = 2 * std::numbers::pi;
        const bool mhz = swept->unit == FrequencyUnit::MHz;
        omega = mhz ? swept->value * twoPi : swept->value;
        sampled.m_dFrequency = mhz ? swept->value : swept->value / twoPi;
    }
    const auto band = HighestLoadFrequency(loadType, omega, sampled.m_bDefined ? &sampled : nullptr);
    if (!band)
        return {};
    return SamplingWarning(points, doc.*project.timeFrom, doc.*project.timeTo, *band);
}

std::string StudySamplingWarning(const StudyDefinition& def, const std::string* projectText) {
    CProject project;
    if (!LoadProject(def, project, nullptr, projectText) || !LoadSampledLoad(def, project, nullptr))
        return {};
    COstrelDoc doc;
    FillDocument(def, project, doc);
    // The highest band is the one of the highest frequency a sweep takes.
    for (const StudyParameter& p : def.parameters)
        if (p.kind == ParameterKind::Frequency && !p.values.empty()) {
            const SweptFrequency swept{*std::max_element(p.values.begin(), p.values.end()), p.unit};
            return DocumentSamplingWarning(doc, def.kind, def.points, &swept);
        }
    return DocumentSamplingWarning(doc, def.kind, def.points);
}

bool WriteStudyCases(const StudyDefinition& def, const StudyManifest& m, std::string* error) {
    std::error_code ec;
    const fs::path dir(m.studyDir);
    if (fs::exists(dir / kManifestName, ec))
        return Fail(error, m.studyDir + " already holds this study; \"pemblar-study resume\" continues it, or "
                                        "\"pemblar-study run --replace\" starts it again");
    std::vector<CaseFiles> files;
    if (!PlanCaseFiles(def, m, files, error))
        return false;
    for (std::size_t c = 0; c < m.cases.size(); ++c) {
        const fs::path caseDir = dir / m.cases[c].dir;
        if (!MakeStudyDirectory(m, caseDir.string(), error))
            return false;
        if (!WriteFileAtomically((caseDir / m.inputName).string(), files[c].input, error))
            return false;
        if (files[c].hasLoadCurve && !WriteFileAtomically((caseDir / "ft.dat").string(), files[c].loadCurve, error))
            return false;
        if (m.waveField && !WriteFileAtomically((caseDir / FieldInputName(m)).string(), files[c].fieldInput, error))
            return false;
    }
    return WriteManifest(m, error);
}

bool PrepareStudy(const StudyDefinition& def, StudyManifest& m, std::string* error) {
    if (!PlanStudy(def, m, error) || !MakeStudyDirectory(m, m.studyDir, error))
        return false;
    CStudyLock lock(m.studyDir);
    if (!lock.Held())
        return Fail(error, m.studyDir + ": the study is in use (" + lock.Holder() + ")");
    return WriteStudyCases(def, m, error);
}
