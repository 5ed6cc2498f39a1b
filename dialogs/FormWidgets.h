#pragma once
// Pieces the parameter forms share: control identifiers on widgets, drop-down lists in which
// typing picks nothing, radio sets whose buttons each behave as a group of their own, the
// ordered reading of numeric fields, and the layer trees.

#include <QComboBox>
#include <QLineEdit>
#include <QList>
#include <QPixmap>
#include <QRadioButton>
#include <QString>
#include <QTreeWidget>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "LayerTree.h"
#include "UiServices.h"

// Every control that has an identifier carries it in this property (and in its object name,
// "id1033"), so tests and tools find the controls by identifier.
inline constexpr const char* kControlIdProperty = "controlId";
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
// The result codes of the forms: OK, and Cancel or the close box.
inline constexpr int kFormOk = 1;
inline constexpr int kFormCancel = 2;

template <class W>
W* WithControlId(W* widget, int id) {
    widget->setProperty(kControlIdProperty, id);
    widget->setObjectName(QStringLiteral("id%1").arg(id));
    return widget;
}

// The widget below root with the given identifier, or null.
QWidget* FindControl(const QWidget* root, int id);
// Tab moves through the controls in this order.
void SetTabOrderById(QWidget* root, std::initializer_list<int> ids);

// An editable drop-down list. Only an entry picked from the list counts: typing into the edit
// field leaves no entry picked, even when the typed text equals an entry.
class CDropDownList : public QComboBox {
    Q_OBJECT
public:
    explicit CDropDownList(QWidget* parent = nullptr);

    int GetCurSel() const { return m_nPicked; }
    void SetCurSel(int index);
    // The text of entry index ("" when there is none).
    std::string GetItemText(int index) const;
    void AddString(const std::string& text);

private:
    void FitEntries();

    int m_nPicked = -1;
};

// Radio buttons of one value, each button a group of its own: a click gives the value the
// button's code, checks that button and unchecks the others of the set.
class CRadioSet {
public:
    // field must outlive the set (it is a member of the form holding the set).
    explicit CRadioSet(int& field) : m_field(field) {}

    void Add(QRadioButton* button, int code, std::function<void()> onClick = {});
    // What a click on the button of that code does; nothing for a code without a button.
    bool Click(int code);
    // The click of the button matching the current value; a value without a button leaves the
    // set unchecked and the value as it is.
    void Restore() { Click(m_field); }
    QRadioButton* Button(int code) const;

private:
    void Check(QRadioButton* button);

    int& m_field;
    std::vector<std::pair<QRadioButton*, int>> m_buttons;
    std::vector<std::function<void()>> m_handlers;
};

// Takes fields from their controls in a fixed order. At the first field that does not parse
// the message is shown, that field gets the focus with its text selected, and every read after
// it (that one included) leaves its value as it was.
class CFieldReader {
public:
    CFieldReader(QWidget* form, IMessageSink* messages) : m_form(form), m_messages(messages) {}

    void Double(QLineEdit* edit, double& value);
    void Float(QLineEdit* edit, float& value);
    void Integer(QLineEdit* edit, int& value);
    void Text(QLineEdit* edit, std::string& value);
    // A failure found by the caller (a range check): reported like a parse failure.
    void Fail(QLineEdit* edit, const char* message);

    bool Ok() const { return m_ok; }

private:
    QWidget* m_form;
    IMessageSink* m_messages;
    bool m_ok = true;
};

void ShowField(QLineEdit* edit, double value);
void ShowField(QLineEdit* edit, float value);
void ShowField(QLineEdit* edit, int value);
void ShowField(QLineEdit* edit, const std::string& value);

// Item data of a tree node: the icon-list positions it shows, normal and selected.
inline constexpr int kImageRole = Qt::UserRole + 1;
inline constexpr int kSelectedImageRole = Qt::UserRole + 2;

// The tree style of the forms: expand buttons, lines, no dragging, the selection kept visible,
// and every caption shown whole (the column as wide as its longest caption, a horizontal
// scroll bar where the tree is narrower).
void SetUpLayerTree(QTreeWidget* tree);
// Just the whole-caption part of it, for trees of another style.
void ShowWholeCaptions(QTreeWidget* tree);
// A combo box whose edit field shows the start of a long entry, whose open list is wide enough
// for its longest entry and whose tool tip holds the whole text.
void ShowWholeEntries(QComboBox* box);
// Widens the open list of box to its longest entry.
void FitListToEntries(QComboBox* box);
// Appends a node group at the end of the tree, collapsed; returns its top node.
QTreeWidgetItem* AppendNodes(QTreeWidget* tree, const CTreeNode& node,
                             const QList<QPixmap>& images);
// The node the user has selected, or null.
QTreeWidgetItem* SelectedNode(const QTreeWidget* tree);
// The selected materials' names, then the layer labels "Layer 1" to "Layer n"; in both lists
// the first entry is picked.
void FillMaterialList(CDropDownList* list, const std::vector<CMaterial>& materials, int count);
void FillLayerList(CDropDownList* list, int layers);
// The selected node's first children's captions (up to n of them, fewer when it has fewer).
std::vector<std::string> FirstChildCaptions(const QTreeWidgetItem* node, int n);
