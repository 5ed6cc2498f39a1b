// The three parameter forms driven as a user drives them: typing, clicking, picking.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QHeaderView>
#include <QScrollBar>
#include <QTreeWidget>
#include <functional>
#include <memory>

#include "AllPara.h"
#include "FGM.h"
#include "LayerNumber.h"
#include "OstrelDoc.h"
#include "ProjectKind.h"
#include "TreeIcons.h"
#include "WholeTextChecks.h"
#include "../GuiTestMain.h"

namespace {

class CRecordingSink : public IMessageSink {
public:
    void ShowMessage(const std::string& text) override { m_messages.push_back(text); }
    std::vector<std::string> m_messages;
};

CMaterial Material(const std::string& name, int no, double e1) {
    CMaterial m;
    m.m_strName = name;
    m.m_nNo = no;
    m.m_dE1 = e1;
    m.m_dE2 = 10.3;
    m.m_dG12 = 7.17;
    m.m_dV12 = 0.28;
    m.m_dV23 = 0.4;
    m.m_dDensity = 1.6;
    m.m_fAngle = 0;
    return m;
}

// A new project with two selected materials and four layers.
std::unique_ptr<COstrelDoc> MakeDoc(int layers = 4) {
    auto doc = std::make_unique<COstrelDoc>();
    doc->m_materials[0] = Material("carbon", 1, 181);
    doc->m_materials[1] = Material("glass", 2, 38.6);
    doc->m_nMaterials = 2;
    doc->m_nLayers = layers;
    return doc;
}

template <class T>
T* Control(QWidget* form, int id) {
    auto* widget = qobject_cast<T*>(FindControl(form, id));
    if (!widget)
        qFatal("control %d missing or of the wrong kind", id);
    return widget;
}

void Open(QDialog& form) {
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // Without a window manager nothing activates a new window; the test does it as one would.
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
}

void Type(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

void Click(QAbstractButton* button) {
    // A radio button reacts only on its indicator and text, not on the rest of its row.
    QPoint at = button->rect().center();
    if (qobject_cast<QRadioButton*>(button))
        at = QPoint(button->height() / 2, button->height() / 2);
    QTest::mouseClick(button, Qt::LeftButton, {}, at);
}

// Opens the drop-down list and clicks the entry.
void Pick(QComboBox* combo, int row) {
    combo->showPopup();
    QAbstractItemView* list = combo->view();
    QTRY_VERIFY(list->isVisible());
    const QModelIndex index = list->model()->index(row, 0);
    list->scrollTo(index);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
    QTRY_VERIFY(!list->isVisible());
}

void TypeIntoList(QComboBox* combo, const QString& text) {
    combo->lineEdit()->setFocus();
    combo->lineEdit()->selectAll();
    QTest::keyClick(combo->lineEdit(), Qt::Key_Delete);
    QTest::keyClicks(combo->lineEdit(), text);
}

// Clicks a node, making its ancestors visible first as the user would by expanding them.
void ClickNode(QTreeWidget* tree, QTreeWidgetItem* item) {
    for (QTreeWidgetItem* up = item->parent(); up; up = up->parent())
        up->setExpanded(true);
    tree->scrollToItem(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
    QCOMPARE(tree->selectedItems().value(0), item);
}

QStringList TopLevelCaptions(const QTreeWidget* tree) {
    QStringList captions;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        captions << tree->topLevelItem(i)->text(0);
    return captions;
}

QStringList ChildCaptions(const QTreeWidgetItem* item) {
    QStringList captions;
    for (int i = 0; i < item->childCount(); ++i)
        captions << item->child(i)->text(0);
    return captions;
}

QStringList ComboEntries(const QComboBox* combo) {
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i)
        entries << combo->itemText(i);
    return entries;
}

// Every text a person can read on the form, and every control identifier it carries.
QSet<QString> VisibleTexts(const QWidget* form) {
    QSet<QString> texts;
    for (const QLabel* label : form->findChildren<QLabel*>())
        texts << label->text();
    for (const QGroupBox* group : form->findChildren<QGroupBox*>())
        texts << group->title();
    for (const QAbstractButton* button : form->findChildren<QAbstractButton*>())
        if (!button->text().isEmpty())
            texts << button->text();
    return texts;
}

QSet<int> ControlIds(const QWidget* form) {
    QSet<int> ids;
    for (const QWidget* widget : form->findChildren<QWidget*>()) {
        const QVariant id = widget->property(kControlIdProperty);
        if (id.isValid())
            ids << id.toInt();
    }
    return ids;
}

QList<QRadioButton*> Checked(const QWidget* form, const QList<int>& ids) {
    QList<QRadioButton*> checked;
    for (int id : ids) {
        auto* button = qobject_cast<QRadioButton*>(FindControl(form, id));
        if (button && button->isChecked())
            checked << button;
    }
    return checked;
}

const QList<int> kComLoadTypeIds{1050, 1051, 1052, 1053, 1054};

// The load-type buttons of a kind's form for the codes 1 to 5: H(t), Deta(t), Exp(iwt), Any f(t),
// Sin(wt).
QList<int> LoadTypeButtons(const CProjectKind& kind) {
    const int first = kind.kind == EProjectKind::FGM ? 1051 : 1050;
    return {first, first + 2, first + 4, first + 1, first + 3};
}

// The form of a kind on doc, loaded from it and shown.
std::unique_ptr<CLayerStackForm> OpenForm(const CProjectKind& kind, COstrelDoc& doc) {
    std::unique_ptr<CLayerStackForm> form;
    if (kind.kind == EProjectKind::FGM)
        form = std::make_unique<CFGM>(&doc);
    else
        form = std::make_unique<CAllPara>(&doc);
    form->LoadFrom(doc);
    Open(*form);
    return form;
}

// The rows of a test run for each project kind.
void KindRows() {
    QTest::addColumn<int>("kindIndex");
    for (const CProjectKind* kind : ProjectKinds())
        QTest::newRow(kind->name) << kind->index;
}
const QList<int> kLoadDirIds{1036, 1037, 1038};
const QList<int> kOutputIds{1042, 1043, 1044};


// Every project value of both kinds, read from the members the document names them by.
struct KindValues {
    std::string title;
    double frequency, own1;
    float receiverX, timeFrom, timeTo, radius, own2;
    int loadType, loadDir, output, plate;
    bool operator==(const KindValues&) const = default;
};

KindValues ComValues(const COstrelDoc& d) {
    return {d.m_strComTitle, d.m_dFrequency, d.m_dDimConst, d.m_fReceiverX, d.m_fTimeFrom, d.m_fTimeTo,
            d.m_fRadius, 0, d.m_nLoadType, d.m_nLoadDir, d.m_nOutput, d.m_bPlate};
}

KindValues FGMValues(const COstrelDoc& d) {
    return {d.m_strFGMTitle, d.m_dFGMFrequency, d.m_fFGMVolFraction, d.m_fFGMReceiverX, d.m_fFGMTimeFrom,
            d.m_fFGMTimeTo, d.m_fFGMRadius, d.m_fFGMLastVolFraction, d.m_nFGMLoadType, d.m_nFGMLoadDir,
            d.m_nFGMOutput, d.m_bFGMPlate};
}

KindValues FormValues(const CAllPara& f) {
    return {f.m_strTitle, f.m_dFrequency, f.m_dDimConst, f.m_fReceiverX, f.m_fTimeFrom, f.m_fTimeTo,
            f.m_fRadius, 0, f.m_nLoadType, f.m_nLoadDir, f.m_nOutput, f.m_bPlate};
}

KindValues FormValues(const CFGM& f) {
    return {f.m_strTitle, f.m_dFrequency, f.m_fVolFraction, f.m_fReceiverX, f.m_fTimeFrom, f.m_fTimeTo,
            f.m_fRadius, f.m_fLastVolFraction, f.m_nLoadType, f.m_nLoadDir, f.m_nOutput, f.m_bPlate};
}

void SetFormValues(CAllPara& f, const KindValues& v) {
    f.m_strTitle = v.title;
    f.m_dFrequency = v.frequency;
    f.m_dDimConst = v.own1;
    f.m_fReceiverX = v.receiverX;
    f.m_fTimeFrom = v.timeFrom;
    f.m_fTimeTo = v.timeTo;
    f.m_fRadius = v.radius;
    f.m_nLoadType = v.loadType;
    f.m_nLoadDir = v.loadDir;
    f.m_nOutput = v.output;
    f.m_bPlate = v.plate;
}

void SetFormValues(CFGM& f, const KindValues& v) {
    f.m_strTitle = v.title;
    f.m_dFrequency = v.frequency;
    f.m_fVolFraction = static_cast<float>(v.own1);
    f.m_fReceiverX = v.receiverX;
    f.m_fTimeFrom = v.timeFrom;
    f.m_fTimeTo = v.timeTo;
    f.m_fRadius = v.radius;
    f.m_fLastVolFraction = v.own2;
    f.m_nLoadType = v.loadType;
    f.m_nLoadDir = v.loadDir;
    f.m_nOutput = v.output;
    f.m_bPlate = v.plate;
}

// A document whose two kinds hold values unlike each other and unlike the defaults.
std::unique_ptr<COstrelDoc> DistinctDoc() {
    auto doc = MakeDoc(5);
    COstrelDoc& d = *doc;
    d.m_strComTitle = "com";
    d.m_dFrequency = 1.5;
    d.m_dDimConst = 4.5;
    d.m_fReceiverX = 2.5f;
    d.m_fTimeFrom = 0.5f;
    d.m_fTimeTo = 9.5f;
    d.m_fRadius = 40;
    d.m_nLoadType = 2;
    d.m_nLoadDir = 3;
    d.m_nOutput = 2;
    d.m_bPlate = 0;
    d.m_strFGMTitle = "fgm";
    d.m_dFGMFrequency = 7.5;
    d.m_fFGMVolFraction = 0.25f;
    d.m_fFGMReceiverX = 8.5f;
    d.m_fFGMTimeFrom = 1.5f;
    d.m_fFGMTimeTo = 6.5f;
    d.m_fFGMRadius = 60;
    d.m_fFGMLastVolFraction = 0.75f;
    d.m_nFGMLoadType = 5;
    d.m_nFGMLoadDir = 2;
    d.m_nFGMOutput = 3;
    d.m_bFGMPlate = 1;
    return doc;
}

// The opener's exchange reads and writes the form's own kind only, every field of it.
template <class Form>
void CheckExchange(KindValues (*own)(const COstrelDoc&), KindValues (*other)(const COstrelDoc&)) {
    auto doc = DistinctDoc();
    const KindValues otherBefore = other(*doc);
    Form form(doc.get());
    form.LoadFrom(*doc);
    QCOMPARE(FormValues(form), own(*doc));
    QCOMPARE(form.m_fThickness, 0.2f);  // 1 / m_nLayers
    const KindValues typed{"typed", 11.25, 0.5, 12.5f, 2.25f, 30.5f, 70.5f, 0.125f, 4, 1, 1, 1};
    SetFormValues(form, typed);
    form.StoreTo(*doc);
    KindValues stored = own(*doc);
    if (std::is_same_v<Form, CAllPara>)
        stored.own2 = typed.own2;  // the laminate has no second value of its own
    QCOMPARE(stored, typed);
    QCOMPARE(other(*doc), otherBefore);
}

}  // namespace

class TestForms : public QObject {
    Q_OBJECT

private slots:
    // Laminate form
    void comControlsLabelsAndLayout();
    void treesAndListsShowTheirTextsWhole();
    void opensWithTheDocumentsValues_data();
    void opensWithTheDocumentsValues();
    void comOpensWithoutLayersOrMaterials();
    void radioSetsCarryTheirCodes_data();
    void radioSetsCarryTheirCodes();
    void outOfRangeCodeLeavesItsSetUnchecked_data();
    void outOfRangeCodeLeavesItsSetUnchecked();
    void plateAndShellSwitchTheRadius_data();
    void plateAndShellSwitchTheRadius();
    void comAddLayersBuildsRecordsAndNodes();
    void comTypingInAListPicksNothing();
    void comRemoveMatchesTheFirstEqualRecord();
    void comRemoveOnLeavesAndConstantsNode();
    void comTreeMirrorsTheDocumentAtOpening();
    void comValidationStopsAtTheFirstBadField();
    void comAddGoesOnAfterAValidationFailure();
    void comCancelKeepsLayersButNotFields();
    void comExecResults();
    void comWithoutDocument();
    // FGM form
    void fgmControlsLabelsAndLayout();
    void coreControlsAndTheirPlaces_data();
    void coreControlsAndTheirPlaces();
    void fgmAddAndRemoveLayers();
    void fgmValidationOrder();
    void fgmLeavesCompositeLayersAlone();
    // Both kinds
    void exchangeKeepsToTheFormsKind();
    // Layer number
    void layerNumberControlsAndLabels();
    void layerNumberAcceptsOneToTwoHundred();
    void layerNumberRefusesOthers();
    void layerNumberSpinStepsAndWraps();
    // Icons
    void treeIconsAreElevenTransparentPictures();
};

void TestForms::comControlsLabelsAndLayout() {
    auto doc = MakeDoc();
    CAllPara form(doc.get());
    form.LoadFrom(*doc);
    Open(form);
    QCOMPARE(form.windowTitle(), QString("Parameter for Laminates"));

    const QSet<QString> texts = VisibleTexts(&form);
    for (const char* text :
         {"Title :", "Input data", "Frequency of the external force :", "Dimensionless constants :",
          "Time duration ", "from", "to", "Receiving point :", "x = ", "Type of the line load",
          "H(t)", "Deta(t)", "Exp(iwt)", "Any f(t)", "Sin(wt)", "Direction", "Load :", "Output :",
          "X", "Y", "Z", "U", "V", "W", "Layer No.", "Layer Material", "Sublayer divided:",
          "Thickness :", "Structure Model", "Plate", "Shell", "Radius", "----->", "<-----",
          "Output", "OK", "Cancel"})
        QVERIFY2(texts.contains(text), text);

    const QSet<int> expected{1023, 1033, 1035, 1040, 1046, 1045, 1050, 1051, 1052, 1053, 1054,
                             1036, 1037, 1038, 1042, 1043, 1044, 1024, 1012, 1058, 1055, 1059,
                             1060, 1061, 1025, 1026, 1027, 1, 2};
    QCOMPARE(ControlIds(&form), expected);
    for (int id : {1035, 1058})
        QVERIFY(qobject_cast<QLineEdit*>(FindControl(&form, id)));

    // Three columns; where the controls of the form core stand is checked for both forms alike.
    auto x = [&](int id) { return FindControl(&form, id)->mapTo(&form, QPoint()).x(); };
    auto y = [&](int id) { return FindControl(&form, id)->mapTo(&form, QPoint()).y(); };
    // Load types: "H(t)" beside "Any f(t)", "Deta(t)" beside "Sin(wt)", "Exp(iwt)" below.
    QCOMPARE(y(1052), y(1053));
    QVERIFY(x(1050) < x(1051));
    QVERIFY(y(1050) < y(1052) && y(1052) < y(1054));
    QCOMPARE(x(1050), x(1054));
    QVERIFY(x(1036) < x(1042));
    QVERIFY(y(1036) < y(1037) && y(1037) < y(1038));

    auto* tree = form.Tree();
    QVERIFY(tree->rootIsDecorated());
    QVERIFY(!tree->dragEnabled());
    QCOMPARE(tree->dragDropMode(), QAbstractItemView::NoDragDrop);
}

void TestForms::opensWithTheDocumentsValues_data() { KindRows(); }

void TestForms::opensWithTheDocumentsValues() {
    QFETCH(int, kindIndex);
    const CProjectKind& kind = KindAt(kindIndex);
    const bool fgm = kind.kind == EProjectKind::FGM;
    auto doc = MakeDoc(fgm ? 2 : 4);
    const std::unique_ptr<CLayerStackForm> form = OpenForm(kind, *doc);
    // Shared fields, then each form's own.
    QList<std::pair<int, const char*>> texts{{1033, "3.14"}, {1045, "2"}, {1040, "0"}, {1046, "10"}, {1061, "1"}};
    if (fgm)
        texts += {{1023, "FGM_project"}, {1056, "0.5"}, {1066, "0.1"}, {1067, "0"}};
    else
        texts += {{1023, "COM_project"}, {1055, "0.25"}, {1035, "3.113646"}, {1058, "1"}};
    for (const auto& [id, text] : texts)
        QCOMPARE(Control<QLineEdit>(form.get(), id)->text(), QString(text));
    auto* layers = Control<CDropDownList>(form.get(), 1024);
    QCOMPARE(ComboEntries(layers), fgm ? QStringList({"Layer 1", "Layer 2"})
                                       : QStringList({"Layer 1", "Layer 2", "Layer 3", "Layer 4"}));
    QCOMPARE(layers->GetCurSel(), 0);
    auto* materials = Control<CDropDownList>(form.get(), 1012);
    QCOMPARE(ComboEntries(materials), QStringList({"carbon", "glass"}));
    QCOMPARE(materials->GetCurSel(), 0);
    const QList<int> loadTypes = LoadTypeButtons(kind);
    QCOMPARE(Checked(form.get(), loadTypes), QList<QRadioButton*>{Control<QRadioButton>(form.get(), loadTypes[0])});
    QCOMPARE(Checked(form.get(), kLoadDirIds), QList<QRadioButton*>{Control<QRadioButton>(form.get(), 1036)});
    QCOMPARE(Checked(form.get(), kOutputIds), QList<QRadioButton*>{Control<QRadioButton>(form.get(), 1042)});
    QVERIFY(Control<QRadioButton>(form.get(), 1059)->isChecked());
    QVERIFY(!Control<QRadioButton>(form.get(), 1060)->isChecked());
    QVERIFY(!Control<QLineEdit>(form.get(), 1061)->isEnabled());
    QCOMPARE(form->Tree()->topLevelItemCount(), 0);

    // Three layers: the float nearest to 1/3, shown with six digits.
    auto three = MakeDoc(3);
    const std::unique_ptr<CLayerStackForm> third = OpenForm(kind, *three);
    QCOMPARE(Control<QLineEdit>(third.get(), fgm ? 1056 : 1055)->text(), QString("0.333333"));
}

void TestForms::comOpensWithoutLayersOrMaterials() {
    auto doc = MakeDoc(0);
    doc->m_nMaterials = 0;
    CAllPara form(doc.get());
    form.LoadFrom(*doc);
    Open(form);
    QCOMPARE(Control<QLineEdit>(&form, 1055)->text(), QString("0"));
    QCOMPARE(Control<QComboBox>(&form, 1024)->count(), 0);
    QCOMPARE(Control<QComboBox>(&form, 1012)->count(), 0);
    Click(Control<QPushButton>(&form, 1025));
    QCOMPARE(doc->m_nComLayerCount, 0);
    QCOMPARE(form.Tree()->topLevelItemCount(), 0);

    // Layers but no materials: still nothing to add.
    auto noMaterials = MakeDoc(2);
    noMaterials->m_nMaterials = 0;
    CAllPara second(noMaterials.get());
    second.LoadFrom(*noMaterials);
    Open(second);
    QCOMPARE(Control<QComboBox>(&second, 1024)->count(), 2);
    Click(Control<QPushButton>(&second, 1025));
    QCOMPARE(noMaterials->m_nComLayerCount, 0);
    QCOMPARE(second.Tree()->topLevelItemCount(), 0);
}

void TestForms::radioSetsCarryTheirCodes_data() { KindRows(); }

void TestForms::radioSetsCarryTheirCodes() {
    QFETCH(int, kindIndex);
    const CProjectKind& kind = KindAt(kindIndex);
    auto doc = MakeDoc();
    const std::unique_ptr<CLayerStackForm> owner = OpenForm(kind, *doc);
    CLayerStackForm& form = *owner;
    const QList<int> loadTypes = LoadTypeButtons(kind);
    for (int code = 1; code <= 5; ++code) {
        auto* button = Control<QRadioButton>(&form, loadTypes[code - 1]);
        Click(button);
        QCOMPARE(form.m_nLoadType, code);
        QCOMPARE(Checked(&form, loadTypes), QList<QRadioButton*>{button});
        // A second click on the checked button leaves it checked.
        Click(button);
        QCOMPARE(Checked(&form, loadTypes), QList<QRadioButton*>{button});
    }
    for (int code = 1; code <= 3; ++code) {
        Click(Control<QRadioButton>(&form, 1035 + code));
        QCOMPARE(form.m_nLoadDir, code);
        QCOMPARE(Checked(&form, kLoadDirIds).size(), 1);
        Click(Control<QRadioButton>(&form, 1041 + code));
        QCOMPARE(form.m_nOutput, code);
        QCOMPARE(Checked(&form, kOutputIds).size(), 1);
        // The two direction sets share a group box but not their checks.
        QVERIFY(Control<QRadioButton>(&form, 1035 + code)->isChecked());
    }
    Click(Control<QRadioButton>(&form, loadTypes[4]));
    Click(Control<QRadioButton>(&form, 1037));
    Click(Control<QRadioButton>(&form, 1044));
    Click(Control<QPushButton>(&form, 1));
    QCOMPARE(form.result(), 1);
    QCOMPARE(form.m_nLoadType, 5);
    QCOMPARE(form.m_nLoadDir, 2);
    QCOMPARE(form.m_nOutput, 3);
}

void TestForms::outOfRangeCodeLeavesItsSetUnchecked_data() { KindRows(); }

void TestForms::outOfRangeCodeLeavesItsSetUnchecked() {
    QFETCH(int, kindIndex);
    const CProjectKind& kind = KindAt(kindIndex);
    auto doc = MakeDoc();
    doc.get()->*kind.loadType = kind.kind == EProjectKind::FGM ? 6 : 0;
    doc.get()->*kind.loadDir = 4;
    doc.get()->*kind.output = -1;
    doc.get()->*kind.plate = 7;
    const std::unique_ptr<CLayerStackForm> owner = OpenForm(kind, *doc);
    CLayerStackForm& form = *owner;
    QVERIFY(Checked(&form, LoadTypeButtons(kind)).isEmpty());
    QVERIFY(Checked(&form, kLoadDirIds).isEmpty());
    QVERIFY(Checked(&form, kOutputIds).isEmpty());
    QVERIFY(Checked(&form, {1059, 1060}).isEmpty());
    QVERIFY(Control<QLineEdit>(&form, 1061)->isEnabled());
    Click(Control<QPushButton>(&form, 1));
    QCOMPARE(form.result(), 1);
    QCOMPARE(form.m_nLoadType, doc.get()->*kind.loadType);
    QCOMPARE(form.m_nLoadDir, 4);
    QCOMPARE(form.m_nOutput, -1);
    QCOMPARE(form.m_bPlate, 7);
}

void TestForms::plateAndShellSwitchTheRadius_data() { KindRows(); }

void TestForms::plateAndShellSwitchTheRadius() {
    QFETCH(int, kindIndex);
    const CProjectKind& kind = KindAt(kindIndex);
    auto doc = MakeDoc();
    doc.get()->*kind.plate = 0;
    const std::unique_ptr<CLayerStackForm> owner = OpenForm(kind, *doc);
    CLayerStackForm& form = *owner;
    auto* radius = Control<QLineEdit>(&form, 1061);
    auto* plate = Control<QRadioButton>(&form, 1059);
    auto* shell = Control<QRadioButton>(&form, 1060);
    QVERIFY(shell->isChecked() && !plate->isChecked());
    QVERIFY(radius->isEnabled());
    Type(radius, "25.5");
    Click(plate);
    QCOMPARE(form.m_bPlate, 1);
    QVERIFY(!radius->isEnabled());
    QVERIFY(plate->isChecked() && !shell->isChecked());
    Click(shell);
    QCOMPARE(form.m_bPlate, 0);
    QVERIFY(radius->isEnabled());
    QVERIFY(shell->isChecked() && !plate->isChecked());
    Click(plate);
    // The disabled field's value is still taken.
    Click(Control<QPushButton>(&form, 1));
    QCOMPARE(form.result(), 1);
    QCOMPARE(form.m_bPlate, 1);
    QCOMPARE(form.m_fRadius, 25.5f);
}

void TestForms::treesAndListsShowTheirTextsWhole() {
    auto doc = MakeDoc(2);
    CMaterial longName = Material("T300/5208 carbon/epoxy, unidirectional prepreg", 1, 181);
    longName.m_dE2 = 10.3456789;
    longName.m_dDensity = 1.6012345;
    doc->m_materials[0] = longName;
    {
        CAllPara form(doc.get());
        form.LoadFrom(*doc);
        form.m_fThickness = 0.0001234567f;
        Open(form);
        QComboBox* materials = Control<QComboBox>(&form, 1012);
        Pick(materials, 0);
        QString why;
        QVERIFY2(ShowsEntriesWhole(materials, &why), qPrintable(why));
        Click(Control<QPushButton>(&form, 1025));
        Click(Control<QPushButton>(&form, 1025));
        QCOMPARE(form.Tree()->topLevelItemCount(), 2);
        QCOMPARE(CutCaptions(form.Tree()), QStringList());
        form.reject();
    }
    {
        CFGM form(doc.get());
        form.LoadFrom(*doc);
        form.m_fVolFraction = 0.523456789f;
        form.m_fThickness = 0.0001234567f;
        Open(form);
        QComboBox* materials = Control<QComboBox>(&form, 1012);
        Pick(materials, 0);
        QString why;
        QVERIFY2(ShowsEntriesWhole(materials, &why), qPrintable(why));
        Click(Control<QPushButton>(&form, 1025));
        QCOMPARE(form.Tree()->topLevelItemCount(), 1);
        QCOMPARE(CutCaptions(form.Tree()), QStringList());
        form.reject();
    }
}

void TestForms::comAddLayersBuildsRecordsAndNodes() {
    auto doc = MakeDoc(4);
    CAllPara form(doc.get());
    form.LoadFrom(*doc);
    Open(form);
    Pick(Control<QComboBox>(&form, 1024), 1);  // Layer 2
    Pick(Control<QComboBox>(&form, 1012), 1);  // glass
    Type(Control<QLineEdit>(&form, 1055), "0.05");
    Type(Control<QLineEdit>(&form, 1058), "3");
    Click(Control<QPushButton>(&form, 1025));

    QCOMPARE(doc->m_nComLayerCount, 1);
    const CLayer& added = doc->m_layers[0];
    QCOMPARE(added.m_strLayer, std::string("Layer 2"));
    QCOMPARE(added.m_strMaterial, std::string("glass"));
    QCOMPARE(added.m_nMaterial, 2);
    QCOMPARE(added.m_nSublayers, 3);
    QCOMPARE(added.m_fThickness, 0.05f);

    QTreeWidget* tree = form.Tree();
    QCOMPARE(TopLevelCaptions(tree), QStringList({"Layer 2"}));
    QTreeWidgetItem* layer = tree->topLevelItem(0);
    QVERIFY(!layer->isExpanded());
    QCOMPARE(ChildCaptions(layer),
             QStringList({"glass", "thickness : 5.e-002", "Sublayer divided : 3"}));
    QTreeWidgetItem* material = layer->child(0);
    QCOMPARE(ChildCaptions(material), QStringList({"constants", "properties"}));
    QCOMPARE(ChildCaptions(material->child(0)),
             QStringList({"E1(GPa) : 38.6", "E2(GPa) : 10.3", "G12(GPa) : 7.17", "v12 : 0.28",
                          "v23 : 0.4"}));
    QCOMPARE(ChildCaptions(material->child(1)), QStringList({"density : 1.6", "angle : 0."}));
    QCOMPARE(layer->data(0, kImageRole).toInt(), 0);
    QCOMPARE(layer->data(0, kSelectedImageRole).toInt(), 1);
    QCOMPARE(material->data(0, kImageRole).toInt(), 9);
    QCOMPARE(layer->child(1)->data(0, kImageRole).toInt(), 10);
    QCOMPARE(material->child(0)->data(0, kImageRole).toInt(), 2);
    QCOMPARE(material->child(1)->data(0, kImageRole).toInt(), 6);
    QCOMPARE(material->child(0)->child(2)->data(0, kImageRole).toInt(), 4);
    QCOMPARE(material->child(1)->child(1)->data(0, kImageRole).toInt(), 8);
    QVERIFY(!layer->icon(0).isNull());

    // Layer 1 twice, with thickness 1 and one sublayer: nothing stops a repeated label.
    Pick(Control<QComboBox>(&form, 1024), 0);
    Pick(Control<QComboBox>(&form, 1012), 0);
    Type(Control<QLineEdit>(&form, 1055), "1");
    Type(Control<QLineEdit>(&form, 1058), "1");
    Click(Control<QPushButton>(&form, 1025));
    Click(Control<QPushButton>(&form, 1025));
    QCOMPARE(doc->m_nComLayerCount, 3);
    QCOMPARE(TopLevelCaptions(tree), QStringList({"Layer 2", "Layer 1", "Layer 1"}));
    QCOMPARE(ChildCaptions(tree->topLevelItem(2)),
             QStringList({"carbon", "thickness : 1.", "Sublayer divided : 1"}));
    QCOMPARE(doc->m_layers[2].m_strLayer, std::string("Layer 1"));
    QCOMPARE(doc->m_layers[2].m_nMaterial, 1);

    // More records than layers are allowed.
    for (int i = 0; i < 3; ++i)
        Click(Control<QPushButton>(&form, 1025));
    QCOMPARE(doc->m_nComLayerCount, 6);
    QCOMPARE(tree->topLevelItemCount(), 6);
}

void TestForms::comTypingInAListPicksNothing() {
    auto doc = MakeDoc(4);
    CAllPara form(doc.get());
    form.LoadFrom(*doc);
    Open(form);
    auto* layers = Control<CDropDownList>(&form, 1024);
    auto* materials = Control<CDropDownList>(&form, 1012);
    // Even a typed text equal to an entry picks nothing.
    TypeIntoList(layers, "Layer 3");
    QCOMPARE(layers->GetCurSel(), -1);
    Type(Control<QLineEdit>(&form, 1055), "0.5");
    Click(Control<QPushButton>(&form, 1025));
    QCOMPARE(doc->m_nComLayerCount, 0);
    QCOMPARE(form.Tree()->topLevelItemCount(), 0);
    // The fields were still taken.
    QCOMPARE(form.m_fThickness, 0.5f);

    Pick(layers, 2);
    TypeIntoList(materials, "glass");
    QCOMPARE(materials->GetCurSel(), -1);
    Click(Control<QPushButton>(&form, 1025));
    QCOMPARE(doc->m_nComLayerCount, 0);

    Pick(materials, 1);
    QCOMPARE(materials->GetCurSel(), 1);
    Click(Control<QPushButton>(&form, 1025));
    QCOMPARE(doc->m_nComLayerCount, 1);
    QCOMPARE(doc->m_layers[0].m_strLayer, std::string("Layer 3"));
    QCOMPARE(doc->m_layers[0].m_strMaterial, std::string("glass"));

    // The arrow keys in the edit field pick the neighbouring entry; Enter after typing is OK
    // and still picks nothing.
    QTest::keyClick(layers->lineEdit(), Qt::Key_Down);
    QCOMPARE(layers->GetCurSel(), 3);
    QCOMPARE(layers->currentText(), QString("Layer 4"));
    TypeIntoList(layers, "Layer 1");
    QTest::keyClick(layers->lineEdit(), Qt::Key_Return);
    QCOMPARE(layers->GetCurSel(), -1);
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), 1);
}

