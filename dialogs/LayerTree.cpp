#include "LayerTree.h"

#include <algorithm>

#include "FormatSevenDigits.h"

namespace {

CTreeNode Leaf(const std::string& caption, int image) {
    return CTreeNode{caption, image, image, {}};
}

}  // namespace

int ValidCount(std::size_t size, int count) {
    return std::clamp(count, 0, static_cast<int>(size));
}

std::string ThicknessCaption(float thickness) {
    return "thickness : " + FormatSevenDigits(thickness);
}

std::string SublayerCaption(int sublayers) {
    return "Sublayer divided : " + std::to_string(sublayers);
}

std::string VolFractionCaption(float volFraction) {
    return "Volume fractions : " + FormatSevenDigits(volFraction);
}

void CComLayerCaptions::Reset() {
    m_strThickness = "thickness : ";
    m_strSublayers = "Sublayer divided : ";
    m_strConstants = "constants";
    m_strProperties = "properties";
    m_strE1 = "E1(GPa) : ";
    m_strE2 = "E2(GPa) : ";
    m_strG12 = "G12(GPa) : ";
    m_strV12 = "v12 : ";
    m_strV23 = "v23 : ";
    m_strDensity = "density : ";
    m_strAngle = "angle : ";
}

void CComLayerCaptions::AppendMaterial(const CMaterial& material) {
    m_strDensity += FormatSevenDigits(material.m_dDensity);
    m_strAngle += FormatSevenDigits(material.m_fAngle);
    m_strE1 += FormatSevenDigits(material.m_dE1);
    m_strE2 += FormatSevenDigits(material.m_dE2);
    m_strG12 += FormatSevenDigits(material.m_dG12);
    m_strV12 += FormatSevenDigits(material.m_dV12);
    m_strV23 += FormatSevenDigits(material.m_dV23);
}

void CComLayerCaptions::AppendLayer(float thickness, int sublayers) {
    m_strThickness += FormatSevenDigits(thickness);
    m_strSublayers += std::to_string(sublayers);
}

CTreeNode CComLayerCaptions::Nodes() const {
    CTreeNode constants{m_strConstants, TreeImage::kConstants, TreeImage::kConstants, {}};
    constants.children = {Leaf(m_strE1, TreeImage::kModulus), Leaf(m_strE2, TreeImage::kModulus),
                          Leaf(m_strG12, TreeImage::kShear), Leaf(m_strV12, TreeImage::kPoisson),
                          Leaf(m_strV23, TreeImage::kPoisson)};
    CTreeNode properties{m_strProperties, TreeImage::kProperties, TreeImage::kProperties, {}};
    properties.children = {Leaf(m_strDensity, TreeImage::kDensity),
                           Leaf(m_strAngle, TreeImage::kAngle)};
    CTreeNode material{m_strMaterial, TreeImage::kMaterial, TreeImage::kMaterial, {}};
    material.children = {std::move(constants), std::move(properties)};

    CTreeNode layer{m_strLayer, TreeImage::kLayer, TreeImage::kLayerOpen, {}};
    layer.children = {std::move(material), Leaf(m_strThickness, TreeImage::kPage),
                      Leaf(m_strSublayers, TreeImage::kPage)};
    return layer;
}

CComLayerCaptions CaptionsForRecord(const CLayer& record, const std::vector<CMaterial>& materials,
                                    int nMaterials) {
    CComLayerCaptions captions;
    captions.m_strLayer = record.m_strLayer;
    captions.m_strMaterial = record.m_strMaterial;
    const int valid = ValidCount(materials.size(), nMaterials);
    for (int i = 0; i < valid; ++i)
        if (materials[static_cast<std::size_t>(i)].m_strName == record.m_strMaterial)
            captions.AppendMaterial(materials[static_cast<std::size_t>(i)]);
    captions.AppendLayer(record.m_fThickness, record.m_nSublayers);
    return captions;
}

int FindComLayer(const std::vector<CLayer>& layers, int count, const std::string& materialCaption,
                 const std::string& thicknessCaption, const std::string& sublayerCaption) {
    const int valid = ValidCount(layers.size(), count);
    for (int i = 0; i < valid; ++i) {
        const CLayer& layer = layers[static_cast<std::size_t>(i)];
        if (layer.m_strMaterial == materialCaption &&
            ThicknessCaption(layer.m_fThickness) == thicknessCaption &&
            SublayerCaption(layer.m_nSublayers) == sublayerCaption)
            return i;
    }
    return -1;
}

void CFGMLayerCaptions::Reset() {
    m_strThickness = "thickness : ";
    m_strVolFraction = "Volume fractions : ";
}

void CFGMLayerCaptions::AppendLayer(float thickness, float volFraction) {
    m_strThickness += FormatSevenDigits(thickness);
    m_strVolFraction += FormatSevenDigits(volFraction);
}

CTreeNode CFGMLayerCaptions::Nodes() const {
    CTreeNode layer{m_strLayer, TreeImage::kLayer, TreeImage::kLayerOpen, {}};
    layer.children = {Leaf(m_strVolFraction, TreeImage::kPage),
                      Leaf(m_strThickness, TreeImage::kPage)};
    return layer;
}

CFGMLayerCaptions CaptionsForRecord(const CFGMLayer& record) {
    CFGMLayerCaptions captions;
    captions.m_strLayer = record.m_strLayer;
    captions.AppendLayer(record.m_fThickness, record.m_fVolFraction);
    return captions;
}

int FindFGMLayer(const std::vector<CFGMLayer>& layers, int count,
                 const std::string& volFractionCaption, const std::string& thicknessCaption) {
    const int valid = ValidCount(layers.size(), count);
    for (int i = 0; i < valid; ++i) {
        const CFGMLayer& layer = layers[static_cast<std::size_t>(i)];
        if (VolFractionCaption(layer.m_fVolFraction) == volFractionCaption &&
            ThicknessCaption(layer.m_fThickness) == thicknessCaption)
            return i;
    }
    return -1;
}
