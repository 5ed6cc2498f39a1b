#include "FormWidgets.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QHeaderView>
#include <QIcon>
#include <QScreen>
#include <QLineEdit>
#include <QStyle>
#include <QStyleFactory>

#include "FieldReading.h"
#include "QtUiServices.h"

void SetTabOrderById(QWidget* root, std::initializer_list<int> ids) {
    QWidget* previous = nullptr;
    for (int id : ids) {
        QWidget* next = FindControl(root, id);
        if (previous && next)
            QWidget::setTabOrder(previous, next);
        if (next)
            previous = next;
    }
}

QWidget* FindControl(const QWidget* root, int id) {
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        const QVariant value = widget->property(kControlIdProperty);
        if (value.isValid() && value.toInt() == id)
            return widget;
    }
    return nullptr;
}

CDropDownList::CDropDownList(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    // Typed text is never added to the list nor completed into an entry.
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    setMaxVisibleItems(12);
    // Qt picks the entry equal to the typed text when the field loses the focus or Enter is
    // pressed; here typing never picks, so those two reactions of the combo box are cut.
    disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
    disconnect(lineEdit(), &QLineEdit::returnPressed, this, nullptr);
    connect(this, &QComboBox::activated, this, [this](int index) { m_nPicked = index; });
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { m_nPicked = -1; });
    ShowWholeEntries(this);
}

void CDropDownList::SetCurSel(int index) {
    if (index >= 0 && index < count()) {
        setCurrentIndex(index);
        m_nPicked = index;
    } else {
        m_nPicked = -1;
    }
}

std::string CDropDownList::GetItemText(int index) const {
    if (index < 0 || index >= count())
        return {};
    return itemText(index).toStdString();
}

void CDropDownList::AddString(const std::string& text) {
    const bool wasEmpty = count() == 0;
    addItem(QString::fromStdString(text));
    FitListToEntries(this);
    // Adding the first entry would make it current; only an explicit pick picks it.
    if (wasEmpty && m_nPicked < 0)
        setEditText(QString());
}

void CRadioSet::Add(QRadioButton* button, int code, std::function<void()> onClick) {
    // No button exclusivity of Qt's own: the set itself decides what is checked.
    button->setAutoExclusive(false);
    m_buttons.emplace_back(button, code);
    m_handlers.push_back(std::move(onClick));
    QObject::connect(button, &QAbstractButton::clicked, button, [this, code] { Click(code); });
}

bool CRadioSet::Click(int code) {
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        if (m_buttons[i].second != code)
            continue;
        m_field = code;
        if (m_handlers[i])
            m_handlers[i]();
        Check(m_buttons[i].first);
        return true;
    }
    return false;
}

QRadioButton* CRadioSet::Button(int code) const {
    for (const auto& [button, buttonCode] : m_buttons)
        if (buttonCode == code)
            return button;
    return nullptr;
}

void CRadioSet::Check(QRadioButton* checked) {
    for (const auto& entry : m_buttons)
        entry.first->setChecked(entry.first == checked);
}

void CFieldReader::Fail(QLineEdit* edit, const char* message) {
    m_ok = false;
    ShowFormMessage(m_messages, m_form, message);
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}

void CFieldReader::Double(QLineEdit* edit, double& value) {
    if (!m_ok)
        return;
    if (const auto read = ParseNumberField(edit->text().toStdString()))
        value = *read;
    else
        Fail(edit, kEnterNumberMessage);
}

void CFieldReader::Float(QLineEdit* edit, float& value) {
    if (!m_ok)
        return;
    if (const auto read = ParseFloatField(edit->text().toStdString()))
        value = *read;
    else
        Fail(edit, kEnterNumberMessage);
}

void CFieldReader::Integer(QLineEdit* edit, int& value) {
    if (!m_ok)
        return;
    if (const auto read = ParseIntegerField(edit->text().toStdString()))
        value = *read;
    else
        Fail(edit, kEnterIntegerMessage);
}

void CFieldReader::Text(QLineEdit* edit, std::string& value) {
    if (m_ok)
        value = edit->text().toStdString();
}

void ShowField(QLineEdit* edit, double value) {
    edit->setText(QString::fromStdString(FormatDoubleField(value)));
}

void ShowField(QLineEdit* edit, float value) {
    edit->setText(QString::fromStdString(FormatFloatField(value)));
}

void ShowField(QLineEdit* edit, int value) {
    edit->setText(QString::number(value));
}

