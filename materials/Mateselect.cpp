#include "Mateselect.h"

#include <cfloat>
#include <cmath>

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "AddRecord.h"
#include "CopyNumbering.h"
#include "DBException.h"
#include "DeleteRecord.h"
#include "FieldReading.h"
#include "FormatSevenDigits.h"
#include "FormWidgets.h"
#include "MyRecordSet.h"
#include "OstrelDoc.h"
#include "QtUiServices.h"
#include "RecordList.h"
#include "TreeIcons.h"
#include "UpdateRecord.h"

namespace {

// The first nine images of the parameter forms' tree icon list are this form's.
enum Image : int {
    kFolderClosed = 0,
    kFolderOpen = 1,
    kConstants = 2,
    kModulus = 3,
    kShear = 4,
    kPoisson = 5,
    kProperties = 6,
    kDensity = 7,
    kAngle = 8,
    kImageCount = 9
};

QString Seven(double value) { return QString::fromStdString(FormatSevenDigits(value)); }

QLineEdit* NumberEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

// Reads one numeric field into value; false when it holds no number.
bool ReadNumber(const QLineEdit* edit, double& value) {
    const auto read = ParseNumberField(edit->text().toStdString());
    if (!read)
        return false;
    value = *read;
    return true;
}

}  // namespace

CMateselect::CMateselect(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Material Parameter"));
    setModal(true);
    BuildLayout();
}

CMateselect::~CMateselect() = default;