void TestForms::comRemoveMatchesTheFirstEqualRecord() {
    auto doc = MakeDoc(4);
    CAllPara form(doc.get());
    form.LoadFrom(*doc);
    Open(form);
    Click(Control<QPushButton>(&form, 1025));  // Layer 1, carbon, 0.25, 1
    Pick(Control<QComboBox>(&form, 1024), 1);
    Click(Control<QPushButton>(&form, 1025));  // Layer 2, carbon, 0.25, 1
    Pick(Control<QComboBox>(&form, 1024), 2);
    Pick(Control<QComboBox>(&form, 1012), 1);
    Click(Control<QPushButton>(&form, 1025));  // Layer 3, glass
    QCOMPARE(doc->m_nComLayerCount, 3);

    QTreeWidget* tree = form.Tree();
    ClickNode(tree, tree->topLevelItem(1));
    Click(Control<QPushButton>(&form, 1026));
    // Layer 2's node goes, Layer 1's record goes.
    QCOMPARE(TopLevelCaptions(tree), QStringList({"Layer 1", "Layer 3"}));
    QCOMPARE(doc->m_nComLayerCount, 2);
    QCOMPARE(doc->m_layers[0].m_strLayer, std::string("Layer 2"));
    QCOMPARE(doc->m_layers[1].m_strLayer, std::string("Layer 3"));

    ClickNode(tree, tree->topLevelItem(1));
    Click(Control<QPushButton>(&form, 1026));
    QCOMPARE(TopLevelCaptions(tree), QStringList({"Layer 1"}));
    QCOMPARE(doc->m_nComLayerCount, 1);
    QCOMPARE(doc->m_layers[0].m_strLayer, std::string("Layer 2"));

    // Nothing selected: nothing happens.
    tree->clearSelection();
    Click(Control<QPushButton>(&form, 1026));
    QCOMPARE(tree->topLevelItemCount(), 1);
    QCOMPARE(doc->m_nComLayerCount, 1);
}

