#include "LayerStackForm.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "FormLayout.h"
#include "OstrelDoc.h"
#include "ProjectKind.h"
#include "TreeIcons.h"

namespace {

// The values of the radio sets in both directions: one list, so none is copied one way only.
template <class Form, class Doc, class Copy>
void ExchangeChoices(Form& form, Doc& doc, const CProjectKind& k, Copy copy) {
    copy(form.m_nLoadType, doc.*k.loadType);
    copy(form.m_nLoadDir, doc.*k.loadDir);
    copy(form.m_nOutput, doc.*k.output);
    copy(form.m_bPlate, doc.*k.plate);
}

}  // namespace

CLayerStackForm::CLayerStackForm(const CProjectKind& kind, COstrelDoc* pDoc, QWidget* parent, const char* caption,
                                 int idd, int thicknessId)
    : QDialog(parent), m_pDoc(pDoc), m_kind(kind) {
    setWindowTitle(QString::fromLatin1(caption));
    setProperty(kControlIdProperty, idd);
    using namespace FormLayout;
    m_editTitle = AddField(IDC_TITLE, TField<std::string>{&m_strTitle, kind.title});
    m_editFrequency = AddField(IDC_FREQUENCY, TField<double>{&m_dFrequency, kind.frequency});
    // The caption is the form's own; the unit goes where the pointer and screen readers find it.
    m_editFrequency->setToolTip(QStringLiteral("In rad/us: omega = 2 pi f, so 1 MHz is 6.2832 rad/us. "
                                               "The loads Exp(iwt) and Sin(wt) use it."));
    m_editFrequency->setAccessibleDescription(m_editFrequency->toolTip());
    m_editTimeFrom = AddField(IDC_TIME_FROM, TField<float>{&m_fTimeFrom, kind.timeFrom});
    m_editTimeTo = AddField(IDC_TIME_TO, TField<float>{&m_fTimeTo, kind.timeTo});
    m_editReceiverX = AddField(IDC_RECEIVER_X, TField<float>{&m_fReceiverX, kind.receiverX});
    m_editThickness = AddField(thicknessId, TField<float>{&m_fThickness});
    m_editRadius = AddField(IDC_RADIUS, TField<float>{&m_fRadius, kind.radius});
    m_layerList = WithControlId(new CDropDownList(this), IDC_LAYER_LIST);
    m_materialList = WithControlId(new CDropDownList(this), IDC_MATERIAL_LIST);
    m_tree = WithControlId(new QTreeWidget(this), IDC_TREE);
    SetUpLayerTree(m_tree);
    m_tree->setMinimumWidth(DialogUnits(this, 140, 0).width());
}

CLayerStackForm::~CLayerStackForm() = default;

QLineEdit* CLayerStackForm::AddField(int id, FieldValue field) {
    QLineEdit* edit = FormLayout::Edit(this, id);
    m_fields.push_back({id, edit, field});
    return edit;
}

void CLayerStackForm::SetReadingOrder(std::initializer_list<int> ids) {
    std::vector<CBoundField> ordered;
    for (int id : ids) {
        const auto it = std::find_if(m_fields.begin(), m_fields.end(), [id](const CBoundField& f) { return f.id == id; });
        if (it == m_fields.end())
            continue;
        ordered.push_back(*it);
        m_fields.erase(it);
    }
    ordered.insert(ordered.end(), m_fields.begin(), m_fields.end());
    m_fields = std::move(ordered);
}

void CLayerStackForm::AddTreeColumns(QHBoxLayout* columns) {
    using namespace FormLayout;
    auto* arrows = ArrowButtons(this, [this] { OnAddLayer(); }, [this] { OnRemoveLayer(); });
    auto* right = new QVBoxLayout;
    auto* output = Group(this, "Output");
    (new QVBoxLayout(output))->addWidget(m_tree);
    right->addWidget(output, 1);
    right->addLayout(OkCancel(this));
    columns->addLayout(arrows);
    columns->addLayout(right, 3);
}

float CLayerStackForm::DefaultThickness(int nLayers) {
    return nLayers == 0 ? 0.0f : static_cast<float>(1.0 / nLayers);
}