void CMateselect::BuildLayout() {
    m_pName = new QComboBox(this);
    m_pName->setObjectName(QStringLiteral("materialName"));  // 1012
    m_pName->setEditable(true);
    m_pName->setInsertPolicy(QComboBox::NoInsert);
    // A plain drop-down: the edit field keeps exactly what is typed.
    m_pName->setCompleter(nullptr);
    // Nor does leaving the field or pressing Enter pick an entry whose text was typed: a name
    // counts as picked only when it was chosen from the list (Enter goes to "OK").
    QObject::disconnect(m_pName->lineEdit(), SIGNAL(editingFinished()), m_pName, nullptr);
    QObject::disconnect(m_pName->lineEdit(), SIGNAL(returnPressed()), m_pName, nullptr);
    ShowWholeEntries(m_pName);

    m_pE1 = NumberEdit(this, "e1");            // 1004
    m_pE2 = NumberEdit(this, "e2");            // 1005
    m_pG12 = NumberEdit(this, "g12");          // 1006
    m_pV12 = NumberEdit(this, "v12");          // 1007
    m_pV23 = NumberEdit(this, "v23");          // 1008
    m_pAngle = NumberEdit(this, "angle");      // 1009
    m_pDensity = NumberEdit(this, "density");  // 1010

    auto* constants = new QGroupBox(QStringLiteral("Constants"), this);
    auto* constantsGrid = new QGridLayout(constants);
    const std::pair<const char*, QLineEdit*> rows[] = {
        {"E1(GPa)", m_pE1}, {"E2(GPa)", m_pE2}, {"G12(GPa)", m_pG12}, {"v12", m_pV12}, {"v23", m_pV23}};
    int row = 0;
    for (const auto& [label, edit] : rows) {
        constantsGrid->addWidget(new QLabel(QString::fromLatin1(label), constants), row, 0);
        constantsGrid->addWidget(edit, row, 1);
        ++row;
    }

    auto* properties = new QGroupBox(QStringLiteral("Properties"), this);
    auto* propertiesGrid = new QGridLayout(properties);
    propertiesGrid->addWidget(new QLabel(QStringLiteral("Density"), properties), 0, 0);
    propertiesGrid->addWidget(m_pDensity, 1, 0);
    propertiesGrid->addWidget(new QLabel(QStringLiteral("Angle"), properties), 0, 1);
    propertiesGrid->addWidget(m_pAngle, 1, 1);

    auto* material = new QGroupBox(QStringLiteral("Material "), this);
    auto* materialLayout = new QVBoxLayout(material);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(QStringLiteral("Material name"), material));
    nameRow->addWidget(m_pName, 1);
    materialLayout->addLayout(nameRow);
    materialLayout->addWidget(constants);
    materialLayout->addWidget(properties);

    auto* addMaterial = new QPushButton(QStringLiteral("----->"), this);
    addMaterial->setObjectName(QStringLiteral("addMaterial"));  // 1001
    auto* removeMaterial = new QPushButton(QStringLiteral("<-----"), this);
    removeMaterial->setObjectName(QStringLiteral("removeMaterial"));  // 1002
    auto* arrows = new QVBoxLayout;
    arrows->addStretch(2);
    arrows->addWidget(addMaterial);
    arrows->addStretch(1);
    arrows->addWidget(removeMaterial);
    arrows->addStretch(2);

    m_pTree = new QTreeWidget(this);
    m_pTree->setObjectName(QStringLiteral("selected"));  // 1013
    m_pTree->setHeaderHidden(true);
    m_pTree->setColumnCount(1);
    m_pTree->setRootIsDecorated(true);
    m_pTree->setDragEnabled(false);
    m_pTree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pTree->setIconSize(QSize(kTreeIconWidth, kTreeIconHeight));
    // The classic style draws the expand buttons with the connecting lines, also between the
    // top-level nodes; the desktop style of the rest of the form may draw neither.
    if (QStyle* lines = QStyleFactory::create(QStringLiteral("Windows"))) {
        lines->setParent(m_pTree);
        m_pTree->setStyle(lines);
    }
    ShowWholeCaptions(m_pTree);
    auto* selected = new QGroupBox(QStringLiteral("Selected"), this);
    auto* selectedLayout = new QVBoxLayout(selected);
    selectedLayout->addWidget(m_pTree);

    auto* top = new QHBoxLayout;
    top->addWidget(material, 3);
    top->addLayout(arrows);
    top->addWidget(selected, 2);

    auto* addRecord = new QPushButton(QStringLiteral("Add"), this);
    addRecord->setObjectName(QStringLiteral("addRecord"));  // 3
    auto* deleteRecord = new QPushButton(QStringLiteral("Delete"), this);
    deleteRecord->setObjectName(QStringLiteral("deleteRecord"));  // 4
    auto* updateRecord = new QPushButton(QStringLiteral("Update"), this);
    updateRecord->setObjectName(QStringLiteral("updateRecord"));  // 5
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    auto* bottom = new QHBoxLayout;
    for (QPushButton* button : {addRecord, deleteRecord, updateRecord, ok, cancel}) {
        bottom->addWidget(button);
        if (button != ok)
            button->setAutoDefault(false);
    }
    addMaterial->setAutoDefault(false);
    removeMaterial->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(bottom);
    resize(DialogUnitsToPixels(this, QSize(406, 229)).expandedTo(minimumSizeHint()));

    connect(m_pName, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        m_nCurSel = index;
        OnSelchangeMaterial();
    });
    connect(m_pName->lineEdit(), &QLineEdit::textEdited, this, [this] { OnEditchangeMaterial(); });
    connect(addRecord, &QPushButton::clicked, this, [this] { OnAddRecord(); });
    connect(deleteRecord, &QPushButton::clicked, this, [this] { OnDeleteRecord(); });
    connect(updateRecord, &QPushButton::clicked, this, [this] { OnUpdateRecord(); });
    connect(addMaterial, &QPushButton::clicked, this, [this] { OnAddMaterial(); });
    connect(removeMaterial, &QPushButton::clicked, this, [this] { OnRemoveMaterial(); });
    connect(ok, &QPushButton::clicked, this, [this] {
        if (ReadForm())
            accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

int CMateselect::DoModal() { return exec() == QDialog::Accepted ? 1 : 2; }

void CMateselect::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_bInitialized) {
        m_bInitialized = true;
        OnInitDialog();
    }
}

template <class Action>
void CMateselect::Guarded(Action action) {
    // A database error ends the user's action where it happened and is shown; the form stays.
    try {
        action();
    } catch (const CDBException& error) {
        ShowMessage(error.m_strError.c_str());
    }
}

void CMateselect::ShowMessage(const char* text) {
    IMessageSink* sink = m_pMessages;
    if (!sink && m_pDoc)
        sink = m_pDoc->m_services.messages;
    ShowFormMessage(sink, this, text);
}

bool CMateselect::NameFits(const QString& name) {
    if (name.toUcs4().size() <= kMaxMaterialNameLength)
        return true;
    ShowMessage(kNameTooLongMessage);
    return false;
}