void TestForms::comRemoveOnLeavesAndConstantsNode() {
    auto doc = MakeDoc(4);
    CAllPara form(doc.get());
    form.LoadFrom(*doc);
    Open(form);
    Click(Control<QPushButton>(&form, 1025));
    Click(Control<QPushButton>(&form, 1025));
    QTreeWidget* tree = form.Tree();
    QTreeWidgetItem* first = tree->topLevelItem(0);

    // A leaf, and the material and properties nodes (two children each), change nothing.
    for (QTreeWidgetItem* node : {first->child(1), first->child(2), first->child(0),
                                  first->child(0)->child(1), first->child(0)->child(0)->child(0)}) {
        ClickNode(tree, node);
        Click(Control<QPushButton>(&form, 1026));
        QCOMPARE(doc->m_nComLayerCount, 2);
        QCOMPARE(first->childCount(), 3);
        QCOMPARE(first->child(0)->childCount(), 2);
    }
    // The "constants" node has five children: it is deleted, but no record matches.
    QTreeWidgetItem* constants = first->child(0)->child(0);
    ClickNode(tree, constants);
    Click(Control<QPushButton>(&form, 1026));
    QCOMPARE(doc->m_nComLayerCount, 2);
    QCOMPARE(ChildCaptions(first->child(0)), QStringList({"properties"}));
    QCOMPARE(tree->topLevelItemCount(), 2);
}