template <class Copy>
void CLayerStackForm::ExchangeFields(Copy copy) const {
    for (const CBoundField& f : m_fields)
        std::visit([&](const auto& field) { if (field.member) copy(*field.value, field.member); }, f.field);
}

void CLayerStackForm::LoadFrom(const COstrelDoc& doc) {
    ExchangeChoices(*this, doc, m_kind, [](auto& form, const auto& value) { form = value; });
    ExchangeFields([&](auto& form, auto member) { form = doc.*member; });
    m_fThickness = DefaultThickness(doc.m_nLayers);
}

void CLayerStackForm::StoreTo(COstrelDoc& doc) const {
    ExchangeChoices(*this, doc, m_kind, [](const auto& form, auto& value) { value = form; });
    ExchangeFields([&](const auto& form, auto member) { doc.*member = form; });
}

void CLayerStackForm::showEvent(QShowEvent* event) {
    if (!m_bInitialised) {
        m_bInitialised = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CLayerStackForm::OnInitDialog() {
    for (const CBoundField& f : m_fields)
        std::visit([&](const auto& field) { ShowField(f.edit, *field.value); }, f.field);
    if (!m_pDoc)
        return;
    if (m_bPlate == 1)
        OnPlate();
    else if (m_bPlate == 0)
        OnShell();
    m_loadTypeSet.Restore();
    m_loadDirSet.Restore();
    m_outputSet.Restore();
    FillMaterialList(m_materialList, m_pDoc->m_materials, m_pDoc->m_nMaterials);
    FillLayerList(m_layerList, m_pDoc->m_nLayers);
    m_imageList = LoadTreeIconList();
    FillLayerTree();
}

void CLayerStackForm::FillLayerTree() {
    for (const CTreeNode& nodes : RecordNodes())
        InsertLayerNodes(nodes);
}

void CLayerStackForm::InsertLayerNodes(const CTreeNode& nodes) {
    m_hLastLayer = AppendNodes(m_tree, nodes, m_imageList);
}

void CLayerStackForm::OnPlate() {
    m_plateSet.Click(1);
}

void CLayerStackForm::OnShell() {
    m_plateSet.Click(0);
}

bool CLayerStackForm::TakeFields() {
    CFieldReader read(this, m_pMessages);
    for (const CBoundField& f : m_fields) {
        std::visit(
            [&](const auto& field) {
                using T = std::remove_pointer_t<decltype(field.value)>;
                if constexpr (std::is_same_v<T, double>)
                    read.Double(f.edit, *field.value);
                else if constexpr (std::is_same_v<T, float>)
                    read.Float(f.edit, *field.value);
                else if constexpr (std::is_same_v<T, int>)
                    read.Integer(f.edit, *field.value);
                else
                    read.Text(f.edit, *field.value);
            },
            f.field);
    }
    return read.Ok();
}

void CLayerStackForm::OnAddLayer() {
    if (!m_pDoc)
        return;
    // A field that does not read is reported; the layer is still built from the fields as
    // they stand.
    TakeFields();
    const int layer = m_layerList->GetCurSel();
    if (layer < 0)
        return;
    const std::string label = m_layerList->GetItemText(layer);
    const int picked = m_materialList->GetCurSel();
    if (picked < 0)
        return;
    const std::string material = m_materialList->GetItemText(picked);

    std::vector<const CMaterial*> matches;
    const int nMaterials = ValidCount(m_pDoc->m_materials.size(), m_pDoc->m_nMaterials);
    for (int i = 0; i < nMaterials; ++i) {
        const CMaterial& selected = m_pDoc->m_materials[static_cast<std::size_t>(i)];
        if (selected.m_strName == material) {
            m_nMaterial = selected.m_nNo;
            matches.push_back(&selected);
        }
    }
    InsertLayerNodes(AppendLayerRecord(label, material, m_nMaterial, matches));
}

void CLayerStackForm::OnRemoveLayer() {
    if (!m_pDoc)
        return;
    QTreeWidgetItem* selected = SelectedNode(m_tree);
    if (!RemoveRecordOf(selected))
        return;
    if (selected == m_hLastLayer)
        m_hLastLayer = nullptr;
    delete selected;
}

void CLayerStackForm::accept() {
    if (TakeFields())
        done(kFormOk);
}

void CLayerStackForm::reject() {
    done(kFormCancel);
}
