#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "OstrelDoc.h"
#include "RecordList.h"
#include "WorkingDirectory.h"
#include "../ScopedTempDir.h"

TEST(Document, FreshDocumentHoldsEveryInitialValue) {
    COstrelDoc doc;
    EXPECT_EQ(doc.m_nRunType, -1);
    EXPECT_EQ(doc.m_bPlate, 1);
    EXPECT_FLOAT_EQ(doc.m_fRadius, 1.0f);
    EXPECT_TRUE(doc.m_szStartDir.empty());
    EXPECT_EQ(doc.m_nResultComp, 0);
    EXPECT_EQ(doc.m_fFullXMin, 0.0f);
    EXPECT_EQ(doc.m_fFullYMin, 0.0f);
    EXPECT_EQ(doc.m_fFullXMax, 0.0f);
    EXPECT_EQ(doc.m_fFullYMax, 0.0f);
    EXPECT_EQ(doc.m_bCurveLoaded, 0);
    EXPECT_EQ(doc.m_nLabelComp, 0);
    EXPECT_EQ(doc.m_nComLayerCount, 0);
    EXPECT_EQ(doc.m_nFGMLayerCount, 0);
    EXPECT_EQ(doc.m_curve.size(), 200u);
    EXPECT_EQ(doc.m_nPoints, 0);
    EXPECT_EQ(doc.m_fXMin, 0.0f);
    EXPECT_EQ(doc.m_fXMax, 0.0f);
    EXPECT_EQ(doc.m_fYMin, 0.0f);
    EXPECT_EQ(doc.m_fYMax, 0.0f);
    EXPECT_EQ(doc.m_materials.size(), 20u);
    EXPECT_EQ(doc.m_layers.size(), 100u);
    EXPECT_EQ(doc.m_nLayers, 1);
    EXPECT_EQ(doc.m_nMaterials, 0);
    EXPECT_DOUBLE_EQ(doc.m_dDimConst, 3.113646);
    EXPECT_EQ(doc.m_nLoadType, 1);
    EXPECT_DOUBLE_EQ(doc.m_dFrequency, 3.14);
    EXPECT_EQ(doc.m_nLoadDir, 1);
    EXPECT_EQ(doc.m_nOutput, 1);
    EXPECT_EQ(doc.m_fTimeFrom, 0.0f);
    EXPECT_FLOAT_EQ(doc.m_fTimeTo, 10.0f);
    EXPECT_FLOAT_EQ(doc.m_fReceiverX, 2.0f);
    EXPECT_EQ(doc.m_strComTitle, "COM_project");
    EXPECT_EQ(doc.m_fgmLayers.size(), 100u);
    EXPECT_EQ(doc.m_strFGMTitle, "FGM_project");
    EXPECT_EQ(doc.m_fFGMTimeFrom, 0.0f);
    EXPECT_FLOAT_EQ(doc.m_fFGMTimeTo, 10.0f);
    EXPECT_FLOAT_EQ(doc.m_fFGMReceiverX, 2.0f);
    EXPECT_FLOAT_EQ(doc.m_fFGMVolFraction, 0.1f);
    EXPECT_EQ(doc.m_fFGMLastVolFraction, 0.0f);
    EXPECT_DOUBLE_EQ(doc.m_dFGMFrequency, 3.14);
    EXPECT_EQ(doc.m_nFGMLoadType, 1);
    EXPECT_EQ(doc.m_nFGMLoadDir, 1);
    EXPECT_EQ(doc.m_nFGMOutput, 1);
    EXPECT_EQ(doc.m_bFGMPlate, 1);
    EXPECT_FLOAT_EQ(doc.m_fFGMRadius, 1.0f);
    EXPECT_FALSE(doc.m_recordSet);
}

