#pragma once
// "Parameter for Laminates": the parameters of a composite project and its layer stack. The
// arrow buttons change the document's composite layer records at once (they stay when the form
// is cancelled); every other field reaches the document only through the opener after OK.

#include <QDialog>
#include <QList>
#include <QPixmap>
#include <string>

#include "FormWidgets.h"
#include "LayerTree.h"

class COstrelDoc;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

class CAllPara : public QDialog {
    Q_OBJECT
public:
    enum { IDD = 146 };
    // Control identifiers.
    enum : int {
        IDC_TITLE = 1023,
        IDC_LAYER_LIST = 1024,
        IDC_ADD_LAYER = 1025,
        IDC_REMOVE_LAYER = 1026,
        IDC_TREE = 1027,
        IDC_MATERIAL_LIST = 1012,
        IDC_FREQUENCY = 1033,
        IDC_DIM_CONST = 1035,
        IDC_LOAD_X = 1036,
        IDC_LOAD_Y = 1037,
        IDC_LOAD_Z = 1038,
        IDC_TIME_FROM = 1040,
        IDC_OUTPUT_U = 1042,
        IDC_OUTPUT_V = 1043,
        IDC_OUTPUT_W = 1044,
        IDC_RECEIVER_X = 1045,
        IDC_TIME_TO = 1046,
        IDC_LOAD_HT = 1050,
        IDC_LOAD_ANY = 1051,
        IDC_LOAD_DETA = 1052,
        IDC_LOAD_SIN = 1053,
        IDC_LOAD_EXP = 1054,
        IDC_THICKNESS = 1055,
        IDC_SUBLAYERS = 1058,
        IDC_PLATE = 1059,
        IDC_SHELL = 1060,
        IDC_RADIUS = 1061,
    };

    // The form works on pDoc's composite layer records; without a document the lists and the
    // tree stay empty and the arrow buttons do nothing.
    explicit CAllPara(COstrelDoc* pDoc = nullptr, QWidget* parent = nullptr);
    ~CAllPara() override;

    // The value fields, set by the opener before the form opens and read after OK.
    double m_dFrequency = 0;
    double m_dDimConst = 0;
    float m_fReceiverX = 0;
    float m_fTimeFrom = 0;
    float m_fTimeTo = 0;
    std::string m_strTitle;
    float m_fThickness = 0;
    int m_nSublayers = 1;
    float m_fRadius = 1;
    int m_nLoadType = 0;
    int m_nLoadDir = 0;
    int m_nOutput = 0;
    int m_bPlate = 0;

    COstrelDoc* m_pDoc = nullptr;
    // Where messages go; null shows them in a message box.
    IMessageSink* m_pMessages = nullptr;

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
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void OnInitDialog();
    void RestoreRadioButtons();
    void FillLayerTree();
    void InsertLayerNodes();

    QLineEdit* m_editFrequency = nullptr;
    QLineEdit* m_editDimConst = nullptr;
    QLineEdit* m_editReceiverX = nullptr;
    QLineEdit* m_editTimeFrom = nullptr;
    QLineEdit* m_editTimeTo = nullptr;
    QLineEdit* m_editTitle = nullptr;
    QLineEdit* m_editThickness = nullptr;
    QLineEdit* m_editSublayers = nullptr;
    QLineEdit* m_editRadius = nullptr;
    CDropDownList* m_layerList = nullptr;
    CDropDownList* m_materialList = nullptr;
    QTreeWidget* m_tree = nullptr;
    CRadioSet m_loadTypeSet{m_nLoadType};
    CRadioSet m_loadDirSet{m_nLoadDir};
    CRadioSet m_outputSet{m_nOutput};
    CRadioSet m_plateSet{m_bPlate};

    QList<QPixmap> m_imageList;
    QTreeWidgetItem* m_hLastLayer = nullptr;
    CComLayerCaptions m_captions;
    int m_nMaterial = 0;
    bool m_bInitialised = false;
};