void TestForms::comTreeMirrorsTheDocumentAtOpening() {
    auto doc = MakeDoc(4);
    CLayer kept;
    kept.m_strLayer = "Layer 1";
    kept.m_strMaterial = "carbon";
    kept.m_nMaterial = 1;
    kept.m_nSublayers = 2;
    kept.m_fThickness = 0.5f;
    CLayer orphan = kept;
    orphan.m_strLayer = "Layer 5";  // labelled beyond N: still shown
    orphan.m_strMaterial = "boron";  // no longer among the selected materials
    doc->m_layers[0] = kept;
    doc->m_layers[1] = orphan;
    doc->m_nComLayerCount = 2;
    doc->m_fgmLayers[0].m_strLayer = "FGM layer";
    doc->m_nFGMLayerCount = 1;

    CAllPara form(doc.get());
    form.LoadFrom(*doc);
    Open(form);
    QTreeWidget* tree = form.Tree();
    QCOMPARE(TopLevelCaptions(tree), QStringList({"Layer 1", "Layer 5"}));
    QCOMPARE(ChildCaptions(tree->topLevelItem(0)),
             QStringList({"carbon", "thickness : 0.5", "Sublayer divided : 2"}));
    QCOMPARE(ChildCaptions(tree->topLevelItem(0)->child(0)->child(0)).first(),
             QString("E1(GPa) : 181."));
    QTreeWidgetItem* bare = tree->topLevelItem(1)->child(0);
    QCOMPARE(bare->text(0), QString("boron"));
    QCOMPARE(ChildCaptions(bare->child(0)),
             QStringList({"E1(GPa) : ", "E2(GPa) : ", "G12(GPa) : ", "v12 : ", "v23 : "}));
    QCOMPARE(ChildCaptions(bare->child(1)), QStringList({"density : ", "angle : "}));
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        QVERIFY(!tree->topLevelItem(i)->isExpanded());

    // Its record is still found by its stored name.
    ClickNode(tree, tree->topLevelItem(1));
    Click(Control<QPushButton>(&form, 1026));
    QCOMPARE(doc->m_nComLayerCount, 1);
    QCOMPARE(doc->m_layers[0].m_strMaterial, std::string("carbon"));
    QCOMPARE(doc->m_nFGMLayerCount, 1);
}

