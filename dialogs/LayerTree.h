#pragma once
// What the "Output" trees of the parameter forms show, and which layer record a selected node
// stands for. Plain C++ so the captions and the matching are tested without windows; the forms
// turn a CTreeNode into tree items.

#include <string>
#include <vector>

#include "MateCon.h"

// Positions in the forms' tree icon list.
namespace TreeImage {
enum : int {
    kLayer = 0,
    kLayerOpen = 1,
    kConstants = 2,
    kModulus = 3,     // E1, E2
    kShear = 4,       // G12
    kPoisson = 5,     // v12, v23
    kProperties = 6,
    kDensity = 7,
    kAngle = 8,
    kMaterial = 9,
    kPage = 10,       // thickness, sublayers, volume fraction
    kCount = 11
};
}

struct CTreeNode {
    std::string caption;
    int image = 0;
    int selectedImage = 0;
    std::vector<CTreeNode> children;
};

std::string ThicknessCaption(float thickness);      // "thickness : 5.e-002"
std::string SublayerCaption(int sublayers);         // "Sublayer divided : 1"
std::string VolFractionCaption(float volFraction);  // "Volume fractions : 0.1"

// The working texts of the laminate form: a layer label, a material name and eleven captions.
class CComLayerCaptions {
public:
    CComLayerCaptions() { Reset(); }

    // The eleven captions back to their bare labels; label and material name stay.
    void Reset();
    // Appends the material's seven-digit values to their captions.
    void AppendMaterial(const CMaterial& material);
    void AppendLayer(float thickness, int sublayers);
    // The layer node with its material node, thickness leaf and sublayer leaf.
    CTreeNode Nodes() const;

    std::string m_strLayer;
    std::string m_strMaterial;
    std::string m_strThickness;
    std::string m_strSublayers;
    std::string m_strConstants;
    std::string m_strProperties;
    std::string m_strE1;
    std::string m_strE2;
    std::string m_strG12;
    std::string m_strV12;
    std::string m_strV23;
    std::string m_strDensity;
    std::string m_strAngle;
};

// The captions a stored record shows when the form opens: the values of every selected
// material of the record's name (none when it is no longer selected).
CComLayerCaptions CaptionsForRecord(const CLayer& record, const std::vector<CMaterial>& materials,
                                    int nMaterials);

// The first valid record whose material, thickness text and sublayer text equal the captions
// of a node's first three children; -1 when none does. The layer label is not compared.
int FindComLayer(const std::vector<CLayer>& layers, int count, const std::string& materialCaption,
                 const std::string& thicknessCaption, const std::string& sublayerCaption);

// The working texts of the FGM form.
class CFGMLayerCaptions {
public:
    CFGMLayerCaptions() { Reset(); }

    void Reset();
    void AppendLayer(float thickness, float volFraction);
    // The layer node with its volume-fraction leaf first, then its thickness leaf.
    CTreeNode Nodes() const;

    std::string m_strLayer;
    std::string m_strThickness;
    std::string m_strVolFraction;
    std::string m_strMaterial;
};

CFGMLayerCaptions CaptionsForRecord(const CFGMLayer& record);

// The first valid record whose volume-fraction and thickness texts equal the captions of a
// node's first two children; -1 when none does.
int FindFGMLayer(const std::vector<CFGMLayer>& layers, int count,
                 const std::string& volFractionCaption, const std::string& thicknessCaption);

// The valid selected materials: the count, never more than the list holds.
int ValidCount(std::size_t size, int count);