void CMateselect::ShowValues() {
    m_pAngle->setText(QString::fromStdString(FormatFloatField(m_fAngle)));
    m_pDensity->setText(QString::fromStdString(FormatDoubleField(m_dDensity)));
    m_pG12->setText(QString::fromStdString(FormatDoubleField(m_dG12)));
    m_pE1->setText(QString::fromStdString(FormatDoubleField(m_dE1)));
    m_pE2->setText(QString::fromStdString(FormatDoubleField(m_dE2)));
    m_pV12->setText(QString::fromStdString(FormatDoubleField(m_dV12)));
    m_pV23->setText(QString::fromStdString(FormatDoubleField(m_dV23)));
    m_pName->setEditText(m_strMaterial);
    m_pName->lineEdit()->setCursorPosition(0);
}

bool CMateselect::ReadForm() {
    double angle = m_fAngle;
    const std::pair<QLineEdit*, double*> fields[] = {
        {m_pAngle, &angle}, {m_pDensity, &m_dDensity}, {m_pG12, &m_dG12}, {m_pE1, &m_dE1},
        {m_pE2, &m_dE2},    {m_pV12, &m_dV12},         {m_pV23, &m_dV23}};
    for (const auto& [edit, value] : fields) {
        bool ok = ReadNumber(edit, *value);
        // The angle is held in single precision; a number beyond its range does not read.
        if (ok && value == &angle) {
            ok = std::fabs(angle) <= FLT_MAX;
            if (ok)
                m_fAngle = static_cast<float>(angle);
        }
        if (!ok) {
            ShowMessage(kEnterNumberMessage);
            edit->setFocus();
            edit->selectAll();
            return false;
        }
    }
    m_strMaterial = m_pName->currentText();
    return true;
}

void CMateselect::ShowCurrentRow() {
    m_pE1->setText(Seven(m_pSet->m_E1GPa));
    m_pE2->setText(Seven(m_pSet->m_E2GPa));
    m_pG12->setText(Seven(m_pSet->m_G12GPa));
    m_pDensity->setText(Seven(m_pSet->m_p));
    m_pV12->setText(Seven(m_pSet->m_v12));
    m_pV23->setText(Seven(m_pSet->m_v23));
    m_pAngle->setText(Seven(m_pSet->m_Angle));
}

void CMateselect::ClearForm() {
    m_fAngle = 0;
    m_dDensity = m_dG12 = m_dE1 = m_dE2 = m_dV12 = m_dV23 = 0;
    m_strMaterial.clear();
    ShowValues();
    m_nCurSel = -1;
}

void CMateselect::InsertSortedName(const QString& name) {
    // Sorted without regard to case; an equal name goes after those already there.
    int at = 0;
    while (at < m_pName->count() && QString::compare(m_pName->itemText(at), name, Qt::CaseInsensitive) <= 0)
        ++at;
    m_pName->insertItem(at, name);
    FitListToEntries(m_pName);
}

void CMateselect::PickEntry(int index) {
    m_pName->setCurrentIndex(index);
    m_pName->setEditText(m_pName->itemText(index));
    m_pName->lineEdit()->setCursorPosition(0);
    m_nCurSel = index;
}

void CMateselect::FillNameList() {
    for (m_pSet->MoveFirst(); !m_pSet->IsEOF(); m_pSet->MoveNext())
        InsertSortedName(m_pSet->m_Material);
    if (m_pName->count() > 0)
        PickEntry(0);
}

void CMateselect::OnInitDialog() {
    ClearForm();
    m_images = LoadTreeIconList().mid(0, kImageCount);
    if (!m_pDoc || !m_pSet)
        return;
    Guarded([this] {
        if (m_pSet->IsOpen())
            m_pSet->Close();
        m_pSet->Open();
        if (!m_pSet->IsBOF())
            FillNameList();
    });
}

void CMateselect::OnSelchangeMaterial() {
    if (!m_pSet || m_nCurSel < 0)
        return;
    const QString picked = m_pName->itemText(m_nCurSel);
    Guarded([this, &picked] {
        for (m_pSet->MoveFirst(); !m_pSet->IsEOF(); m_pSet->MoveNext()) {
            if (m_pSet->m_Material == picked) {
                ShowCurrentRow();
                return;
            }
        }
    });
}

void CMateselect::OnEditchangeMaterial() {
    m_nCurSel = -1;
    ReadForm();
}

