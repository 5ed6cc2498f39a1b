#include "FGM.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "FormLayout.h"
#include "OstrelDoc.h"
#include "RecordList.h"
#include "TreeIcons.h"

CFGM::CFGM(COstrelDoc* pDoc, QWidget* parent) : QDialog(parent), m_pDoc(pDoc) {
    setWindowTitle(QStringLiteral("Parameter for FGM"));
    setProperty(kControlIdProperty, static_cast<int>(IDD));
    BuildControls();
}

CFGM::~CFGM() = default;

void CFGM::BuildControls() {
    using namespace FormLayout;
    m_editTitle = Edit(this, IDC_TITLE);
    m_editFrequency = Edit(this, IDC_FREQUENCY);
    m_editTimeFrom = Edit(this, IDC_TIME_FROM);
    m_editTimeTo = Edit(this, IDC_TIME_TO);
    m_editReceiverX = Edit(this, IDC_RECEIVER_X);
    m_editVolFraction = Edit(this, IDC_VOL_FRACTION);
    m_editThickness = Edit(this, IDC_THICKNESS);
    m_editLastVolFraction = Edit(this, IDC_LAST_VOL_FRACTION);
    m_editRadius = Edit(this, IDC_RADIUS);
    m_layerList = WithControlId(new CDropDownList(this), IDC_LAYER_LIST);
    m_materialList = WithControlId(new CDropDownList(this), IDC_MATERIAL_LIST);
    m_tree = WithControlId(new QTreeWidget(this), IDC_TREE);
    SetUpLayerTree(m_tree);
    m_tree->setMinimumWidth(FormLayout::DialogUnits(this, 140, 0).width());

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
    parameterLayout->addWidget(Label(this, "Volume fractions", m_editVolFraction));
    parameterLayout->addWidget(m_editVolFraction);
    parameterLayout->addWidget(Label(this, "Thickness :", m_editThickness));
    parameterLayout->addWidget(m_editThickness);
    parameterLayout->addWidget(Label(this, "Volume fraction of last layer:",
                                     m_editLastVolFraction));
    parameterLayout->addWidget(m_editLastVolFraction);
    third->addWidget(parameter);
    third->addWidget(StructureGroup(this, m_plateSet, m_editRadius));
    third->addStretch();

    auto* arrows = ArrowButtons(this, [this] { OnAddLayer(); }, [this] { OnRemoveLayer(); });

    auto* fourth = new QVBoxLayout;
    auto* output = Group(this, "Output");
    (new QVBoxLayout(output))->addWidget(m_tree);
    fourth->addWidget(output, 1);
    fourth->addLayout(OkCancel(this));

    auto* columns = new QHBoxLayout(this);
    columns->addLayout(first, 3);
    columns->addLayout(second, 2);
    columns->addLayout(third, 2);
    columns->addLayout(arrows);
    columns->addLayout(fourth, 3);
    resize(DialogUnits(this, 477, 238));
    SetTabOrderById(this, {IDC_TITLE, IDC_FREQUENCY, IDC_TIME_FROM, IDC_TIME_TO, IDC_LOAD_HT,
                           IDC_LOAD_ANY, IDC_LOAD_DETA, IDC_LOAD_SIN, IDC_LOAD_EXP,
                           IDC_MATERIAL_LIST, IDC_RECEIVER_X, IDC_LOAD_1, IDC_LOAD_2,
                           IDC_LOAD_3, IDC_OUTPUT_1, IDC_OUTPUT_2, IDC_OUTPUT_3, IDC_LAYER_LIST,
                           IDC_VOL_FRACTION, IDC_THICKNESS, IDC_LAST_VOL_FRACTION, IDC_PLATE,
                           IDC_SHELL, IDC_RADIUS, IDC_ADD_LAYER, IDC_REMOVE_LAYER, IDC_TREE,
                           kIdOk, kIdCancel});
}

