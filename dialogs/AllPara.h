#pragma once
// "Parameter for Laminates": the parameters of a composite project and its layer stack, on the
// layer-stack form core. Its own fields: the dimensionless constant and, for the next layer
// added, the sublayer count; its layer records carry a material's constants in the tree.

#include "LayerStackForm.h"

class CAllPara : public CLayerStackForm {
    Q_OBJECT
public:
    enum { IDD = 146 };
    // Control identifiers of its own; the shared ones are the core's.
    enum : int {
        IDC_DIM_CONST = 1035,
        IDC_LOAD_X = 1036,
        IDC_LOAD_Y = 1037,
        IDC_LOAD_Z = 1038,
        IDC_OUTPUT_U = 1042,
        IDC_OUTPUT_V = 1043,
        IDC_OUTPUT_W = 1044,
        IDC_LOAD_HT = 1050,
        IDC_LOAD_ANY = 1051,
        IDC_LOAD_DETA = 1052,
        IDC_LOAD_SIN = 1053,
        IDC_LOAD_EXP = 1054,
        IDC_THICKNESS = 1055,
        IDC_SUBLAYERS = 1058,
    };

    // The form works on pDoc's composite layer records; without a document the lists and the
    // tree stay empty and the arrow buttons do nothing.
    explicit CAllPara(COstrelDoc* pDoc = nullptr, QWidget* parent = nullptr);

    double m_dDimConst = 0;
    int m_nSublayers = 1;

protected:
    std::vector<CTreeNode> RecordNodes() const override;
    CTreeNode AppendLayerRecord(const std::string& label, const std::string& material, int materialNo,
                                const std::vector<const CMaterial*>& matches) override;
    bool RemoveRecordOf(const QTreeWidgetItem* node) override;
};