void CMateselect::RefreshMaterialList() {
    // The form is read so the held values follow the fields; the list and the fields are filled
    // anew below, so a field that does not read only costs its message.
    ReadForm();
    m_pName->clear();
    m_nCurSel = -1;
    if (!m_pSet)
        return;
    if (m_pSet->IsOpen())
        m_pSet->Close();
    m_pSet->Open();
    if (m_pSet->IsBOF())
        return;
    FillNameList();
    m_pSet->MoveFirst();
    ShowCurrentRow();
}

void CMateselect::WriteNewRow() {
    m_pSet->AddNew();
    m_pSet->m_Material = m_strMaterial;
    m_pSet->m_E1GPa = m_dE1;
    m_pSet->m_E2GPa = m_dE2;
    m_pSet->m_G12GPa = m_dG12;
    m_pSet->m_v12 = m_dV12;
    m_pSet->m_v23 = m_dV23;
    m_pSet->m_p = m_dDensity;
    m_pSet->m_Angle = m_fAngle;
    if (m_pSet->CanUpdate())
        m_pSet->Update();
}

namespace {

// A failed step of Update, told as what it means for the row: the driver's words, and whether
// the connection went with it.
[[noreturn]] void RaiseUpdateFailure(const CDBException& error, const std::string& outcome) {
    const std::string detail = error.m_strDetail.empty() ? error.m_strError : error.m_strDetail;
    std::string text = "The material could not be updated; " + outcome + ": " + detail;
    if (error.m_bConnectionLost)
        text += "\n\nThe connection to the material data source was lost; it is made again at the next action.";
    throw CDBException(text, error.m_strDetail, error.m_bConnectionLost);
}

[[noreturn]] void RaiseGone(const char* action) {
    throw CDBException(std::string("The material was not ") + action +
                           ": another user removed it from the material set since the list was read.",
                       {}, false, true);
}

}  // namespace

void CMateselect::ReplaceCurrentRow() {
    // One unit of work: when the new row is refused, the old one is still in the table. A
    // driver without transactions writes the new row first, so a refusal loses nothing there
    // either; it looks for the old row first, so a row another user removed is not made again.
    if (!m_pSet->CanTransact()) {
        if (!m_pSet->CurrentRowStillThere())
            RaiseGone("updated");
        try {
            WriteNewRow();
        } catch (const CDBException& error) {
            RaiseUpdateFailure(error, "the old row is kept");
        }
        try {
            m_pSet->Delete();
        } catch (const CDBException& error) {
            RaiseUpdateFailure(error, "the new row was added but the old row could not be removed");
        }
        return;
    }
    try {
        m_pSet->BeginTrans();
        try {
            m_pSet->Delete();
            WriteNewRow();
            m_pSet->CommitTrans();
        } catch (...) {
            m_pSet->Rollback();
            throw;
        }
    } catch (const CDBException& error) {
        if (error.m_bRowGone)
            RaiseGone("updated");
        RaiseUpdateFailure(error, "the old row is kept");
    }
}

void CMateselect::ChangeRow(const std::function<void()>& change) {
    // A row another user removed meanwhile is said, and the list is read again so it shows the
    // table as it is.
    try {
        change();
    } catch (const CDBException& error) {
        if (!error.m_bRowGone)
            throw;
        const std::string tail = " The list now shows the material set as it is.";
        const bool told = error.m_strError.size() >= tail.size() &&
                          error.m_strError.compare(error.m_strError.size() - tail.size(), tail.size(), tail) == 0;
        ShowMessage((error.m_strError + (told ? "" : tail)).c_str());
    }
    m_pSet->Requery();
}

void CMateselect::OnAddRecord() {
    if (!m_pSet)
        return;
    Guarded([this] {
        // A field that does not read ends the action: nothing is written from stale values.
        if (!ReadForm())
            return;
        // A table that could not be read when the form opened (a server that was down) is read
        // now, so a new row can be added once the data source is back.
        if (!m_pSet->IsOpen())
            m_pSet->Open();
        const QString name = m_strMaterial;
        if (!m_pSet->IsBOF())
            m_pSet->MoveFirst();
        if (name.isEmpty()) {
            ShowMessage(kEnterMaterialNameMessage);
            return;
        }
        if (!NameFits(name))
            return;
        for (; !m_pSet->IsEOF(); m_pSet->MoveNext()) {
            if (m_pSet->m_Material == name) {
                ShowMessage(kMaterialExistsMessage);
                return;
            }
        }
        if (CAddRecord(this).DoModal() == 1) {
            WriteNewRow();
            m_pSet->Requery();
        }
        RefreshMaterialList();
    });
}

