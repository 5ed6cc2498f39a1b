#pragma once
// "Parameter for FGM": the parameters of a functionally graded project and its layer stack, on
// the layer-stack form core. Its own fields: the volume fraction of the next layer added and
// the volume fraction at the bottom of the last layer.

#include "LayerStackForm.h"

class CFGM : public CLayerStackForm {
    Q_OBJECT
public:
    enum { IDD = 150 };
    // Control identifiers of its own; the shared ones are the core's.
    enum : int {
        IDC_LOAD_1 = 1036,
        IDC_LOAD_2 = 1037,
        IDC_LOAD_3 = 1038,
        IDC_OUTPUT_1 = 1042,
        IDC_OUTPUT_2 = 1043,
        IDC_OUTPUT_3 = 1044,
        IDC_LOAD_HT = 1051,
        IDC_LOAD_ANY = 1052,
        IDC_LOAD_DETA = 1053,
        IDC_LOAD_SIN = 1054,
        IDC_LOAD_EXP = 1055,
        IDC_THICKNESS = 1056,
        IDC_VOL_FRACTION = 1066,
        IDC_LAST_VOL_FRACTION = 1067,
    };

    // The form works on pDoc's FGM layer records; without a document the lists and the tree
    // stay empty and the arrow buttons do nothing.
    explicit CFGM(COstrelDoc* pDoc = nullptr, QWidget* parent = nullptr);

    float m_fVolFraction = 0;      // for the next layer added
    float m_fLastVolFraction = 0;  // a project value that only passes through

protected:
    std::vector<CTreeNode> RecordNodes() const override;
    CTreeNode AppendLayerRecord(const std::string& label, const std::string& material, int materialNo,
                                const std::vector<const CMaterial*>& matches) override;
    bool RemoveRecordOf(const QTreeWidgetItem* node) override;
};
