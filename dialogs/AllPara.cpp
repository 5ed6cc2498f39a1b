#include "AllPara.h"

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

CAllPara::CAllPara(COstrelDoc* pDoc, QWidget* parent) : QDialog(parent), m_pDoc(pDoc) {
    setWindowTitle(QStringLiteral("Parameter for Laminates"));
    setProperty(kControlIdProperty, static_cast<int>(IDD));
    BuildControls();
}

CAllPara::~CAllPara() = default;

void CAllPara::BuildControls() {
    using namespace FormLayout;
    m_editTitle = Edit(this, IDC_TITLE);
    m_editFrequency = Edit(this, IDC_FREQUENCY);
    m_editDimConst = Edit(this, IDC_DIM_CONST);
    m_editTimeFrom = Edit(this, IDC_TIME_FROM);
    m_editTimeTo = Edit(this, IDC_TIME_TO);
    m_editReceiverX = Edit(this, IDC_RECEIVER_X);
    m_editSublayers = Edit(this, IDC_SUBLAYERS);
    m_editThickness = Edit(this, IDC_THICKNESS);
    m_editRadius = Edit(this, IDC_RADIUS);
    m_layerList = WithControlId(new CDropDownList(this), IDC_LAYER_LIST);
    m_materialList = WithControlId(new CDropDownList(this), IDC_MATERIAL_LIST);
    m_tree = WithControlId(new QTreeWidget(this), IDC_TREE);
    SetUpLayerTree(m_tree);
    m_tree->setMinimumWidth(FormLayout::DialogUnits(this, 140, 0).width());

    // Left column: title, input data, load type and direction.
    auto* left = new QVBoxLayout;
    left->addLayout(Row({Label(this, "Title :"), m_editTitle}));
    auto* input = Group(this, "Input data");
    auto* inputLayout = new QVBoxLayout(input);
    inputLayout->addWidget(Label(this, "Frequency of the external force :", m_editFrequency));
    inputLayout->addWidget(m_editFrequency);
    inputLayout->addWidget(Label(this, "Dimensionless constants :", m_editDimConst));
    inputLayout->addWidget(m_editDimConst);
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
    materialLayout->addLayout(Row({Label(this, "Sublayer divided:", m_editSublayers),
                                   m_editSublayers}));
    materialLayout->addLayout(Row({Label(this, "Thickness :", m_editThickness),
                                   m_editThickness}));
    middle->addWidget(material);
    middle->addWidget(StructureGroup(this, m_plateSet, m_editRadius));
    middle->addStretch();

    auto* arrows = ArrowButtons(this, [this] { OnAddLayer(); }, [this] { OnRemoveLayer(); });

    // Right column: the tree and the closing buttons.
    auto* right = new QVBoxLayout;
    auto* output = Group(this, "Output");
    (new QVBoxLayout(output))->addWidget(m_tree);
    right->addWidget(output, 1);
    right->addLayout(OkCancel(this));

    auto* columns = new QHBoxLayout(this);
    columns->addLayout(left, 3);
    columns->addLayout(middle, 3);
    columns->addLayout(arrows);
    columns->addLayout(right, 3);
    resize(DialogUnits(this, 473, 238));
    SetTabOrderById(this, {IDC_TITLE, IDC_FREQUENCY, IDC_DIM_CONST, IDC_TIME_FROM, IDC_TIME_TO,
                           IDC_RECEIVER_X, IDC_LOAD_HT, IDC_LOAD_ANY, IDC_LOAD_DETA,
                           IDC_LOAD_SIN, IDC_LOAD_EXP, IDC_LOAD_X, IDC_LOAD_Y, IDC_LOAD_Z,
                           IDC_OUTPUT_U, IDC_OUTPUT_V, IDC_OUTPUT_W, IDC_LAYER_LIST,
                           IDC_MATERIAL_LIST, IDC_SUBLAYERS, IDC_THICKNESS, IDC_PLATE,
                           IDC_SHELL, IDC_RADIUS, IDC_ADD_LAYER, IDC_REMOVE_LAYER, IDC_TREE,
                           kIdOk, kIdCancel});
}

