#pragma once
// "Material Parameter": the user's window on the material table (a name box, the seven
// constants and properties, "Add", "Delete", "Update") and the "Selected" tree, whose arrow
// buttons put materials into the project's list and take them out again at once.

#include <QDialog>
#include <QList>
#include <QPixmap>
#include <QString>

#include <functional>

class COstrelDoc;
class CMyRecordSet;
class IMessageSink;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

inline constexpr const char* kEnterMaterialNameMessage = "Please enter the material name!";
inline constexpr const char* kMaterialExistsMessage = "The material name already exists!";
inline constexpr const char* kNotInSetMessage = "This material is not in the set! ";
inline constexpr const char* kNameTooLongMessage = "The material name is longer than 255 characters!";
inline constexpr int kMaxMaterialNameLength = 255;

class CMateselect : public QDialog {
    Q_OBJECT

public:
    explicit CMateselect(QWidget* parent = nullptr);
    ~CMateselect() override;

    // Runs the form: 1 for "OK", 2 for "Cancel" or the close box.
    int DoModal();

    // Set by the opener before the form runs; the form owns neither.
    CMyRecordSet* m_pSet = nullptr;
    COstrelDoc* m_pDoc = nullptr;
    // Where messages go; without one, the document's sink, else a message box.
    IMessageSink* m_pMessages = nullptr;

    // The value fields, in reading order.
    float m_fAngle = 0;
    double m_dDensity = 0;
    double m_dG12 = 0;
    double m_dE1 = 0;
    double m_dE2 = 0;
    double m_dV12 = 0;
    double m_dV23 = 0;
    QString m_strMaterial;
    // The name under which the material being added enters the project.
    QString m_strSelName;

    // The form's operations (also reached through its buttons and the name box). Each shows a
    // database error itself and ends there; only RefreshMaterialList, a step of the others,
    // lets CDBException through to the operation it belongs to.
    void OnInitDialog();
    void OnSelchangeMaterial();
    void OnEditchangeMaterial();
    void OnAddRecord();
    void OnDeleteRecord();
    void OnUpdateRecord();
    void OnAddMaterial();
    void OnRemoveMaterial();
    void RefreshMaterialList();

    // Reads the fields from the controls; at the first number that does not read, shows the
    // message, focuses that field and returns false (it and the later ones keep their values).
    bool ReadForm();

    // The index of the name box's picked list entry, -1 after typing.
    int PickedIndex() const { return m_nCurSel; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildLayout();
    void ShowValues();
    void ShowCurrentRow();
    void ClearForm();
    void FillNameList();
    void InsertSortedName(const QString& name);
    void PickEntry(int index);
    void WriteNewRow();
    void ReplaceCurrentRow();
    void AddMaterialToTree();
    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const QString& caption, int image);
    void ShowMessage(const char* text);
    // Runs a change of the picked row, then reads the list again.
    void ChangeRow(const std::function<void()>& change);
    bool NameFits(const QString& name);
    template <class Action>
    void Guarded(Action action);

    QComboBox* m_pName = nullptr;
    QLineEdit* m_pE1 = nullptr;
    QLineEdit* m_pE2 = nullptr;
    QLineEdit* m_pG12 = nullptr;
    QLineEdit* m_pV12 = nullptr;
    QLineEdit* m_pV23 = nullptr;
    QLineEdit* m_pDensity = nullptr;
    QLineEdit* m_pAngle = nullptr;
    QTreeWidget* m_pTree = nullptr;
    QList<QPixmap> m_images;
    int m_nCurSel = -1;
    bool m_bInitialized = false;
};
