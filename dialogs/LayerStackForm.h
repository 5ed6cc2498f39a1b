#pragma once
// The core of both parameter forms: the value fields every project kind has and their exchange
// with the document's members of the form's kind, the fields read in a fixed order, the layer
// and material lists, the "Output" tree with the arrow buttons, and OK / Cancel. The arrow
// buttons change the document's layer records of the kind at once (they stay when the form is
// cancelled); every other field reaches the document only through the opener after OK.
// A form of one kind lays out its columns, names its own fields and their reading order, and
// says what a layer record of its kind is.

#include <QDialog>
#include <QList>
#include <QPixmap>
#include <array>
#include <initializer_list>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "FormWidgets.h"
#include "LayerTree.h"

class COstrelDoc;
class QHBoxLayout;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;
struct CProjectKind;

class CLayerStackForm : public QDialog {
    Q_OBJECT
public:
    // The control identifiers both forms share.
    enum : int {
        IDC_MATERIAL_LIST = 1012,
        IDC_TITLE = 1023,
        IDC_LAYER_LIST = 1024,
        IDC_ADD_LAYER = 1025,
        IDC_REMOVE_LAYER = 1026,
        IDC_TREE = 1027,
        IDC_FREQUENCY = 1033,
        IDC_TIME_FROM = 1040,
        IDC_RECEIVER_X = 1045,
        IDC_TIME_TO = 1046,
        IDC_PLATE = 1059,
        IDC_SHELL = 1060,
        IDC_RADIUS = 1061,
    };

    ~CLayerStackForm() override;

    // The value fields every kind has, set by the opener before the form opens and read after OK.
    double m_dFrequency = 0;
    float m_fReceiverX = 0;
    float m_fTimeFrom = 0;
    float m_fTimeTo = 0;
    std::string m_strTitle;
    float m_fThickness = 0;  // of the next layer added
    float m_fRadius = 0;
    int m_nLoadType = 0;
    int m_nLoadDir = 0;
    int m_nOutput = 0;
    int m_bPlate = 0;

    COstrelDoc* m_pDoc = nullptr;
    // Where messages go; null shows them in a message box.
    IMessageSink* m_pMessages = nullptr;

    const CProjectKind& Kind() const { return m_kind; }
    // What the opener does: the fields from the document's members of the form's kind (the
    // thickness offered is 1 / m_nLayers, 0 without layers), and back after OK.
    void LoadFrom(const COstrelDoc& doc);
    void StoreTo(COstrelDoc& doc) const;
    static float DefaultThickness(int nLayers);

    // The form's operations, as the buttons trigger them.
    void OnAddLayer();
    void OnRemoveLayer();
    void OnPlate();
    void OnShell();
    // Takes every field from its control in the fixed order; false at the first failure.
    bool TakeFields();

    QTreeWidget* Tree() const { return m_tree; }

public slots:
    // exec() gives kFormOk (1) after OK, kFormCancel (2) after Cancel or the close box.
    void accept() override;
    void reject() override;

protected:
    // The form's own caption and resource id; the thickness field's id differs between kinds.
    CLayerStackForm(const CProjectKind& kind, COstrelDoc* pDoc, QWidget* parent, const char* caption, int idd,
                    int thicknessId);

    void showEvent(QShowEvent* event) override;

    // A field: an edit showing *value and reading it back, and the document member the opener
    // exchanges it with (none for a field that only builds the next layer).
    template <class T>
    struct TField {
        T* value;
        T COstrelDoc::*member = nullptr;
    };
    using FieldValue = std::variant<TField<double>, TField<float>, TField<int>, TField<std::string>>;
    QLineEdit* AddField(int id, FieldValue field);
    // The order in which fields are read (by control id); fields not named are read after them.
    void SetReadingOrder(std::initializer_list<int> ids);
    // The arrow buttons and the tree column at the right end of the columns.
    void AddTreeColumns(QHBoxLayout* columns);

    // The tree nodes of the document's valid layer records of the kind.
    virtual std::vector<CTreeNode> RecordNodes() const = 0;
    // Appends a record for the picked layer label and material (matches: the selected
    // materials of that name) with the fields as they stand; returns its tree nodes.
    virtual CTreeNode AppendLayerRecord(const std::string& label, const std::string& material, int materialNo,
                                        const std::vector<const CMaterial*>& matches) = 0;
    // Removes the first record a node stands for, if any; false when the node lacks the
    // children of a layer node (then it stays).
    virtual bool RemoveRecordOf(const QTreeWidgetItem* node) = 0;

    QLineEdit* m_editFrequency = nullptr;
    QLineEdit* m_editReceiverX = nullptr;
    QLineEdit* m_editTimeFrom = nullptr;
    QLineEdit* m_editTimeTo = nullptr;
    QLineEdit* m_editTitle = nullptr;
    QLineEdit* m_editThickness = nullptr;
    QLineEdit* m_editRadius = nullptr;
    CDropDownList* m_layerList = nullptr;
    CDropDownList* m_materialList = nullptr;
    QTreeWidget* m_tree = nullptr;
    CRadioSet m_loadTypeSet{m_nLoadType};
    CRadioSet m_loadDirSet{m_nLoadDir};
    CRadioSet m_outputSet{m_nOutput};
    CRadioSet m_plateSet{m_bPlate};

private:
    struct CBoundField {
        int id;
        QLineEdit* edit;
        FieldValue field;
    };

    void OnInitDialog();
    void FillLayerTree();
    void InsertLayerNodes(const CTreeNode& nodes);
    template <class Copy>
    void ExchangeFields(Copy copy) const;

    const CProjectKind& m_kind;
    std::vector<CBoundField> m_fields;  // in reading order
    QList<QPixmap> m_imageList;
    QTreeWidgetItem* m_hLastLayer = nullptr;
    int m_nMaterial = 0;  // of the last layer added whose material was found
    bool m_bInitialised = false;
};
