#pragma once
// The document's own commands: the Pre-processing forms with the values they exchange with the
// document, the Computing runs and the two project-opening commands, with their enabling.

#include <QPointer>
#include <QWidget>

#include <functional>

#include "CommandTarget.h"
#include "DispersionRun.h"

class CAllPara;
class CFGM;
class COstrelDoc;
class QDialog;

class CDocCommands : public ICommandTarget {
public:
    // Runs a modal form and gives its result (1 OK, 2 Cancel). Tests replace it to play the user.
    using FormRunner = std::function<int(QDialog& form)>;

    CDocCommands(COstrelDoc& doc, QWidget* dialogParent);

    bool OnCommand(int id) override;
    std::optional<bool> OnUpdateCommand(int id) const override;
    bool Carries(int id) const override;

    void OnMaterialSelected();
    void OnLayerPara();
    void OnInputComposite();
    void OnInputFGM();
    void OnSampledLoad();
    void OnDispersionCurves();
    // Enabling: a sampled load needs a project whose load type is "Any f(t)"; dispersion a stack.
    bool OnUpdateSampledLoad() const;
    bool OnUpdateDispersionCurves() const;
    // The last dispersion window opened (for tests), null once closed.
    QWidget* LastDispersionWindow() const { return m_lastDispersion; }

    void SetFormRunner(FormRunner runner) { m_runForm = std::move(runner); }

    // The exchange between the document and the parameter forms, both directions.
    static void LoadCompositeForm(const COstrelDoc& doc, CAllPara& form);
    static void StoreCompositeForm(const CAllPara& form, COstrelDoc& doc);
    static void LoadFGMForm(const COstrelDoc& doc, CFGM& form);
    static void StoreFGMForm(const CFGM& form, COstrelDoc& doc);
    // The layer thickness a parameter form offers: 1 / m_nLayers, 0 without layers.
    static float DefaultThickness(int nLayers);

    static constexpr const char* kSolverInputFailed = "writing data to the file failed ! ";

private:
    int RunForm(QDialog& form) const;

    COstrelDoc& m_doc;
    QPointer<QWidget> m_parent;
    FormRunner m_runForm;
    QPointer<QWidget> m_lastDispersion;
    CDispersionSettings m_dispersion;  // the last settings, offered again
};
