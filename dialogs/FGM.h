#pragma once
// "Parameter for FGM": the parameters of a functionally graded project and its layer stack.
// Like the laminate form, the arrow buttons change the document's FGM layer records at once;
// the other fields reach the document only through the opener after OK.

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

class CFGM : public QDialog {
    Q_OBJECT
public:
    enum { IDD = 150 };
    enum : int {
        IDC_MATERIAL_LIST = 1012,
        IDC_TITLE = 1023,
        IDC_LAYER_LIST = 1024,
        IDC_ADD_LAYER = 1025,
        IDC_REMOVE_LAYER = 1026,
        IDC_TREE = 1027,
        IDC_FREQUENCY = 1033,
        IDC_LOAD_1 = 1036,
        IDC_LOAD_2 = 1037,
        IDC_LOAD_3 = 1038,
        IDC_TIME_FROM = 1040,
        IDC_OUTPUT_1 = 1042,
        IDC_OUTPUT_2 = 1043,
        IDC_OUTPUT_3 = 1044,
        IDC_RECEIVER_X = 1045,
        IDC_TIME_TO = 1046,
        IDC_LOAD_HT = 1051,
        IDC_LOAD_ANY = 1052,
        IDC_LOAD_DETA = 1053,
        IDC_LOAD_SIN = 1054,
        IDC_LOAD_EXP = 1055,
        IDC_THICKNESS = 1056,
        IDC_PLATE = 1059,
        IDC_SHELL = 1060,
        IDC_RADIUS = 1061,
        IDC_VOL_FRACTION = 1066,
        IDC_LAST_VOL_FRACTION = 1067,
    };

    // The form works on pDoc's FGM layer records; without a document the lists and the tree
    // stay empty and the arrow buttons do nothing.
    explicit CFGM(COstrelDoc* pDoc = nullptr, QWidget* parent = nullptr);
    ~CFGM() override;

    // The value fields, set by the opener before the form opens and read after OK.
    double m_dFrequency = 0;
    float m_fRadius = 0;
    float m_fThickness = 0;
    float m_fReceiverX = 0;
    float m_fTimeFrom = 0;
    float m_fTimeTo = 0;
    std::string m_strTitle;
    float m_fVolFraction = 0;      // for the next layer added
    float m_fLastVolFraction = 0;  // a project value that only passes through
    int m_nLoadType = 0;
    int m_nLoadDir = 0;
    int m_nOutput = 0;
    int m_bPlate = 0;

    COstrelDoc* m_pDoc = nullptr;
    // Where messages go; null shows them in a message box.
    IMessageSink* m_pMessages = nullptr;

    void OnAddLayer();
    void OnRemoveLayer();
    void OnPlate();
    void OnShell();
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
    QLineEdit* m_editRadius = nullptr;
    QLineEdit* m_editThickness = nullptr;
    QLineEdit* m_editReceiverX = nullptr;
    QLineEdit* m_editTimeFrom = nullptr;
    QLineEdit* m_editTimeTo = nullptr;
    QLineEdit* m_editTitle = nullptr;
    QLineEdit* m_editVolFraction = nullptr;
    QLineEdit* m_editLastVolFraction = nullptr;
    CDropDownList* m_layerList = nullptr;
    CDropDownList* m_materialList = nullptr;
    QTreeWidget* m_tree = nullptr;
    CRadioSet m_loadTypeSet{m_nLoadType};
    CRadioSet m_loadDirSet{m_nLoadDir};
    CRadioSet m_outputSet{m_nOutput};
    CRadioSet m_plateSet{m_bPlate};

    QList<QPixmap> m_imageList;
    QTreeWidgetItem* m_hLastLayer = nullptr;
    CFGMLayerCaptions m_captions;
    int m_nMaterial = 0;
    bool m_bInitialised = false;
};
