#include "AllPara.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "FormLayout.h"
#include "OstrelDoc.h"
#include "ProjectKind.h"
#include "RecordList.h"

CAllPara::CAllPara(COstrelDoc* pDoc, QWidget* parent)
    : CLayerStackForm(CompositeKind(), pDoc, parent, "Parameter for Laminates", IDD, IDC_THICKNESS) {
    m_fRadius = 1;
    using namespace FormLayout;
    QLineEdit* editDimConst = AddField(IDC_DIM_CONST, TField<double>{&m_dDimConst, &COstrelDoc::m_dDimConst});
    QLineEdit* editSublayers = AddField(IDC_SUBLAYERS, TField<int>{&m_nSublayers});
    SetReadingOrder({IDC_FREQUENCY, IDC_DIM_CONST, IDC_RECEIVER_X, IDC_TIME_FROM, IDC_TIME_TO, IDC_TITLE,
                     IDC_THICKNESS, IDC_SUBLAYERS, IDC_RADIUS});

    // Left column: title, input data, load type and direction.
    auto* left = new QVBoxLayout;
    left->addLayout(Row({Label(this, "Title :"), m_editTitle}));
    auto* input = Group(this, "Input data");
    auto* inputLayout = new QVBoxLayout(input);
    inputLayout->addWidget(Label(this, "Frequency of the external force :", m_editFrequency));
    inputLayout->addWidget(m_editFrequency);
    inputLayout->addWidget(Label(this, "Dimensionless constants :", editDimConst));
    inputLayout->addWidget(editDimConst);
    inputLayout->addLayout(TimeWindow(this, "Time duration ", m_editTimeFrom, m_editTimeTo));
    inputLayout->addLayout(Row({Label(this, "Receiving point :"), Label(this, "x = "),
                                m_editReceiverX}));
    left->addWidget(input);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(LoadTypeGroup(this, m_loadTypeSet,
                                    {IDC_LOAD_HT, IDC_LOAD_DETA, IDC_LOAD_EXP, IDC_LOAD_ANY,
                                     IDC_LOAD_SIN}));
    bottom->addWidget(DirectionGroup(this, m_loadDirSet, m_outputSet, true));
    left->addLayout(bottom);
    left->addStretch();

    // Middle column: the layer being put together and the structure model.
    auto* middle = new QVBoxLayout;
    auto* layerNo = Group(this, "Layer No.");
    (new QVBoxLayout(layerNo))->addWidget(m_layerList);
    middle->addWidget(layerNo);
    auto* material = Group(this, "Layer Material");
    auto* materialLayout = new QVBoxLayout(material);
    materialLayout->addWidget(m_materialList);
    materialLayout->addLayout(Row({Label(this, "Sublayer divided:", editSublayers),
                                   editSublayers}));
    materialLayout->addLayout(Row({Label(this, "Thickness :", m_editThickness),
                                   m_editThickness}));
    middle->addWidget(material);
    middle->addWidget(StructureGroup(this, m_plateSet, m_editRadius));
    middle->addStretch();

    auto* columns = new QHBoxLayout(this);
    columns->addLayout(left, 3);
    columns->addLayout(middle, 3);
    AddTreeColumns(columns);
    resize(DialogUnits(this, 473, 238));
    SetTabOrderById(this, {IDC_TITLE, IDC_FREQUENCY, IDC_DIM_CONST, IDC_TIME_FROM, IDC_TIME_TO,
                           IDC_RECEIVER_X, IDC_LOAD_HT, IDC_LOAD_ANY, IDC_LOAD_DETA,
                           IDC_LOAD_SIN, IDC_LOAD_EXP, IDC_LOAD_X, IDC_LOAD_Y, IDC_LOAD_Z,
                           IDC_OUTPUT_U, IDC_OUTPUT_V, IDC_OUTPUT_W, IDC_LAYER_LIST,
                           IDC_MATERIAL_LIST, IDC_SUBLAYERS, IDC_THICKNESS, IDC_PLATE,
                           IDC_SHELL, IDC_RADIUS, IDC_ADD_LAYER, IDC_REMOVE_LAYER, IDC_TREE,
                           kIdOk, kIdCancel});
}

std::vector<CTreeNode> CAllPara::RecordNodes() const {
    std::vector<CTreeNode> nodes;
    const int count = ValidCount(m_pDoc->m_layers.size(), m_pDoc->m_nComLayerCount);
    for (int i = 0; i < count; ++i)
        nodes.push_back(CaptionsForRecord(m_pDoc->m_layers[static_cast<std::size_t>(i)], m_pDoc->m_materials,
                                          m_pDoc->m_nMaterials)
                            .Nodes());
    return nodes;
}

CTreeNode CAllPara::AppendLayerRecord(const std::string& label, const std::string& material, int materialNo,
                                      const std::vector<const CMaterial*>& matches) {
    CComLayerCaptions captions;
    captions.m_strLayer = label;
    captions.m_strMaterial = material;
    for (const CMaterial* selected : matches)
        captions.AppendMaterial(*selected);
    captions.AppendLayer(m_fThickness, m_nSublayers);

    CLayer record;
    record.m_strLayer = label;
    record.m_strMaterial = material;
    record.m_nMaterial = materialNo;
    record.m_nSublayers = m_nSublayers;
    record.m_fThickness = m_fThickness;
    AppendRecord(m_pDoc->m_layers, m_pDoc->m_nComLayerCount, record);
    return captions.Nodes();
}

bool CAllPara::RemoveRecordOf(const QTreeWidgetItem* node) {
    const std::vector<std::string> c = FirstChildCaptions(node, 3);
    if (c.size() < 3)
        return false;
    const int index = FindComLayer(m_pDoc->m_layers, m_pDoc->m_nComLayerCount, c[0], c[1], c[2]);
    RemoveRecord(m_pDoc->m_layers, m_pDoc->m_nComLayerCount, index);
    return true;
}