void CMateselect::OnDeleteRecord() {
    if (!m_pSet)
        return;
    Guarded([this] {
        if (m_pSet->IsBOF()) {
            ClearForm();
            return;
        }
        if (CDeleteRecord(this).DoModal() == 1)
            ChangeRow([this] { m_pSet->Delete(); });
        RefreshMaterialList();
    });
}

void CMateselect::OnUpdateRecord() {
    if (!m_pSet)
        return;
    Guarded([this] {
        if (m_pSet->IsBOF())
            return;
        if (!ReadForm() || !NameFits(m_strMaterial))
            return;
        if (CUpdateRecord(this).DoModal() == 1)
            ChangeRow([this] { ReplaceCurrentRow(); });
        RefreshMaterialList();
    });
}

void CMateselect::OnAddMaterial() {
    if (!m_pDoc)
        return;
    if (!ReadForm())
        return;
    if (m_nCurSel < 0 || m_nCurSel >= m_pName->count()) {
        ShowMessage(kNotInSetMessage);
        Guarded([this] { RefreshMaterialList(); });
        return;
    }
    m_strSelName = m_pName->itemText(m_nCurSel);
    const CNumberedName numbered =
        NumberedCopyName(m_pDoc->m_materials, m_pDoc->m_nMaterials, m_strSelName.toStdString());
    m_strSelName = QString::fromStdString(numbered.name);
    AddMaterialToTree();
    m_pTree->setEnabled(true);

    CMaterial material;
    material.m_strName = numbered.name;
    material.m_nNo = numbered.number;
    material.m_dE1 = m_dE1;
    material.m_dE2 = m_dE2;
    material.m_dG12 = m_dG12;
    material.m_dV12 = m_dV12;
    material.m_dV23 = m_dV23;
    material.m_dDensity = m_dDensity;
    material.m_fAngle = m_fAngle;
    AppendRecord(m_pDoc->m_materials, m_pDoc->m_nMaterials, material);
}

QTreeWidgetItem* CMateselect::AddNode(QTreeWidgetItem* parent, const QString& caption, int image) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_pTree);
    item->setText(0, caption);
    item->setToolTip(0, caption);
    if (image < m_images.size()) {
        QIcon icon(m_images[image]);
        // The material node shows the open folder while it is selected.
        if (image == kFolderClosed && kFolderOpen < m_images.size())
            icon.addPixmap(m_images[kFolderOpen], QIcon::Selected);
        item->setIcon(0, icon);
    }
    return item;
}

void CMateselect::AddMaterialToTree() {
    QTreeWidgetItem* material = AddNode(nullptr, m_strSelName, kFolderClosed);
    QTreeWidgetItem* constants = AddNode(material, QStringLiteral("constants"), kConstants);
    QTreeWidgetItem* properties = AddNode(material, QStringLiteral("properties"), kProperties);
    AddNode(constants, QStringLiteral("E1(GPa) : ") + Seven(m_dE1), kModulus);
    AddNode(constants, QStringLiteral("E2(GPa) : ") + Seven(m_dE2), kModulus);
    AddNode(constants, QStringLiteral("G12(GPa) : ") + Seven(m_dG12), kShear);
    AddNode(constants, QStringLiteral("v12 : ") + Seven(m_dV12), kPoisson);
    AddNode(constants, QStringLiteral("v23 : ") + Seven(m_dV23), kPoisson);
    AddNode(properties, QStringLiteral("density : ") + Seven(m_dDensity), kDensity);
    AddNode(properties, QStringLiteral("angle : ") + Seven(m_fAngle), kAngle);
}

void CMateselect::OnRemoveMaterial() {
    if (!m_pDoc)
        return;
    const QList<QTreeWidgetItem*> chosen = m_pTree->selectedItems();
    if (chosen.isEmpty())
        return;
    QTreeWidgetItem* node = chosen.first();
    const std::string caption = node->text(0).toStdString();
    for (int i = 0; i < m_pDoc->m_nMaterials; ++i) {
        if (m_pDoc->m_materials[static_cast<std::size_t>(i)].m_strName == caption) {
            RemoveRecord(m_pDoc->m_materials, m_pDoc->m_nMaterials, i);
            break;
        }
    }
    delete node;  // with all its children
}
