// Captions of the layer trees, the matching of a selected node to a record, and the stepping
// of the layer-number spin button.
#include <gtest/gtest.h>

#include "LayerNumber.h"
#include "LayerTree.h"

namespace {

CMaterial Material(const std::string& name, int no) {
    CMaterial m;
    m.m_strName = name;
    m.m_nNo = no;
    m.m_dE1 = 181;
    m.m_dE2 = 10.3;
    m.m_dG12 = 7.17;
    m.m_dV12 = 0.28;
    m.m_dV23 = 0.4;
    m.m_dDensity = 1.6;
    m.m_fAngle = 45;
    return m;
}

CLayer Layer(const std::string& label, const std::string& material, float thickness, int sub) {
    CLayer l;
    l.m_strLayer = label;
    l.m_strMaterial = material;
    l.m_fThickness = thickness;
    l.m_nSublayers = sub;
    return l;
}

std::vector<std::string> Captions(const CTreeNode& node) {
    std::vector<std::string> out{node.caption};
    for (const CTreeNode& child : node.children)
        for (const std::string& c : Captions(child))
            out.push_back(c);
    return out;
}

TEST(ComLayerTree, NodeGroupShapeCaptionsAndImages) {
    const std::vector<CMaterial> materials{Material("carbon", 1)};
    const CTreeNode layer =
        CaptionsForRecord(Layer("Layer 2", "carbon", 0.05f, 1), materials, 1).Nodes();
    EXPECT_EQ(Captions(layer),
              (std::vector<std::string>{"Layer 2", "carbon", "constants", "E1(GPa) : 181.",
                                        "E2(GPa) : 10.3", "G12(GPa) : 7.17", "v12 : 0.28",
                                        "v23 : 0.4", "properties", "density : 1.6",
                                        "angle : 45.", "thickness : 5.e-002",
                                        "Sublayer divided : 1"}));
    EXPECT_EQ(layer.image, TreeImage::kLayer);
    EXPECT_EQ(layer.selectedImage, TreeImage::kLayerOpen);
    ASSERT_EQ(layer.children.size(), 3u);
    const CTreeNode& material = layer.children[0];
    EXPECT_EQ(material.image, TreeImage::kMaterial);
    EXPECT_EQ(layer.children[1].image, TreeImage::kPage);
    EXPECT_EQ(layer.children[2].image, TreeImage::kPage);
    ASSERT_EQ(material.children.size(), 2u);
    const CTreeNode& constants = material.children[0];
    const CTreeNode& properties = material.children[1];
    EXPECT_EQ(constants.image, TreeImage::kConstants);
    EXPECT_EQ(properties.image, TreeImage::kProperties);
    std::vector<int> constantImages, propertyImages;
    for (const auto& leaf : constants.children)
        constantImages.push_back(leaf.image);
    for (const auto& leaf : properties.children)
        propertyImages.push_back(leaf.image);
    EXPECT_EQ(constantImages, (std::vector<int>{3, 3, 4, 5, 5}));
    EXPECT_EQ(propertyImages, (std::vector<int>{7, 8}));
}

TEST(ComLayerTree, MaterialNoLongerSelectedGivesBareCaptions) {
    const std::vector<CMaterial> materials{Material("glass", 1)};
    const CTreeNode layer =
        CaptionsForRecord(Layer("Layer 1", "carbon", 1.0f, 2), materials, 1).Nodes();
    EXPECT_EQ(Captions(layer),
              (std::vector<std::string>{"Layer 1", "carbon", "constants", "E1(GPa) : ",
                                        "E2(GPa) : ", "G12(GPa) : ", "v12 : ", "v23 : ",
                                        "properties", "density : ", "angle : ", "thickness : 1.",
                                        "Sublayer divided : 2"}));
}

TEST(ComLayerTree, OnlyTheValidSelectedMaterialsCount) {
    // Entry 1 has the record's name but lies beyond the count: it is spare storage.
    const std::vector<CMaterial> materials{Material("glass", 1), Material("carbon", 2)};
    const auto captions = CaptionsForRecord(Layer("Layer 1", "carbon", 1.0f, 1), materials, 1);
    EXPECT_EQ(captions.m_strE1, "E1(GPa) : ");
    // A count above the list's size never reads past its end.
    const auto guarded = CaptionsForRecord(Layer("Layer 1", "carbon", 1.0f, 1), materials, 99);
    EXPECT_EQ(guarded.m_strE1, "E1(GPa) : 181.");
}

TEST(ComLayerTree, FindMatchesMaterialThicknessAndSublayersButNotTheLabel) {
    const std::vector<CLayer> layers{Layer("Layer 1", "carbon", 0.5f, 1),
                                     Layer("Layer 2", "carbon", 0.5f, 1),
                                     Layer("Layer 3", "glass", 0.5f, 1), CLayer()};
    EXPECT_EQ(FindComLayer(layers, 3, "carbon", "thickness : 0.5", "Sublayer divided : 1"), 0);
    EXPECT_EQ(FindComLayer(layers, 3, "glass", "thickness : 0.5", "Sublayer divided : 1"), 2);
    EXPECT_EQ(FindComLayer(layers, 3, "carbon", "thickness : 0.5", "Sublayer divided : 2"), -1);
    EXPECT_EQ(FindComLayer(layers, 3, "carbon", "thickness : 0.50", "Sublayer divided : 1"), -1);
    // The captions of the "constants" node's first three children match no record.
    EXPECT_EQ(FindComLayer(layers, 3, "E1(GPa) : 181.", "E2(GPa) : 10.3", "G12(GPa) : 7.17"), -1);
    // Entries beyond the count are not records.
    EXPECT_EQ(FindComLayer(layers, 2, "glass", "thickness : 0.5", "Sublayer divided : 1"), -1);
    EXPECT_EQ(FindComLayer(layers, 40, "x", "y", "z"), -1);
}

TEST(FGMLayerTree, VolumeFractionLeafFirstAndMatching) {
    CFGMLayer record;
    record.m_strLayer = "Layer 1";
    record.m_fVolFraction = 0.1f;
    record.m_fThickness = 0.5f;
    const CTreeNode layer = CaptionsForRecord(record).Nodes();
    EXPECT_EQ(Captions(layer), (std::vector<std::string>{"Layer 1", "Volume fractions : 0.1",
                                                         "thickness : 0.5"}));
    EXPECT_EQ(layer.image, TreeImage::kLayer);
    EXPECT_EQ(layer.selectedImage, TreeImage::kLayerOpen);
    EXPECT_EQ(layer.children[0].image, TreeImage::kPage);
    EXPECT_EQ(layer.children[1].image, TreeImage::kPage);

    CFGMLayer other = record;
    other.m_strLayer = "Layer 2";
    other.m_nMaterial = 7;
    const std::vector<CFGMLayer> layers{record, other};
    EXPECT_EQ(FindFGMLayer(layers, 2, "Volume fractions : 0.1", "thickness : 0.5"), 0);
    EXPECT_EQ(FindFGMLayer(layers, 2, "thickness : 0.5", "Volume fractions : 0.1"), -1);
    EXPECT_EQ(FindFGMLayer(layers, 0, "Volume fractions : 0.1", "thickness : 0.5"), -1);
}

TEST(LayerNumberSpin, StepsAndWrapsAtTheRangeEnds) {
    EXPECT_EQ(StepLayerNumber(true, 1, 1, +1), 2);
    EXPECT_EQ(StepLayerNumber(true, 5, 1, -1), 4);
    EXPECT_EQ(StepLayerNumber(true, 200, 1, +1), 1);
    EXPECT_EQ(StepLayerNumber(true, 1, 1, -1), 200);
    EXPECT_EQ(StepLayerNumber(true, 199, 1, +1), 200);
    // A field without a number steps from the last position.
    EXPECT_EQ(StepLayerNumber(false, 0, 7, +1), 8);
    EXPECT_EQ(StepLayerNumber(false, 0, 200, +1), 1);
    // A number outside the range comes back to the nearer end.
    EXPECT_EQ(StepLayerNumber(true, 500, 3, +1), 200);
    EXPECT_EQ(StepLayerNumber(true, 0, 3, -1), 1);
    EXPECT_EQ(StepLayerNumber(true, -4, 3, +1), 1);
}

}  // namespace
