#include "DocumentStudy.h"

#include <filesystem>

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

}  // namespace

bool BuildDocumentStudy(const COstrelDoc& doc, const DocumentStudyChoice& c, StudyDefinition& out,
                        std::string* error) {
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
    def.projectFile = (fs::path(doc.m_szStartDir) / (fgm ? "inputFGM" : "input") / (title + ".dat")).string();
    std::string why;
    std::vector<double> values = StepRange(c.from, c.to, c.step, &why);
    if (values.empty())
        return Fail(error, "The values from " + std::to_string(c.from) + " to " + std::to_string(c.to) + ": " + why + ".");
    if (c.receiverSweep) {
        def.receiverSweep = true;
        def.receivers = std::move(values);
    } else {
        const int layers = fgm ? doc.m_nFGMLayerCount : doc.m_nComLayerCount;
        StudyParameter p{c.parameter, c.parameter == ParameterKind::Frequency ? 0 : c.layer, std::move(values)};
        if (p.kind != ParameterKind::Frequency && (p.layer < 1 || p.layer > layers))
            return Fail(error, "The project has " + std::to_string(layers) + " layers; there is no layer " +
                                   std::to_string(p.layer) + ".");
        if ((p.kind == ParameterKind::Angle && fgm) || (p.kind == ParameterKind::VolumeFraction && !fgm))
            return Fail(error, fgm ? "An FGM layer has no fibre angle." : "A composite layer has no volume fraction.");
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
