#include "FGM.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "FormLayout.h"
#include "OstrelDoc.h"
#include "ProjectKind.h"
#include "RecordList.h"

CFGM::CFGM(COstrelDoc* pDoc, QWidget* parent)
    : CLayerStackForm(FGMKind(), pDoc, parent, "Parameter for FGM", IDD, IDC_THICKNESS) {
    using namespace FormLayout;
    QLineEdit* editVolFraction =
        AddField(IDC_VOL_FRACTION, TField<float>{&m_fVolFraction, &COstrelDoc::m_fFGMVolFraction});
    QLineEdit* editLastVolFraction =
        AddField(IDC_LAST_VOL_FRACTION, TField<float>{&m_fLastVolFraction, &COstrelDoc::m_fFGMLastVolFraction});
    SetReadingOrder({IDC_FREQUENCY, IDC_RADIUS, IDC_THICKNESS, IDC_RECEIVER_X, IDC_TIME_FROM, IDC_TIME_TO,
                     IDC_TITLE, IDC_VOL_FRACTION, IDC_LAST_VOL_FRACTION});

    // First column: title, input data, load type.
    auto* first = new QVBoxLayout;
    first->addLayout(Row({Label(this, "Title :"), m_editTitle}));
    auto* input = Group(this, "Input data");
    auto* inputLayout = new QVBoxLayout(input);
    inputLayout->addWidget(Label(this, "Frequency of the external force :", m_editFrequency));
    inputLayout->addWidget(m_editFrequency);
    inputLayout->addLayout(TimeWindow(this, "Time duration", m_editTimeFrom, m_editTimeTo));
    first->addWidget(input);
    first->addWidget(LoadTypeGroup(this, m_loadTypeSet,
                                   {IDC_LOAD_HT, IDC_LOAD_DETA, IDC_LOAD_EXP, IDC_LOAD_ANY,
                                    IDC_LOAD_SIN}));
    first->addStretch();

    // Second column: material, receiving point, direction.
    auto* second = new QVBoxLayout;
    auto* material = Group(this, "Layer matreial:");
    (new QVBoxLayout(material))->addWidget(m_materialList);
    second->addWidget(material);
    auto* receiver = Group(this, "Receiving point :");
    (new QVBoxLayout(receiver))->addLayout(Row({Label(this, "x = ", m_editReceiverX),
                                                m_editReceiverX}));
    second->addWidget(receiver);
    second->addWidget(DirectionGroup(this, m_loadDirSet, m_outputSet, false));
    second->addStretch();

    // Third column: layer label, layer parameters, structure model.
    auto* third = new QVBoxLayout;
    auto* layerNo = Group(this, "Layer No.");
    (new QVBoxLayout(layerNo))->addWidget(m_layerList);
    third->addWidget(layerNo);
    auto* parameter = Group(this, "Parameter");
    auto* parameterLayout = new QVBoxLayout(parameter);
    parameterLayout->addWidget(Label(this, "Volume fractions", editVolFraction));
    parameterLayout->addWidget(editVolFraction);
    parameterLayout->addWidget(Label(this, "Thickness :", m_editThickness));
    parameterLayout->addWidget(m_editThickness);
    parameterLayout->addWidget(Label(this, "Volume fraction of last layer:",
                                     editLastVolFraction));
    parameterLayout->addWidget(editLastVolFraction);
    third->addWidget(parameter);
    third->addWidget(StructureGroup(this, m_plateSet, m_editRadius));
    third->addStretch();

    auto* columns = new QHBoxLayout(this);
    columns->addLayout(first, 3);
    columns->addLayout(second, 2);
    columns->addLayout(third, 2);
    AddTreeColumns(columns);
    resize(DialogUnits(this, 477, 238));
    SetTabOrderById(this, {IDC_TITLE, IDC_FREQUENCY, IDC_TIME_FROM, IDC_TIME_TO, IDC_LOAD_HT,
                           IDC_LOAD_ANY, IDC_LOAD_DETA, IDC_LOAD_SIN, IDC_LOAD_EXP,
                           IDC_MATERIAL_LIST, IDC_RECEIVER_X, IDC_LOAD_1, IDC_LOAD_2,
                           IDC_LOAD_3, IDC_OUTPUT_1, IDC_OUTPUT_2, IDC_OUTPUT_3, IDC_LAYER_LIST,
                           IDC_VOL_FRACTION, IDC_THICKNESS, IDC_LAST_VOL_FRACTION, IDC_PLATE,
                           IDC_SHELL, IDC_RADIUS, IDC_ADD_LAYER, IDC_REMOVE_LAYER, IDC_TREE,
                           kIdOk, kIdCancel});
}

std::vector<CTreeNode> CFGM::RecordNodes() const {
    std::vector<CTreeNode> nodes;
    const int count = ValidCount(m_pDoc->m_fgmLayers.size(), m_pDoc->m_nFGMLayerCount);
    for (int i = 0; i < count; ++i)
        nodes.push_back(CaptionsForRecord(m_pDoc->m_fgmLayers[static_cast<std::size_t>(i)]).Nodes());
    return nodes;
}

CTreeNode CFGM::AppendLayerRecord(const std::string& label, const std::string& material, int materialNo,
                                  const std::vector<const CMaterial*>&) {
    CFGMLayerCaptions captions;
    captions.m_strLayer = label;
    captions.m_strMaterial = material;
    captions.AppendLayer(m_fThickness, m_fVolFraction);

    CFGMLayer record;
    record.m_strLayer = label;
    record.m_nMaterial = materialNo;
    record.m_fVolFraction = m_fVolFraction;
    record.m_fThickness = m_fThickness;
    AppendRecord(m_pDoc->m_fgmLayers, m_pDoc->m_nFGMLayerCount, record);
    return captions.Nodes();
}

bool CFGM::RemoveRecordOf(const QTreeWidgetItem* node) {
    const std::vector<std::string> c = FirstChildCaptions(node, 2);
    if (c.size() < 2)
        return false;
    const int index = FindFGMLayer(m_pDoc->m_fgmLayers, m_pDoc->m_nFGMLayerCount, c[0], c[1]);
    RemoveRecord(m_pDoc->m_fgmLayers, m_pDoc->m_nFGMLayerCount, index);
    return true;
}