void TestForms::comValidationStopsAtTheFirstBadField() {
    auto doc = MakeDoc(4);
    CRecordingSink sink;
    CAllPara form(doc.get());
    form.m_pMessages = &sink;
    form.LoadFrom(*doc);
    Open(form);
    auto* frequency = Control<QLineEdit>(&form, 1033);
    auto* timeFrom = Control<QLineEdit>(&form, 1040);
    auto* title = Control<QLineEdit>(&form, 1023);
    auto* sublayers = Control<QLineEdit>(&form, 1058);
    auto* radius = Control<QLineEdit>(&form, 1061);
    Type(frequency, "6.5");
    Type(timeFrom, ".0");
    Type(title, "new title");
    Type(sublayers, "2a");
    Click(Control<QPushButton>(&form, 1));
    QCOMPARE(sink.m_messages, std::vector<std::string>{"Please enter a number."});
    QVERIFY(form.isVisible());
    QCOMPARE(QApplication::focusWidget(), timeFrom);
    QCOMPARE(timeFrom->selectedText(), QString(".0"));
    // Fields before the bad one are taken, it and the later ones keep their values.
    QCOMPARE(form.m_dFrequency, 6.5);
    QCOMPARE(form.m_fTimeFrom, 0.0f);
    QCOMPARE(form.m_strTitle, std::string("COM_project"));

    Type(timeFrom, " 1 ");
    Click(Control<QPushButton>(&form, 1));
    QCOMPARE(sink.m_messages.back(), std::string("Please enter an integer."));
    QCOMPARE(QApplication::focusWidget(), sublayers);
    QVERIFY(form.isVisible());
    QCOMPARE(form.m_strTitle, std::string("new title"));  // read before the sublayers

    Type(sublayers, "4");
    Click(Control<QRadioButton>(&form, 1060));
    Type(radius, "");
    Click(Control<QPushButton>(&form, 1));
    QCOMPARE(sink.m_messages.size(), 3u);
    QCOMPARE(sink.m_messages.back(), std::string("Please enter a number."));
    QCOMPARE(QApplication::focusWidget(), radius);
    QVERIFY(form.isVisible());

    Type(radius, "-2");  // no range checks
    Click(Control<QRadioButton>(&form, 1059));  // disabled, but still read
    Type(Control<QLineEdit>(&form, 1055), "-0.5");
    Type(title, "");
    Click(Control<QPushButton>(&form, 1));
    QCOMPARE(sink.m_messages.size(), 3u);
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), 1);
    QCOMPARE(form.m_fTimeFrom, 1.0f);
    QCOMPARE(form.m_nSublayers, 4);
    QCOMPARE(form.m_fRadius, -2.0f);
    QCOMPARE(form.m_fThickness, -0.5f);
    QCOMPARE(form.m_strTitle, std::string());
}