void CAllPara::showEvent(QShowEvent* event) {
    if (!m_bInitialised) {
        m_bInitialised = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CAllPara::OnInitDialog() {
    ShowField(m_editFrequency, m_dFrequency);
    ShowField(m_editDimConst, m_dDimConst);
    ShowField(m_editReceiverX, m_fReceiverX);
    ShowField(m_editTimeFrom, m_fTimeFrom);
    ShowField(m_editTimeTo, m_fTimeTo);
    ShowField(m_editTitle, m_strTitle);
    ShowField(m_editThickness, m_fThickness);
    ShowField(m_editSublayers, m_nSublayers);
    ShowField(m_editRadius, m_fRadius);

    if (!m_pDoc)
        return;
    if (m_bPlate == 1)
        OnPlate();
    else if (m_bPlate == 0)
        OnShell();
    RestoreRadioButtons();

    FillMaterialList(m_materialList, m_pDoc->m_materials, m_pDoc->m_nMaterials);
    FillLayerList(m_layerList, m_pDoc->m_nLayers);

    m_imageList = LoadTreeIconList();
    FillLayerTree();
}

void CAllPara::RestoreRadioButtons() {
    m_loadTypeSet.Restore();
    m_loadDirSet.Restore();
    m_outputSet.Restore();
}

void CAllPara::FillLayerTree() {
    const int count = ValidCount(m_pDoc->m_layers.size(), m_pDoc->m_nComLayerCount);
    for (int i = 0; i < count; ++i) {
        m_captions = CaptionsForRecord(m_pDoc->m_layers[static_cast<std::size_t>(i)],
                                       m_pDoc->m_materials, m_pDoc->m_nMaterials);
        InsertLayerNodes();
    }
}

void CAllPara::InsertLayerNodes() {
    m_hLastLayer = AppendNodes(m_tree, m_captions.Nodes(), m_imageList);
}

void CAllPara::OnPlate() {
    m_plateSet.Click(1);
}

void CAllPara::OnShell() {
    m_plateSet.Click(0);
}

bool CAllPara::TakeFields() {
    CFieldReader read(this, m_pMessages);
    read.Double(m_editFrequency, m_dFrequency);
    read.Double(m_editDimConst, m_dDimConst);
    read.Float(m_editReceiverX, m_fReceiverX);
    read.Float(m_editTimeFrom, m_fTimeFrom);
    read.Float(m_editTimeTo, m_fTimeTo);
    read.Text(m_editTitle, m_strTitle);
    read.Float(m_editThickness, m_fThickness);
    read.Integer(m_editSublayers, m_nSublayers);
    read.Float(m_editRadius, m_fRadius);
    return read.Ok();
}

void CAllPara::OnAddLayer() {
    if (!m_pDoc)
        return;
    // A field that does not read is reported; the layer is still built from the fields as
    // they stand.
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
        if (selected.m_strName == m_captions.m_strMaterial) {
            m_nMaterial = selected.m_nNo;
            m_captions.AppendMaterial(selected);
        }
    }
    m_captions.AppendLayer(m_fThickness, m_nSublayers);
    InsertLayerNodes();

    CLayer record;
    record.m_strLayer = m_captions.m_strLayer;
    record.m_strMaterial = m_captions.m_strMaterial;
    record.m_nMaterial = m_nMaterial;
    record.m_nSublayers = m_nSublayers;
    record.m_fThickness = m_fThickness;
    AppendRecord(m_pDoc->m_layers, m_pDoc->m_nComLayerCount, record);
}

void CAllPara::OnRemoveLayer() {
    if (!m_pDoc)
        return;
    QTreeWidgetItem* selected = SelectedNode(m_tree);
    const std::vector<std::string> c = FirstChildCaptions(selected, 3);
    if (c.size() < 3)
        return;
    const int index = FindComLayer(m_pDoc->m_layers, m_pDoc->m_nComLayerCount, c[0], c[1], c[2]);
    if (index >= 0)
        RemoveRecord(m_pDoc->m_layers, m_pDoc->m_nComLayerCount, index);
    if (selected == m_hLastLayer)
        m_hLastLayer = nullptr;
    delete selected;
}

void CAllPara::accept() {
    if (TakeFields())
        done(kFormOk);
}

void CAllPara::reject() {
    done(kFormCancel);
}
