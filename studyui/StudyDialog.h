#pragma once
// The "Study" form: what to vary (the receiving point, or one parameter of a layer or the load,
// from/to with a step or a count), the load (the project's line load, or a point source with
// rows of receivers in y and every case's wave field), the output points, and where to run (this machine, or Slurm
// with its partition and limits). It shows the element order the runs take and warns when the
// output points are too few for the load's band. OK checks the choice against the document and
// stays open with a message when it does not fit.

#include <QDialog>

#include <optional>

#include "DocumentStudy.h"

class COstrelDoc;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;

class CStudyDialog : public QDialog {
    Q_OBJECT
public:
    CStudyDialog(const COstrelDoc& doc, QWidget* parent = nullptr);

    // What the fields say now, and the other way round.
    DocumentStudyChoice Choice() const;
    void SetChoice(const DocumentStudyChoice& choice);
    // A study file the fields came from: what the form does not show is kept from it.
    std::optional<StudyDefinition> m_base;
    // The runs' element order (0 automatic): the user's solver options, not asked here but
    // shown (ShowElementOrder after setting it).
    int m_nElementOrder = 0;
    void ShowElementOrder();
    // The definition OK accepted.
    const StudyDefinition& Definition() const { return m_definition; }

    // The fields, for tests that play the user.
    QLineEdit* m_name = nullptr;
    QComboBox* m_kind = nullptr;
    QRadioButton* m_receivers = nullptr;
    QRadioButton* m_parameterSweep = nullptr;
    QComboBox* m_parameter = nullptr;
    QSpinBox* m_layer = nullptr;
    QDoubleSpinBox* m_from = nullptr;
    QDoubleSpinBox* m_to = nullptr;
    QRadioButton* m_byStep = nullptr;
    QDoubleSpinBox* m_step = nullptr;
    QRadioButton* m_byCount = nullptr;
    QSpinBox* m_count = nullptr;
    QLabel* m_unit = nullptr;  // the unit of from, to and step
    QSpinBox* m_points = nullptr;
    QLabel* m_sampling = nullptr;  // the warning about too few output points, hidden when none
    QComboBox* m_scheduler = nullptr;
    QLineEdit* m_partition = nullptr;
    QLineEdit* m_timeLimit = nullptr;
    QSpinBox* m_cpus = nullptr;
    QSpinBox* m_perTask = nullptr;
    QLabel* m_elementOrder = nullptr;
    // The load: the project's line load or a point source, its rows of receivers and its fields.
    QComboBox* m_source = nullptr;
    QDoubleSpinBox* m_yFrom = nullptr;
    QDoubleSpinBox* m_yTo = nullptr;
    QSpinBox* m_yCount = nullptr;
    QCheckBox* m_waveField = nullptr;

public slots:
    void accept() override;

private:
    void UpdateEnabling();
    void UpdateSampling();

    const COstrelDoc& m_doc;
    StudyDefinition m_definition;
};