void ShowField(QLineEdit* edit, const std::string& value) {
    edit->setText(QString::fromStdString(value));
}

void ShowWholeEntries(QComboBox* box) {
    // Setting a text puts the cursor at its end, which scrolls a long name's start out of view.
    const auto showStart = [box] {
        if (QLineEdit* edit = box->lineEdit())
            edit->setCursorPosition(0);
    };
    QObject::connect(box, &QComboBox::currentIndexChanged, box, showStart);
    QObject::connect(box, &QComboBox::activated, box, showStart);
    QObject::connect(box, &QComboBox::currentTextChanged, box, [box](const QString& text) { box->setToolTip(text); });
    // Room in the field itself for names of ordinary length.
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(24);
}

void FitListToEntries(QComboBox* box) {
    const QFontMetrics metrics(box->view()->font());
    int widest = 0;
    for (int i = 0; i < box->count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(box->itemText(i)));
    // Margins, the frame and a scroll bar; never wider than the screen.
    int width = widest + 4 * metrics.averageCharWidth() + box->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    if (const QScreen* screen = box->screen())
        width = std::min(width, screen->availableGeometry().width());
    box->view()->setMinimumWidth(std::max(width, box->width()));
}

void ShowWholeCaptions(QTreeWidget* tree) {
    tree->setTextElideMode(Qt::ElideNone);
    tree->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    tree->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    QHeaderView* header = tree->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::ResizeToContents);
}

void SetUpLayerTree(QTreeWidget* tree) {
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    tree->setRootIsDecorated(true);
    tree->setItemsExpandable(true);
    tree->setDragEnabled(false);
    tree->setDragDropMode(QAbstractItemView::NoDragDrop);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setIconSize(QSize(16, 15));
    tree->setUniformRowHeights(true);
    // The classic style draws the dotted lines between nodes, top-level ones included.
    if (QStyle* lines = QStyleFactory::create(QStringLiteral("Windows"))) {
        lines->setParent(tree);
        tree->setStyle(lines);
    }
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ShowWholeCaptions(tree);
    // An inactive window keeps showing its selection in the active colour.
    QPalette palette = tree->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    tree->setPalette(palette);
}

namespace {

QIcon NodeIcon(const CTreeNode& node, const QList<QPixmap>& images) {
    QIcon icon;
    if (node.image >= 0 && node.image < images.size())
        icon.addPixmap(images[node.image], QIcon::Normal);
    if (node.selectedImage >= 0 && node.selectedImage < images.size())
        icon.addPixmap(images[node.selectedImage], QIcon::Selected);
    return icon;
}

QTreeWidgetItem* MakeItem(const CTreeNode& node, const QList<QPixmap>& images) {
    auto* item = new QTreeWidgetItem(QStringList{QString::fromStdString(node.caption)});
    item->setToolTip(0, item->text(0));
    item->setIcon(0, NodeIcon(node, images));
    item->setData(0, kImageRole, node.image);
    item->setData(0, kSelectedImageRole, node.selectedImage);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    for (const CTreeNode& child : node.children)
        item->addChild(MakeItem(child, images));
    return item;
}

}  // namespace

QTreeWidgetItem* AppendNodes(QTreeWidget* tree, const CTreeNode& node,
                             const QList<QPixmap>& images) {
    QTreeWidgetItem* item = MakeItem(node, images);
    tree->addTopLevelItem(item);
    item->setExpanded(false);
    return item;
}

std::vector<std::string> FirstChildCaptions(const QTreeWidgetItem* node, int n) {
    std::vector<std::string> captions;
    if (!node)
        return captions;
    for (int i = 0; i < n && i < node->childCount(); ++i)
        captions.push_back(node->child(i)->text(0).toStdString());
    return captions;
}

QTreeWidgetItem* SelectedNode(const QTreeWidget* tree) {
    const QList<QTreeWidgetItem*> selection = tree->selectedItems();
    return selection.isEmpty() ? nullptr : selection.first();
}

void FillMaterialList(CDropDownList* list, const std::vector<CMaterial>& materials, int count) {
    const int valid = ValidCount(materials.size(), count);
    for (int i = 0; i < valid; ++i)
        list->AddString(materials[static_cast<std::size_t>(i)].m_strName);
    list->SetCurSel(0);
}

void FillLayerList(CDropDownList* list, int layers) {
    for (int i = 1; i <= layers; ++i)
        list->AddString(LayerLabel(i));
    list->SetCurSel(0);
}