void TestForms::comAddGoesOnAfterAValidationFailure() {
    auto doc = MakeDoc(4);
    CRecordingSink sink;
    CAllPara form(doc.get());
    form.m_pMessages = &sink;
    form.LoadFrom(*doc);
    Open(form);
    Type(Control<QLineEdit>(&form, 1055), "0.125");
    Type(Control<QLineEdit>(&form, 1058), "-0");
    Click(Control<QPushButton>(&form, 1025));
    QCOMPARE(sink.m_messages, std::vector<std::string>{"Please enter an integer."});
    QCOMPARE(QApplication::focusWidget(), Control<QLineEdit>(&form, 1058));
    // The record is built from the fields as they stand: the new thickness, the old sublayers.
    QCOMPARE(doc->m_nComLayerCount, 1);
    QCOMPARE(doc->m_layers[0].m_fThickness, 0.125f);
    QCOMPARE(doc->m_layers[0].m_nSublayers, 1);
    QCOMPARE(ChildCaptions(form.Tree()->topLevelItem(0)),
             QStringList({"carbon", "thickness : 0.125", "Sublayer divided : 1"}));
}

void TestForms::comCancelKeepsLayersButNotFields() {
    auto doc = MakeDoc(4);
    {
        CAllPara form(doc.get());
        form.LoadFrom(*doc);
        Open(form);
        Pick(Control<QComboBox>(&form, 1024), 3);
        Click(Control<QPushButton>(&form, 1025));
        Type(Control<QLineEdit>(&form, 1033), "99");
        Click(Control<QPushButton>(&form, 2));
        QCOMPARE(form.result(), 2);
        QCOMPARE(form.m_dFrequency, 3.14);  // Cancel takes no field
        QCOMPARE(form.m_fThickness, 0.25f);  // ...but "----->" did
    }
    QCOMPARE(doc->m_nComLayerCount, 1);
    QCOMPARE(doc->m_layers[0].m_strLayer, std::string("Layer 4"));

    CAllPara again(doc.get());
    again.LoadFrom(*doc);
    Open(again);
    QCOMPARE(TopLevelCaptions(again.Tree()), QStringList({"Layer 4"}));
    // The close box is Cancel.
    again.close();
    QCOMPARE(again.result(), 2);
}

void TestForms::comExecResults() {
    auto doc = MakeDoc();
    {
        CAllPara form(doc.get());
        form.LoadFrom(*doc);
        QTimer::singleShot(0, &form, [&] {
            Type(Control<QLineEdit>(&form, 1046), "20");
            Click(Control<QPushButton>(&form, 1));
        });
        QCOMPARE(form.exec(), 1);
        QCOMPARE(form.m_fTimeTo, 20.0f);
    }
    {
        CAllPara form(doc.get());
        form.LoadFrom(*doc);
        QTimer::singleShot(0, &form, [&] { QTest::keyClick(&form, Qt::Key_Escape); });
        QCOMPARE(form.exec(), 2);
    }
    {
        CAllPara form(doc.get());
        form.LoadFrom(*doc);
        QTimer::singleShot(0, &form, [&] { form.close(); });
        QCOMPARE(form.exec(), 2);
    }
}

void TestForms::comWithoutDocument() {
    CAllPara form;
    form.m_nLoadType = 2;
    form.m_bPlate = 0;
    form.m_fThickness = 0.5f;
    Open(form);
    // The fields show, but nothing else happens.
    QCOMPARE(Control<QLineEdit>(&form, 1055)->text(), QString("0.5"));
    QCOMPARE(Control<QLineEdit>(&form, 1058)->text(), QString("1"));
    QVERIFY(Checked(&form, kComLoadTypeIds).isEmpty());
    QCOMPARE(Control<QComboBox>(&form, 1024)->count(), 0);
    Click(Control<QPushButton>(&form, 1025));
    Click(Control<QPushButton>(&form, 1026));
    QCOMPARE(form.Tree()->topLevelItemCount(), 0);
    Click(Control<QPushButton>(&form, 1));
    QCOMPARE(form.result(), 1);
}

void TestForms::fgmControlsLabelsAndLayout() {
    auto doc = MakeDoc();
    CFGM form(doc.get());
    form.LoadFrom(*doc);
    Open(form);
    QCOMPARE(form.windowTitle(), QString("Parameter for FGM"));
    const QSet<QString> texts = VisibleTexts(&form);
    for (const char* text :
         {"Title :", "Input data", "Frequency of the external force :", "Time duration", "from",
          "to", "Type of the line load", "H(t)", "Deta(t)", "Exp(iwt)", "Any f(t)", "Sin(wt)",
          "Layer matreial:", "Receiving point :", "x = ", "Direction", "Load :", "Output :",
          "Layer No.", "Parameter", "Volume fractions", "Thickness :",
          "Volume fraction of last layer:", "Structure Model", "Plate", "Shell", "Radius",
          "----->", "<-----", "Output", "OK", "Cancel"})
        QVERIFY2(texts.contains(text), text);
    // No dimensionless constant, no sublayers, and the direction buttons carry no captions.
    for (const char* text : {"Dimensionless constants :", "Sublayer divided:", "X", "U"})
        QVERIFY2(!texts.contains(text), text);

    const QSet<int> expected{1023, 1033, 1040, 1046, 1051, 1052, 1053, 1054, 1055, 1012, 1045,
                             1036, 1037, 1038, 1042, 1043, 1044, 1024, 1066, 1056, 1067, 1059,
                             1060, 1061, 1025, 1026, 1027, 1, 2};
    QCOMPARE(ControlIds(&form), expected);
    for (int id : {1066, 1067})
        QVERIFY(qobject_cast<QLineEdit*>(FindControl(&form, id)));

    // Four columns: title, material, layer label, tree; the form core's places are checked for
    // both forms alike.
    auto x = [&](int id) { return FindControl(&form, id)->mapTo(&form, QPoint()).x(); };
    auto y = [&](int id) { return FindControl(&form, id)->mapTo(&form, QPoint()).y(); };
    QVERIFY(x(1023) < x(1012));
    QVERIFY(x(1012) < x(1024));
    QVERIFY(y(1066) < y(1056) && y(1056) < y(1067));
    QVERIFY(y(1012) < y(1045) && y(1045) < y(1036));
}

