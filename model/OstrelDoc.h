#pragma once
// One whole project: selected materials, both layer stacks and parameter blocks, the curve on
// show with its ranges, which solver run is prepared, and the directory every file operation
// starts from. A plain data holder: forms, views and file code read and write it directly.

#include <memory>
#include <string>
#include <vector>

#include "MateCon.h"
#include "SampledLoad.h"
#include "UiServices.h"
#include "WaveFieldSettings.h"

class CMyRecordSet;  // the material table; owned here, defined by the materials layer

class COstrelDoc {
public:
    COstrelDoc();
    virtual ~COstrelDoc();
    COstrelDoc(const COstrelDoc&) = delete;
    COstrelDoc& operator=(const COstrelDoc&) = delete;

    // Framework hooks. New: capture the working directory. The generic open route (a file on
    // the command line, dropped, or from the recent list) reads nothing from the file but
    // captures the directory as well, so every file operation has a valid home.
    bool OnNewDocument();
    bool OnOpenDocument(const std::string& path);

    // Enabling of the Computing commands: only the input written last can run.
    bool OnUpdateInputComposite() const { return true; }
    bool OnUpdateInputFGM() const { return true; }
    bool OnUpdateExecuteComposite() const { return m_nRunType == 0; }
    bool OnUpdateExecuteFGM() const { return m_nRunType == 1; }

    // Services; null members fall back to doing nothing (or cancelling, for choosers).
    void ShowMessage(const std::string& text) const;
    void UpdateAllViews() const;

    int m_nRunType = -1;
    int m_bPlate = 1;
    float m_fRadius = 1.0f;
    std::string m_szStartDir;
    std::shared_ptr<CMyRecordSet> m_recordSet;
    int m_nResultComp = 0;
    float m_fFullXMin = 0;
    float m_fFullYMin = 0;
    float m_fFullXMax = 0;
    float m_fFullYMax = 0;
    int m_bCurveLoaded = 0;
    int m_nLabelComp = 0;
    int m_nComLayerCount = 0;
    int m_nFGMLayerCount = 0;
    std::vector<CCurvePoint> m_curve;
    int m_nPoints = 0;
    float m_fXMin = 0;
    float m_fXMax = 0;
    float m_fYMin = 0;
    float m_fYMax = 0;
    std::vector<CMaterial> m_materials;
    std::vector<CLayer> m_layers;
    int m_nLayers = 1;
    int m_nMaterials = 0;
    double m_dDimConst = 3.113646;
    int m_nLoadType = 1;
    double m_dFrequency = 3.14;
    int m_nLoadDir = 1;
    int m_nOutput = 1;
    float m_fTimeFrom = 0;
    float m_fTimeTo = 10.0f;
    float m_fReceiverX = 2.0f;
    std::string m_strComTitle = "COM_project";
    std::vector<CFGMLayer> m_fgmLayers;
    std::string m_strFGMTitle = "FGM_project";
    float m_fFGMTimeFrom = 0;
    float m_fFGMTimeTo = 10.0f;
    float m_fFGMReceiverX = 2.0f;
    float m_fFGMVolFraction = 0.1f;
    float m_fFGMLastVolFraction = 0;
    double m_dFGMFrequency = 3.14;
    int m_nFGMLoadType = 1;
    int m_nFGMLoadDir = 1;
    int m_nFGMOutput = 1;
    int m_bFGMPlate = 1;
    float m_fFGMRadius = 1.0f;

    // The program's own settings of the projects, kept beside their project files: the settings
    // of each kind's "ft.dat" (load type 4) and of its wave field, and the element order through
    // the thickness every run takes (0: the solvers choose per layer; a new document starts from
    // the user's choice).
    CSampledLoad m_comSampledLoad;
    CSampledLoad m_fgmSampledLoad;
    CWaveFieldSettings m_comWaveField;
    CWaveFieldSettings m_fgmWaveField;
    int m_nElementOrder = 0;

    // Not part of the project: how this document reaches the user. Set by the window layer.
    CDocServices m_services;
    // The document's title ("Pemblar1", or the file name on the generic open route).
    std::string m_strTitle;
    // Where the curve on show came from, set by the Display commands when a read brings a new
    // curve: 0 not known, 1 composite, 2 FGM; and whether it is a kept copy from the output tree.
    int m_nCurveFamily = 0;
    int m_bCurveExisting = 0;
    // What the last run that kept a result wrote: its kind (index, -1 before any), its component
    // (1 U, 2 V, 3 W), the kept file (relative to the document's directory), and the element
    // orders the solver used from the top layer down (empty when it did not say) with whether
    // the solver chose them.
    struct CLastRun {
        int kind = -1;
        int component = 0;
        std::string file;
        std::vector<int> orders;
        bool automaticOrder = true;
    };
    CLastRun m_lastRun;
    // The curve on show as its file holds it, in double precision (m_curve keeps floats): one
    // entry for each of the first m_nPoints points, or empty when the curve came from elsewhere.
    std::vector<double> m_curveTimes, m_curveValues;

    static constexpr int kInitialMaterials = 20;
    static constexpr int kInitialLayers = 100;
    static constexpr int kInitialCurvePoints = 200;
};