TEST(Document, DefaultRecordsCarryTheirDefaults) {
    CMaterial m;
    EXPECT_EQ(m.m_strName, "carbon");
    EXPECT_EQ(m.m_nNo, 0);
    EXPECT_EQ(m.m_dE1 + m.m_dE2 + m.m_dG12 + m.m_dV12 + m.m_dV23 + m.m_dDensity, 0.0);
    EXPECT_EQ(m.m_fAngle, 0.0f);
    CLayer l;
    EXPECT_TRUE(l.m_strLayer.empty());
    EXPECT_EQ(l.m_strMaterial, "carbon");
    EXPECT_EQ(l.m_nMaterial, 0);
    EXPECT_EQ(l.m_nSublayers, 0);
    EXPECT_EQ(l.m_fThickness, 0.0f);
    CFGMLayer f;
    EXPECT_TRUE(f.m_strLayer.empty());
    EXPECT_EQ(f.m_nMaterial, 0);
    EXPECT_EQ(f.m_fVolFraction, 0.0f);
    EXPECT_EQ(f.m_fThickness, 0.0f);
    EXPECT_EQ(LayerLabel(3), "Layer 3");
}

TEST(Document, EnablingFollowsThePreparedRun) {
    COstrelDoc doc;
    EXPECT_TRUE(doc.OnUpdateInputComposite());
    EXPECT_TRUE(doc.OnUpdateInputFGM());
    EXPECT_FALSE(doc.OnUpdateExecuteComposite());
    EXPECT_FALSE(doc.OnUpdateExecuteFGM());
    doc.m_nRunType = 0;
    EXPECT_TRUE(doc.OnUpdateExecuteComposite());
    EXPECT_FALSE(doc.OnUpdateExecuteFGM());
    doc.m_nRunType = 1;
    EXPECT_FALSE(doc.OnUpdateExecuteComposite());
    EXPECT_TRUE(doc.OnUpdateExecuteFGM());
}

TEST(RecordList, AppendsAtTheCountAndRemovalMovesLaterEntriesUp) {
    COstrelDoc doc;
    for (int i = 1; i <= 3; ++i) {
        CMaterial m;
        m.m_strName = "m" + std::to_string(i);
        AppendRecord(doc.m_materials, doc.m_nMaterials, m);
    }
    ASSERT_EQ(doc.m_nMaterials, 3);
    EXPECT_EQ(doc.m_materials[2].m_strName, "m3");
    EXPECT_TRUE(RemoveRecord(doc.m_materials, doc.m_nMaterials, 1));
    EXPECT_EQ(doc.m_nMaterials, 2);
    EXPECT_EQ(doc.m_materials[0].m_strName, "m1");
    EXPECT_EQ(doc.m_materials[1].m_strName, "m3");
    EXPECT_FALSE(RemoveRecord(doc.m_materials, doc.m_nMaterials, 2));
    EXPECT_FALSE(RemoveRecord(doc.m_materials, doc.m_nMaterials, -1));
    EXPECT_EQ(doc.m_nMaterials, 2);
}

TEST(RecordList, GrowsPastTheInitialEntriesAndRefillsAfterClearing) {
    COstrelDoc doc;
    CLayer layer;
    for (int i = 0; i < 150; ++i) {
        layer.m_strLayer = LayerLabel(i + 1);
        AppendRecord(doc.m_layers, doc.m_nComLayerCount, layer);
    }
    EXPECT_EQ(doc.m_nComLayerCount, 150);
    EXPECT_EQ(doc.m_layers[149].m_strLayer, "Layer 150");
    ClearRecords(doc.m_layers, doc.m_nComLayerCount);
    EXPECT_EQ(doc.m_nComLayerCount, 0);
    AppendRecord(doc.m_layers, doc.m_nComLayerCount, layer);
    EXPECT_EQ(doc.m_nComLayerCount, 1);
    EXPECT_EQ(doc.m_layers[0].m_strLayer, "Layer 150");
}

TEST(Document, BothCreationRoutesCaptureTheWorkingDirectory) {
    const std::string before = CurrentDirectory();
    const CScopedTempDir temp("pemblar-doc-capture");
    const auto dir = temp.Path();
    ASSERT_TRUE(ChangeDirectory(dir.string()));
    COstrelDoc created;
    EXPECT_TRUE(created.OnNewDocument());
    EXPECT_EQ(created.m_szStartDir, std::filesystem::canonical(dir).string());
    COstrelDoc opened;
    EXPECT_TRUE(opened.OnOpenDocument("/somewhere/else/project.dat"));
    EXPECT_EQ(opened.m_szStartDir, created.m_szStartDir);
    EXPECT_EQ(opened.m_strTitle, "project.dat");
    ChangeDirectory(before);
}