void TestForms::coreControlsAndTheirPlaces_data() { KindRows(); }

// What the layer-stack form core gives both forms: its fields, lists, buttons and their places.
void TestForms::coreControlsAndTheirPlaces() {
    QFETCH(int, kindIndex);
    const CProjectKind& kind = KindAt(kindIndex);
    auto doc = MakeDoc();
    const std::unique_ptr<CLayerStackForm> owner = OpenForm(kind, *doc);
    CLayerStackForm& form = *owner;
    const int thickness = kind.kind == EProjectKind::FGM ? 1056 : 1055;
    for (int id : {1023, 1033, 1040, 1046, 1045, thickness, 1061})
        QVERIFY(qobject_cast<QLineEdit*>(FindControl(&form, id)));
    // The frequency's unit, which its caption does not name, for the pointer and screen readers.
    QVERIFY(FindControl(&form, 1033)->toolTip().startsWith(QStringLiteral("In rad/us")));
    QCOMPARE(FindControl(&form, 1033)->accessibleDescription(), FindControl(&form, 1033)->toolTip());
    QVERIFY(qobject_cast<QComboBox*>(FindControl(&form, 1024))->isEditable());
    QVERIFY(qobject_cast<QComboBox*>(FindControl(&form, 1012))->isEditable());
    QVERIFY(qobject_cast<QTreeWidget*>(FindControl(&form, 1027)));
    const QList<int> loadTypes = LoadTypeButtons(kind);
    const QList<std::pair<int, const char*>> buttons{
        {loadTypes[0], "H(t)"}, {loadTypes[1], "Deta(t)"}, {loadTypes[2], "Exp(iwt)"}, {loadTypes[3], "Any f(t)"},
        {loadTypes[4], "Sin(wt)"}, {1059, "Plate"}, {1060, "Shell"}, {1025, "----->"},
        {1026, "<-----"}, {1, "OK"}, {2, "Cancel"}};
    for (const auto& [id, text] : buttons)
        QCOMPARE(Control<QAbstractButton>(&form, id)->text(), QString(text));

    // The arrow buttons between the layer label and the tree, one above the other.
    auto x = [&](int id) { return FindControl(&form, id)->mapTo(&form, QPoint()).x(); };
    auto y = [&](int id) { return FindControl(&form, id)->mapTo(&form, QPoint()).y(); };
    QVERIFY(x(1023) < x(1024));
    QVERIFY(x(1024) < x(1025));
    QVERIFY(x(1025) < x(1027));
    QVERIFY(y(1025) < y(1026));
    // OK and Cancel below the tree.
    QVERIFY(x(1027) < x(2) && x(1) < x(2) && y(1027) < y(1) && y(1) == y(2));
    // "H(t)" beside "Any f(t)".
    QCOMPARE(y(loadTypes[0]), y(loadTypes[3]));
}

void TestForms::fgmAddAndRemoveLayers() {
    auto doc = MakeDoc(2);
    // Two selected materials of one name: the last one's number counts.
    doc->m_materials[2] = Material("glass", 3, 70);
    doc->m_nMaterials = 3;
    CFGM form(doc.get());
    form.LoadFrom(*doc);
    Open(form);
    Click(Control<QPushButton>(&form, 1025));
    QCOMPARE(doc->m_nFGMLayerCount, 1);
    QCOMPARE(doc->m_fgmLayers[0].m_strLayer, std::string("Layer 1"));
    QCOMPARE(doc->m_fgmLayers[0].m_nMaterial, 1);
    QCOMPARE(doc->m_fgmLayers[0].m_fVolFraction, 0.1f);
    QCOMPARE(doc->m_fgmLayers[0].m_fThickness, 0.5f);
    QTreeWidget* tree = form.Tree();
    QCOMPARE(ChildCaptions(tree->topLevelItem(0)),
             QStringList({"Volume fractions : 0.1", "thickness : 0.5"}));
    QCOMPARE(tree->topLevelItem(0)->data(0, kSelectedImageRole).toInt(), 1);
    QCOMPARE(tree->topLevelItem(0)->child(0)->data(0, kImageRole).toInt(), 10);

    Pick(Control<QComboBox>(&form, 1024), 1);
    Pick(Control<QComboBox>(&form, 1012), 1);
    Click(Control<QPushButton>(&form, 1025));  // equal to the first
    QCOMPARE(doc->m_fgmLayers[1].m_nMaterial, 3);
    Type(Control<QLineEdit>(&form, 1066), "1.5");  // no range check
    Type(Control<QLineEdit>(&form, 1056), "0.05");
    Click(Control<QPushButton>(&form, 1025));
    QCOMPARE(doc->m_nFGMLayerCount, 3);
    QCOMPARE(ChildCaptions(tree->topLevelItem(2)),
             QStringList({"Volume fractions : 1.5", "thickness : 5.e-002"}));
    QCOMPARE(doc->m_fgmLayers[2].m_fVolFraction, 1.5f);

    // A leaf selected: nothing.
    ClickNode(tree, tree->topLevelItem(1)->child(1));
    Click(Control<QPushButton>(&form, 1026));
    QCOMPARE(doc->m_nFGMLayerCount, 3);
    QCOMPARE(tree->topLevelItemCount(), 3);
    // The second of two equal layers: its node goes, the first record goes.
    ClickNode(tree, tree->topLevelItem(1));
    Click(Control<QPushButton>(&form, 1026));
    QCOMPARE(TopLevelCaptions(tree), QStringList({"Layer 1", "Layer 2"}));
    QCOMPARE(doc->m_nFGMLayerCount, 2);
    QCOMPARE(doc->m_fgmLayers[0].m_strLayer, std::string("Layer 2"));
    QCOMPARE(doc->m_fgmLayers[1].m_fVolFraction, 1.5f);

    // Typing into the layer list picks nothing.
    TypeIntoList(Control<QComboBox>(&form, 1024), "Layer 1");
    Click(Control<QPushButton>(&form, 1025));
    QCOMPARE(doc->m_nFGMLayerCount, 2);

    Click(Control<QPushButton>(&form, 2));
    QCOMPARE(form.result(), 2);
    QCOMPARE(doc->m_nFGMLayerCount, 2);
    QCOMPARE(doc->m_fFGMVolFraction, 0.1f);  // the opener did not copy anything back
}

void TestForms::fgmValidationOrder() {
    auto doc = MakeDoc(2);
    CRecordingSink sink;
    CFGM form(doc.get());
    form.m_pMessages = &sink;
    form.LoadFrom(*doc);
    Open(form);
    struct Step {
        int id;
        const char* bad;
        const char* good;
    };
    // In reading order; each bad field is reported while every later one is bad as well.
    const std::vector<Step> steps{{1033, "x", "5"},   {1061, "", "2"},    {1056, "3x", "0.2"},
                                  {1045, "-0", "4"},  {1040, ".0", "0"},  {1046, "1,5", "8"},
                                  {1066, "+0", ".5"}, {1067, " ", "0.9"}};
    Click(Control<QRadioButton>(&form, 1060));  // the radius can be typed into
    for (const Step& step : steps)
        Type(Control<QLineEdit>(&form, step.id), step.bad);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        Click(Control<QPushButton>(&form, 1));
        QCOMPARE(sink.m_messages.size(), i + 1);
        QCOMPARE(sink.m_messages.back(), std::string("Please enter a number."));
        auto* edit = Control<QLineEdit>(&form, steps[i].id);
        QCOMPARE(QApplication::focusWidget(), edit);
        QVERIFY(form.isVisible());
        Type(edit, steps[i].good);
    }
    Click(Control<QPushButton>(&form, 1));
    QCOMPARE(sink.m_messages.size(), steps.size());
    QCOMPARE(form.result(), 1);
    QCOMPARE(form.m_dFrequency, 5.0);
    QCOMPARE(form.m_fRadius, 2.0f);
    QCOMPARE(form.m_fThickness, 0.2f);
    QCOMPARE(form.m_fReceiverX, 4.0f);
    QCOMPARE(form.m_fTimeFrom, 0.0f);
    QCOMPARE(form.m_fTimeTo, 8.0f);
    QCOMPARE(form.m_fVolFraction, 0.5f);
    QCOMPARE(form.m_fLastVolFraction, 0.9f);
}