void CFGM::showEvent(QShowEvent* event) {
    if (!m_bInitialised) {
        m_bInitialised = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CFGM::OnInitDialog() {
    ShowField(m_editFrequency, m_dFrequency);
    ShowField(m_editRadius, m_fRadius);
    ShowField(m_editThickness, m_fThickness);
    ShowField(m_editReceiverX, m_fReceiverX);
    ShowField(m_editTimeFrom, m_fTimeFrom);
    ShowField(m_editTimeTo, m_fTimeTo);
    ShowField(m_editTitle, m_strTitle);
    ShowField(m_editVolFraction, m_fVolFraction);
    ShowField(m_editLastVolFraction, m_fLastVolFraction);

    if (!m_pDoc)
        return;
    if (m_bPlate == 1)
        OnPlate();
    else if (m_bPlate == 0)
        OnShell();

    FillMaterialList(m_materialList, m_pDoc->m_materials, m_pDoc->m_nMaterials);
    FillLayerList(m_layerList, m_pDoc->m_nLayers);
    RestoreRadioButtons();

    m_imageList = LoadTreeIconList();
    FillLayerTree();
}

void CFGM::RestoreRadioButtons() {
    m_loadTypeSet.Restore();
    m_loadDirSet.Restore();
    m_outputSet.Restore();
}

void CFGM::FillLayerTree() {
    const int count = ValidCount(m_pDoc->m_fgmLayers.size(), m_pDoc->m_nFGMLayerCount);
    for (int i = 0; i < count; ++i) {
        m_captions = CaptionsForRecord(m_pDoc->m_fgmLayers[static_cast<std::size_t>(i)]);
        InsertLayerNodes();
    }
}

void CFGM::InsertLayerNodes() {
    m_hLastLayer = AppendNodes(m_tree, m_captions.Nodes(), m_imageList);
}

void CFGM::OnPlate() {
    m_plateSet.Click(1);
}

void CFGM::OnShell() {
    m_plateSet.Click(0);
}

bool CFGM::TakeFields() {
    CFieldReader read(this, m_pMessages);
    read.Double(m_editFrequency, m_dFrequency);
    read.Float(m_editRadius, m_fRadius);
    read.Float(m_editThickness, m_fThickness);
    read.Float(m_editReceiverX, m_fReceiverX);
    read.Float(m_editTimeFrom, m_fTimeFrom);
    read.Float(m_editTimeTo, m_fTimeTo);
    read.Text(m_editTitle, m_strTitle);
    read.Float(m_editVolFraction, m_fVolFraction);
    read.Float(m_editLastVolFraction, m_fLastVolFraction);
    return read.Ok();
}

void CFGM::OnAddLayer() {
    if (!m_pDoc)
        return;
    // As on the laminate form, a field that does not read is reported and the layer is built
    // from the fields as they stand.
    TakeFields();
    m_captions.Reset();
    const int layer = m_layerList->GetCurSel();
    if (layer < 0)
        return;
    m_captions.m_strLayer = m_layerList->GetItemText(layer);
    const int material = m_materialList->GetCurSel();
    if (material < 0)
        return;
    m_captions.m_strMaterial = m_materialList->GetItemText(material);

    const int nMaterials = ValidCount(m_pDoc->m_materials.size(), m_pDoc->m_nMaterials);
    for (int i = 0; i < nMaterials; ++i) {
        const CMaterial& selected = m_pDoc->m_materials[static_cast<std::size_t>(i)];
        if (selected.m_strName == m_captions.m_strMaterial)
            m_nMaterial = selected.m_nNo;
    }
    m_captions.AppendLayer(m_fThickness, m_fVolFraction);
    InsertLayerNodes();

    CFGMLayer record;
    record.m_strLayer = m_captions.m_strLayer;
    record.m_nMaterial = m_nMaterial;
    record.m_fVolFraction = m_fVolFraction;
    record.m_fThickness = m_fThickness;
    AppendRecord(m_pDoc->m_fgmLayers, m_pDoc->m_nFGMLayerCount, record);
}

void CFGM::OnRemoveLayer() {
    if (!m_pDoc)
        return;
    QTreeWidgetItem* selected = SelectedNode(m_tree);
    const std::vector<std::string> c = FirstChildCaptions(selected, 2);
    if (c.size() < 2)
        return;
    const int index = FindFGMLayer(m_pDoc->m_fgmLayers, m_pDoc->m_nFGMLayerCount, c[0], c[1]);
    if (index >= 0)
        RemoveRecord(m_pDoc->m_fgmLayers, m_pDoc->m_nFGMLayerCount, index);
    if (selected == m_hLastLayer)
        m_hLastLayer = nullptr;
    delete selected;
}

void CFGM::accept() {
    if (TakeFields())
        done(kFormOk);
}

void CFGM::reject() {
    done(kFormCancel);
}
