#pragma once
// Shared by the project-file tests: sample documents, the exact texts they write, scripted
// stand-ins for the person at the screen, and a full dump of a document for comparisons.

#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "OstrelDoc.h"
#include "RecordList.h"
#include "UiServices.h"

namespace projtest {

inline CMaterial Material(std::string name, int no, double e1, double e2, double g12, double v12,
                          double v23, double density, float angle) {
    CMaterial m;
    m.m_strName = std::move(name);
    m.m_nNo = no;
    m.m_dE1 = e1;
    m.m_dE2 = e2;
    m.m_dG12 = g12;
    m.m_dV12 = v12;
    m.m_dV23 = v23;
    m.m_dDensity = density;
    m.m_fAngle = angle;
    return m;
}

inline CLayer Layer(int number, std::string material, int matNo, float thickness, int sub) {
    CLayer l;
    l.m_strLayer = LayerLabel(number);
    l.m_strMaterial = std::move(material);
    l.m_nMaterial = matNo;
    l.m_fThickness = thickness;
    l.m_nSublayers = sub;
    return l;
}

inline CFGMLayer FGMLayer(int number, int matNo, float vol, float thickness) {
    CFGMLayer l;
    l.m_strLayer = LayerLabel(number);
    l.m_nMaterial = matNo;
    l.m_fVolFraction = vol;
    l.m_fThickness = thickness;
    return l;
}

inline void AddTwoMaterials(COstrelDoc& doc) {
    ClearRecords(doc.m_materials, doc.m_nMaterials);
    AppendRecord(doc.m_materials, doc.m_nMaterials,
                 Material("carbon", 1, 181, 10.3, 7.17, 0.28, 0.4, 1.6, 0));
    AppendRecord(doc.m_materials, doc.m_nMaterials,
                 Material("glass", 2, 38.6, 8.27, 4.14, 0.26, 0.3, 1.8, 45));
}

// A [0/90/90/0] laminate of 0.25 mm plies (140, 10, 5 GPa; 0.3, 0.45; 1.6 g/cm3), each of
// `sublayers` elements: the stack the run tests share.
inline void CrossPly(COstrelDoc& doc, int sublayers) {
    ClearRecords(doc.m_materials, doc.m_nMaterials);
    AppendRecord(doc.m_materials, doc.m_nMaterials, Material("ud0", 1, 140, 10, 5, 0.3, 0.45, 1.6, 0));
    AppendRecord(doc.m_materials, doc.m_nMaterials, Material("ud90", 2, 140, 10, 5, 0.3, 0.45, 1.6, 90));
    ClearRecords(doc.m_layers, doc.m_nComLayerCount);
    for (int i : {1, 2, 2, 1})
        AppendRecord(doc.m_layers, doc.m_nComLayerCount,
                     Layer(doc.m_nComLayerCount + 1, i == 1 ? "ud0" : "ud90", i, 0.25f, sublayers));
    doc.m_nLayers = 4;
}

// A two-layer composite shell.
inline void MakeLaminateShell(COstrelDoc& doc) {
    AddTwoMaterials(doc);
    ClearRecords(doc.m_layers, doc.m_nComLayerCount);
    AppendRecord(doc.m_layers, doc.m_nComLayerCount, Layer(1, "carbon", 1, 0.25f, 4));
    AppendRecord(doc.m_layers, doc.m_nComLayerCount, Layer(2, "glass", 2, 0.5f, 6));
    doc.m_nLayers = 2;
    doc.m_strComTitle = "laminate";
    doc.m_nLoadType = 5;
    doc.m_dFrequency = 6.28;
    doc.m_nLoadDir = 3;
    doc.m_nOutput = 3;
    doc.m_fTimeFrom = 0.5f;
    doc.m_fTimeTo = 20.25f;
    doc.m_fReceiverX = 2.5f;
    doc.m_bPlate = 0;
    doc.m_fRadius = 12.5f;
}

inline const char* const kLaminateShellProject =
    "laminate\n"
    "2    2    3.113646\n"
    "5    6.2800\n"
    "3    3\n"
    "0.50    20.25\n"
    "2.5000\n"
    "carbon  1  181.0000  10.3000  7.1700  0.2800  0.4000  0.0000  1.6000\n"
    "glass  2  38.6000  8.2700  4.1400  0.2600  0.3000  45.0000  1.8000\n"
    "Layer 1  carbon  1  0.2500 4\n"
    "Layer 2  glass  2  0.5000 6\n"
    "0 \n"
    "12.50\n";

inline const char* const kLaminateShellSolverInput =
    "laminate\n"
    "2    2    3.113646\n"
    "1    0.2500\n"
    "2    0.5000\n"
    "0.0000\n"
    "45.0000\n"
    "1.6000\n"
    "1.8000\n"
    "4 6 \n"
    "181.0000  10.3000  7.1700  0.2800  0.4000\n"
    "38.6000  8.2700  4.1400  0.2600  0.3000\n"
    "0 \n"
    "12.50\n"
    "5    6.2800\n"
    "3    3\n"
    "0.50    20.25\n"
    "2.5000\n";

// A two-layer FGM shell.
inline void MakeGradedShell(COstrelDoc& doc) {
    AddTwoMaterials(doc);
    ClearRecords(doc.m_fgmLayers, doc.m_nFGMLayerCount);
    AppendRecord(doc.m_fgmLayers, doc.m_nFGMLayerCount, FGMLayer(1, 1, 0.2f, 0.3f));
    AppendRecord(doc.m_fgmLayers, doc.m_nFGMLayerCount, FGMLayer(2, 2, 0.6f, 0.7f));
    doc.m_nLayers = 2;
    doc.m_strFGMTitle = "graded";
    doc.m_nFGMLoadType = 2;
    doc.m_dFGMFrequency = 1.5;
    doc.m_nFGMLoadDir = 2;
    doc.m_nFGMOutput = 2;
    doc.m_fFGMTimeFrom = 1;
    doc.m_fFGMTimeTo = 5;
    doc.m_fFGMReceiverX = 0.75f;
    doc.m_fFGMLastVolFraction = 0.9f;
    doc.m_bFGMPlate = 0;
    doc.m_fFGMRadius = 3.75f;
}

inline const char* const kGradedShellProject =
    "graded\n"
    "2    2\n"
    "  2    1.5000\n"
    "2    2\n"
    "1.00    5.00\n"
    "0.7500\n"
    "carbon  1  181.0000  10.3000  7.1700  0.2800  0.4000  0.0000  1.6000\n"
    "glass  2  38.6000  8.2700  4.1400  0.2600  0.3000  45.0000  1.8000\n"
    "Layer 1 1 0.2000 0.3000\n"
    "Layer 2 2 0.6000 0.7000\n"
    "0.9000\n"
    "0 \n"
    "3.75\n";

inline const char* const kGradedShellSolverInput =
    "181.0000  1.6000  0.2800\n"
    "38.6000  1.8000  0.2600\n"
    "2\n"
    "0.2000  0.3000\n"
    "0.6000  0.7000\n"
    "0.9000 \n"
    "0 \n"
    "3.75\n"
    "2    1.5000\n"
    "2    2\n"
    "1.00    5.00\n"
    "0.7500\n";

inline const char* const kInitialComProject =
    "COM_project\n1    0    3.113646\n1    3.1400\n1    1\n0.00    10.00\n2.0000\n1 \n";
// No layers: the sublayer line is empty.
inline const char* const kInitialComSolverInput =
    "COM_project\n0    0    3.113646\n\n1 \n1    3.1400\n1    1\n0.00    10.00\n2.0000\n";
inline const char* const kInitialFGMProject =
    "FGM_project\n1    0\n  1    3.1400\n1    1\n0.00    10.00\n2.0000\n0.0000\n1 \n";
inline const char* const kInitialFGMSolverInput =
    "0\n0.0000 \n1 \n1    3.1400\n1    1\n0.00    10.00\n2.0000\n";

// Every member of a document, floats exactly (hex), list entries below their counts.
inline std::string Dump(const COstrelDoc& d) {
    std::ostringstream o;
    auto f = [&](const char* name, double v) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%a", v);
        o << name << "=" << buf << "\n";
    };
    auto i = [&](const char* name, long long v) { o << name << "=" << v << "\n"; };
    auto s = [&](const char* name, const std::string& v) { o << name << "=[" << v << "]\n"; };
    i("runType", d.m_nRunType); i("plate", d.m_bPlate); f("radius", d.m_fRadius);
    s("startDir", d.m_szStartDir); i("resultComp", d.m_nResultComp);
    f("fxmin", d.m_fFullXMin); f("fymin", d.m_fFullYMin); f("fxmax", d.m_fFullXMax);
    f("fymax", d.m_fFullYMax); i("curveLoaded", d.m_bCurveLoaded); i("labelComp", d.m_nLabelComp);
    i("comCount", d.m_nComLayerCount); i("fgmCount", d.m_nFGMLayerCount);
    i("points", d.m_nPoints);
    for (int k = 0; k < d.m_nPoints && k < static_cast<int>(d.m_curve.size()); ++k) {
        f("x", d.m_curve[k].m_fX);
        f("y", d.m_curve[k].m_fY);
    }
    f("xmin", d.m_fXMin); f("xmax", d.m_fXMax); f("ymin", d.m_fYMin); f("ymax", d.m_fYMax);
    i("nMaterials", d.m_nMaterials);
    for (int k = 0; k < d.m_nMaterials && k < static_cast<int>(d.m_materials.size()); ++k) {
        const CMaterial& m = d.m_materials[k];
        s("m.name", m.m_strName); i("m.no", m.m_nNo); f("m.e1", m.m_dE1); f("m.e2", m.m_dE2);
        f("m.g12", m.m_dG12); f("m.v12", m.m_dV12); f("m.v23", m.m_dV23);
        f("m.density", m.m_dDensity); f("m.angle", m.m_fAngle);
    }
    for (int k = 0; k < d.m_nComLayerCount && k < static_cast<int>(d.m_layers.size()); ++k) {
        const CLayer& l = d.m_layers[k];
        s("l.label", l.m_strLayer); s("l.material", l.m_strMaterial); i("l.no", l.m_nMaterial);
        i("l.sub", l.m_nSublayers); f("l.thick", l.m_fThickness);
    }
    i("nLayers", d.m_nLayers); f("dimConst", d.m_dDimConst); i("loadType", d.m_nLoadType);
    f("freq", d.m_dFrequency); i("loadDir", d.m_nLoadDir); i("output", d.m_nOutput);
    f("from", d.m_fTimeFrom); f("to", d.m_fTimeTo); f("recv", d.m_fReceiverX);
    s("comTitle", d.m_strComTitle);
    for (int k = 0; k < d.m_nFGMLayerCount && k < static_cast<int>(d.m_fgmLayers.size()); ++k) {
        const CFGMLayer& l = d.m_fgmLayers[k];
        s("g.label", l.m_strLayer); i("g.no", l.m_nMaterial); f("g.vol", l.m_fVolFraction);
        f("g.thick", l.m_fThickness);
    }
    s("fgmTitle", d.m_strFGMTitle); f("gfrom", d.m_fFGMTimeFrom); f("gto", d.m_fFGMTimeTo);
    f("grecv", d.m_fFGMReceiverX); f("gvol", d.m_fFGMVolFraction);
    f("glastvol", d.m_fFGMLastVolFraction); f("gfreq", d.m_dFGMFrequency);
    i("gload", d.m_nFGMLoadType); i("gdir", d.m_nFGMLoadDir); i("gout", d.m_nFGMOutput);
    i("gplate", d.m_bFGMPlate); f("gradius", d.m_fFGMRadius);
    return o.str();
}

struct RecordingSink : IMessageSink {
    std::vector<std::string> messages;
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
};

struct ScriptedChooser : IFileChooser {
    std::optional<std::string> answer;
    std::vector<FileDialogRequest> requests;
    std::optional<std::string> ChooseFile(const FileDialogRequest& request) override {
        requests.push_back(request);
        return answer;
    }
};

struct CountingViews : IViewNotifier {
    int updates = 0;
    void UpdateAllViews() override { ++updates; }
};

}  // namespace projtest