void TestForms::fgmLeavesCompositeLayersAlone() {
    auto doc = MakeDoc(2);
    doc->m_layers[0].m_strLayer = "Layer 1";
    doc->m_nComLayerCount = 1;
    CFGM form(doc.get());
    form.LoadFrom(*doc);
    Open(form);
    QCOMPARE(form.Tree()->topLevelItemCount(), 0);
    Click(Control<QPushButton>(&form, 1025));
    ClickNode(form.Tree(), form.Tree()->topLevelItem(0));
    Click(Control<QPushButton>(&form, 1026));
    QCOMPARE(doc->m_nFGMLayerCount, 0);
    QCOMPARE(doc->m_nComLayerCount, 1);
    QCOMPARE(doc->m_layers[0].m_strLayer, std::string("Layer 1"));
}

void TestForms::exchangeKeepsToTheFormsKind() {
    CheckExchange<CAllPara>(ComValues, FGMValues);
    CheckExchange<CFGM>(FGMValues, ComValues);
}

void TestForms::layerNumberControlsAndLabels() {
    CLayerNumber form;
    Open(form);
    QCOMPARE(form.windowTitle(), QString("Layer number"));
    const QSet<QString> texts = VisibleTexts(&form);
    for (const char* text : {"Number of layers", "OK", "Cancel"})
        QVERIFY2(texts.contains(text), text);
    QCOMPARE(ControlIds(&form), QSet<int>({1021, 1022, 1, 2}));
    auto* edit = Control<QLineEdit>(&form, 1021);
    QCOMPARE(edit->text(), QString("1"));
    // The spin button sits at the field's right edge, on its line.
    QWidget* spin = FindControl(&form, 1022);
    const QRect field(edit->mapTo(&form, QPoint()), edit->size());
    const QRect arrows(spin->mapTo(&form, QPoint()), spin->size());
    QVERIFY(arrows.left() >= field.right() && arrows.left() - field.right() <= 2);
    QVERIFY(arrows.top() < field.bottom() && arrows.bottom() > field.top());
}

void TestForms::layerNumberAcceptsOneToTwoHundred() {
    for (const char* text : {"200", "1", " 37\t"}) {
        CLayerNumber form;
        form.m_nLayers = 5;
        Open(form);
        Type(Control<QLineEdit>(&form, 1021), text);
        Click(Control<QPushButton>(&form, 1));
        QCOMPARE(form.result(), 1);
        QCOMPARE(form.m_nLayers, QString(text).trimmed().toInt());
    }
    CLayerNumber form;
    form.m_nLayers = 5;
    QTimer::singleShot(0, &form, [&] {
        Type(Control<QLineEdit>(&form, 1021), "9");
        Click(Control<QPushButton>(&form, 2));
    });
    QCOMPARE(form.exec(), 2);
    QCOMPARE(form.m_nLayers, 5);
}

void TestForms::layerNumberRefusesOthers() {
    CRecordingSink sink;
    CLayerNumber form;
    form.m_pMessages = &sink;
    form.m_nLayers = 3;
    Open(form);
    auto* edit = Control<QLineEdit>(&form, 1021);
    const QList<std::pair<const char*, const char*>> cases{
        {"201", "Please enter an integer between 1 and 200."},
        {"0", "Please enter an integer between 1 and 200."},
        {"-5", "Please enter an integer between 1 and 200."},
        {"2a", "Please enter an integer."},
        {"", "Please enter an integer."},
        {"+0", "Please enter an integer."},
        {"1.5", "Please enter an integer."}};
    for (const auto& [text, message] : cases) {
        Type(edit, text);
        edit->clearFocus();
        Click(Control<QPushButton>(&form, 1));
        QCOMPARE(sink.m_messages.back(), std::string(message));
        QVERIFY2(form.isVisible(), text);
        QCOMPARE(QApplication::focusWidget(), edit);
        QCOMPARE(form.m_nLayers, 3);
    }
    QCOMPARE(sink.m_messages.size(), static_cast<std::size_t>(cases.size()));
    form.close();
    QCOMPARE(form.result(), 2);
    QCOMPARE(form.m_nLayers, 3);
}

void TestForms::layerNumberSpinStepsAndWraps() {
    CLayerNumber form;
    form.m_nLayers = 199;
    Open(form);
    auto* edit = Control<QLineEdit>(&form, 1021);
    auto* up = FindControl(&form, 1022)->findChild<QToolButton*>(QStringLiteral("spinUp"));
    auto* down = FindControl(&form, 1022)->findChild<QToolButton*>(QStringLiteral("spinDown"));
    QVERIFY(up && down);
    Click(up);
    QCOMPARE(edit->text(), QString("200"));
    Click(up);
    QCOMPARE(edit->text(), QString("1"));
    Click(down);
    QCOMPARE(edit->text(), QString("200"));
    Click(down);
    QCOMPARE(edit->text(), QString("199"));
    // The arrow keys in the field do the same; a typed number is stepped from.
    Type(edit, "1");
    QTest::keyClick(edit, Qt::Key_Down);
    QCOMPARE(edit->text(), QString("200"));
    QTest::keyClick(edit, Qt::Key_Up);
    QCOMPARE(edit->text(), QString("1"));
    QTest::keyClick(edit, Qt::Key_Up);
    QCOMPARE(edit->text(), QString("2"));
    Type(edit, "50");
    Click(up);
    QCOMPARE(edit->text(), QString("51"));
    Click(Control<QPushButton>(&form, 1));
    QCOMPARE(form.result(), 1);
    QCOMPARE(form.m_nLayers, 51);
}

void TestForms::treeIconsAreElevenTransparentPictures() {
    const QList<QPixmap> icons = LoadTreeIconList();
    QCOMPARE(icons.size(), 11);
    QSet<QByteArray> distinct;
    for (const QPixmap& icon : icons) {
        QCOMPARE(icon.size(), QSize(16, 15));
        const QImage image = icon.toImage().convertToFormat(QImage::Format_ARGB32);
        // The corners are white, hence transparent; something in the picture is not.
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(15, 14)), 0);
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                opaque += qAlpha(image.pixel(x, y)) == 255;
        QVERIFY(opaque > 20);
        distinct << QByteArray(reinterpret_cast<const char*>(image.constBits()),
                               static_cast<int>(image.sizeInBytes()));
    }
    QCOMPARE(distinct.size(), 11);
    // Spot checks of the pictures' colours: cyan E1/E2, yellow G12, green v12/v23.
    auto centre = [&](int index) { return icons[index].toImage().pixelColor(7, 7); };
    QCOMPARE(centre(3), QColor(0, 255, 255));
    QCOMPARE(centre(4), QColor(255, 255, 0));
    QCOMPARE(centre(5), QColor(0, 192, 0));
    QCOMPARE(centre(7), QColor(255, 0, 255));
    QCOMPARE(centre(8), QColor(0, 0, 255));
}

PEMBLAR_GUI_TEST_MAIN(TestForms)
#include "test_forms.moc"
