// The material form driven as a user drives it: clicks, the name box's drop-down list, typing,
// and the confirmation forms answered when they come up. The table is a real SQLite file.

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <functional>

#include "ConfirmForm.h"
#include "MaterialTestSupport.h"
#include "Mateselect.h"
#include "MyRecordSet.h"
#include "OstrelDoc.h"
#include "WholeTextChecks.h"
#include "../GuiTestMain.h"

using namespace materials_test;

namespace {

const char* const kNumberFields[] = {"e1", "e2", "g12", "v12", "v23", "density", "angle"};

std::vector<TestRow> ThreeMaterials() {
    return {Row("glass", 38.6, 8.27, 4.14, 0.26, 0.4, 1.8, 0),
            Row("Alumina", 380, 380, 146.2, 0.3, 0.3, 3.8, 0),
            Row("carbon", 142.171234, 10.3, 7.17, 0.334, 0.5, 0.05, 0)};
}

// Answers the next confirmation form that comes up and remembers its text.
class ConfirmAnswer : public QObject {
public:
    explicit ConfirmAnswer(bool ok) : m_ok(ok) {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto* form = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            auto* confirm = dynamic_cast<CConfirmForm*>(form);
            if (!confirm)
                return;
            m_text = confirm->Text()->text();
            m_title = confirm->windowTitle();
            m_timer.stop();
            QTest::mouseClick(confirm->findChild<QPushButton*>(m_ok ? "ok" : "cancel"), Qt::LeftButton);
        });
        m_timer.start(10);
    }
    bool Seen() const { return !m_text.isEmpty(); }
    QString m_text;
    QString m_title;

private:
    bool m_ok;
    QTimer m_timer;
};

}  // namespace

class TestMateselect : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_root;
    QString m_table;
    RecordingSink m_sink;
    std::unique_ptr<COstrelDoc> m_doc;
    std::shared_ptr<CMyRecordSet> m_set;
    std::unique_ptr<CMateselect> m_form;

    void Open(const std::vector<TestRow>& rows, bool nameRequired = false,
              const QString& connectOptions = QString()) {
        WriteTable(m_table, rows, nameRequired);
        CMaterialSource source = SqliteMaterialSource(m_table, false);
        source.connectOptions = connectOptions;
        OpenOn(source);
    }

    void OpenOn(const CMaterialSource& source) {
        m_sink.messages.clear();
        m_doc = std::make_unique<COstrelDoc>();
        m_doc->m_services.messages = &m_sink;
        m_set = std::make_shared<CMyRecordSet>(source);
        m_doc->m_recordSet = m_set;
        m_form = std::make_unique<CMateselect>();
        m_form->m_pSet = m_set.get();
        m_form->m_pDoc = m_doc.get();
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        // Focus checks need the form active, which the X server grants a moment after exposure.
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    }

    QComboBox* NameBox() const { return m_form->findChild<QComboBox*>("materialName"); }
    QLineEdit* Field(const char* name) const { return m_form->findChild<QLineEdit*>(name); }
    QTreeWidget* Tree() const { return m_form->findChild<QTreeWidget*>("selected"); }

    QStringList FieldTexts() const {
        QStringList texts;
        for (const char* name : kNumberFields)
            texts << Field(name)->text();
        return texts;
    }

    QStringList ListEntries() const {
        QStringList entries;
        for (int i = 0; i < NameBox()->count(); ++i)
            entries << NameBox()->itemText(i);
        return entries;
    }

    void Click(const char* button) {
        auto* widget = m_form->findChild<QPushButton*>(button);
        QVERIFY2(widget, button);
        QTest::mouseClick(widget, Qt::LeftButton);
    }

    // Clicks a button that brings up a confirmation form and answers it.
    QString ClickAndConfirm(const char* button, bool ok) {
        ConfirmAnswer answer(ok);
        Click(button);
        return answer.m_text;
    }

    // Opens the drop-down list and clicks the entry.
    void Pick(const QString& name) {
        QComboBox* box = NameBox();
        const int index = box->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
        QVERIFY2(index >= 0, qPrintable(name));
        box->showPopup();
        QAbstractItemView* view = box->view();
        QVERIFY(QTest::qWaitForWindowExposed(view->window()));
        const QRect rect = view->visualRect(view->model()->index(index, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
        QTRY_VERIFY(!view->isVisible());
        QCOMPARE(box->currentText(), name);
    }

    // Replaces the text of an edit field by typing.
    static void Type(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }

    void TypeName(const QString& text) { Type(NameBox()->lineEdit(), text); }

    // A node of the tree by its caption path, "carbon1/constants/E1(GPa) : 142.1712".
    QTreeWidgetItem* Node(const QString& path) const {
        QTreeWidgetItem* node = nullptr;
        for (const QString& part : path.split(QLatin1Char('/'))) {
            QTreeWidgetItem* found = nullptr;
            const int count = node ? node->childCount() : Tree()->topLevelItemCount();
            for (int i = 0; i < count && !found; ++i) {
                QTreeWidgetItem* child = node ? node->child(i) : Tree()->topLevelItem(i);
                if (child->text(0) == part)
                    found = child;
            }
            if (!found)
                return nullptr;
            node = found;
        }
        return node;
    }

    void SelectNode(QTreeWidgetItem* node) {
        QVERIFY(node);
        for (QTreeWidgetItem* up = node->parent(); up; up = up->parent())
            up->setExpanded(true);
        Tree()->scrollToItem(node);
        const QRect rect = Tree()->visualItemRect(node);
        QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {}, rect.center());
        QVERIFY(node->isSelected());
    }

    QStringList TopLevelCaptions() const {
        QStringList captions;
        for (int i = 0; i < Tree()->topLevelItemCount(); ++i)
            captions << Tree()->topLevelItem(i)->text(0);
        return captions;
    }

    QStringList ProjectList() const {
        QStringList entries;
        for (int i = 0; i < m_doc->m_nMaterials; ++i) {
            const CMaterial& m = m_doc->m_materials[static_cast<std::size_t>(i)];
            entries << QString::fromStdString(m.m_strName) + QLatin1Char(':') + QString::number(m.m_nNo);
        }
        return entries;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_root.isValid());
        m_table = m_root.filePath(QStringLiteral("table.db"));
        IsolateEnvironment(m_root.path(), m_table);
    }

    void cleanup() {
        m_form.reset();
        m_set.reset();
        m_doc.reset();
    }

    void openingShowsFirstNameWithZeros() {
        Open(ThreeMaterials());
        QCOMPARE(m_form->windowTitle(), QStringLiteral("Material Parameter"));
        QCOMPARE(ListEntries(), (QStringList{"Alumina", "carbon", "glass"}));
        QCOMPARE(NameBox()->currentText(), QStringLiteral("Alumina"));
        QCOMPARE(m_form->PickedIndex(), 0);
        QCOMPARE(FieldTexts(), QStringList(7, QStringLiteral("0")));
        QVERIFY(m_set->IsOpen());
        QVERIFY(m_set->IsEOF());
        QVERIFY(m_sink.messages.isEmpty());
        // "----->" at once takes that name with all values 0.
        Click("addMaterial");
        QCOMPARE(ProjectList(), QStringList{"Alumina:0"});
        QCOMPARE(m_doc->m_materials[0].m_dE1, 0.0);
        QCOMPARE(m_doc->m_materials[0].m_fAngle, 0.0f);
        QVERIFY(Node("Alumina/constants/E1(GPa) : 0."));
    }

    void longNamesAndValuesAreShownWhole() {
        Open({Row("T300/5208 carbon/epoxy, unidirectional prepreg", 181.123456, 10.3456789, 7.17, 0.28, 0.4,
                  1.6012345, 0),
              Row("glass", 38.6, 8.27, 4.14, 0.26, 0.4, 1.8, 0)});
        Pick(QStringLiteral("T300/5208 carbon/epoxy, unidirectional prepreg"));
        QString why;
        QVERIFY2(ShowsEntriesWhole(NameBox(), &why), qPrintable(why));
        Click("addMaterial");
        QCOMPARE(CutCaptions(Tree()), QStringList());
    }

    void nameListSortedWithoutCaseAndKeepsEqualNames() {
        Open({Row("b", 1, 1, 1, 0.1, 0.1, 1, 0), Row("B", 2, 2, 2, 0.2, 0.2, 2, 0), Row("a", 3, 3, 3, 0.3, 0.3, 3, 0),
              Row("b", 4, 4, 4, 0.4, 0.4, 4, 0)});
        QCOMPARE(ListEntries(), (QStringList{"a", "b", "B", "b"}));
    }

    void pickingFillsSevenDigitTexts() {
        Open(ThreeMaterials());
        Pick(QStringLiteral("carbon"));
        QCOMPARE(FieldTexts(), (QStringList{"142.1712", "10.3", "7.17", "0.334", "0.5", "5.e-002", "0."}));
        // The values that enter the project are the texts shown, not the table's.
        Click("addMaterial");
        QCOMPARE(ProjectList(), QStringList{"carbon:0"});
        const CMaterial& added = m_doc->m_materials[0];
        QCOMPARE(added.m_dE1, 142.1712);
        QCOMPARE(added.m_dDensity, 0.05);
        QCOMPARE(added.m_dV12, 0.334);
        QVERIFY(Node("carbon/constants/E1(GPa) : 142.1712"));
        QVERIFY(Node("carbon/constants/E2(GPa) : 10.3"));
        QVERIFY(Node("carbon/constants/G12(GPa) : 7.17"));
        QVERIFY(Node("carbon/constants/v12 : 0.334"));
        QVERIFY(Node("carbon/constants/v23 : 0.5"));
        QVERIFY(Node("carbon/properties/density : 5.e-002"));
        QVERIFY(Node("carbon/properties/angle : 0."));
        QCOMPARE(Node("carbon")->childCount(), 2);
        QVERIFY(!Node("carbon")->isExpanded());
        // Nine icons of 16 x 15; the material node opens its folder while selected.
        const QIcon icon = Node("carbon")->icon(0);
        QVERIFY(!icon.isNull());
        const QImage normal = icon.pixmap(QSize(16, 15), QIcon::Normal).toImage();
        const QImage selected = icon.pixmap(QSize(16, 15), QIcon::Selected).toImage();
        QCOMPARE(normal.size(), QSize(16, 15));
        QVERIFY(normal != selected);
    }

    void typedValuesEnterTheProject() {
        Open(ThreeMaterials());
        Pick(QStringLiteral("glass"));
        Type(Field("e1"), QStringLiteral(" 41.5 "));
        Click("addMaterial");
        QCOMPARE(m_doc->m_materials[0].m_dE1, 41.5);
        QCOMPARE(m_doc->m_materials[0].m_dE2, 8.27);
    }

    void addingTheSameMaterialNumbersTheCopies() {
        Open(ThreeMaterials());
        Pick(QStringLiteral("carbon"));
        Click("addMaterial");
        Click("addMaterial");
        Click("addMaterial");
        QCOMPARE(ProjectList(), (QStringList{"carbon:0", "carbon1:1", "carbon2:2"}));
        QCOMPARE(TopLevelCaptions(), (QStringList{"carbon", "carbon1", "carbon2"}));
        // Taking carbon1 out, the next copy still follows the newest: carbon3.
        SelectNode(Node("carbon1"));
        Click("removeMaterial");
        QCOMPARE(ProjectList(), (QStringList{"carbon:0", "carbon2:2"}));
        QCOMPARE(TopLevelCaptions(), (QStringList{"carbon", "carbon2"}));
        Click("addMaterial");
        QCOMPARE(ProjectList(), (QStringList{"carbon:0", "carbon2:2", "carbon3:3"}));
        Pick(QStringLiteral("glass"));
        Click("addMaterial");
        Click("addMaterial");
        QCOMPARE(ProjectList().mid(3), (QStringList{"glass:0", "glass1:1"}));
    }

    void removalMatchesCaptionsOnly() {
        Open(ThreeMaterials());
        Pick(QStringLiteral("carbon"));
        Click("addMaterial");
        Pick(QStringLiteral("glass"));
        Click("addMaterial");
        // Nothing selected: nothing happens.
        Tree()->clearSelection();
        Click("removeMaterial");
        QCOMPARE(TopLevelCaptions(), (QStringList{"carbon", "glass"}));
        // A "constants" node leaves the tree with its five leaves; the project list stays.
        SelectNode(Node("carbon/constants"));
        Click("removeMaterial");
        QVERIFY(!Node("carbon/constants"));
        QVERIFY(Node("carbon/properties"));
        QCOMPARE(Node("carbon")->childCount(), 1);
        QCOMPARE(ProjectList(), (QStringList{"carbon:0", "glass:0"}));
        // So does a leaf.
        SelectNode(Node("glass/properties/density : 1.8"));
        Click("removeMaterial");
        QVERIFY(!Node("glass/properties/density : 1.8"));
        QCOMPARE(ProjectList(), (QStringList{"carbon:0", "glass:0"}));
        // A material node takes its entry with it.
        SelectNode(Node("glass"));
        Click("removeMaterial");
        QCOMPARE(ProjectList(), QStringList{"carbon:0"});
        QCOMPARE(TopLevelCaptions(), QStringList{"carbon"});
    }

    void typedNameIsNotInTheSet() {
        Open(ThreeMaterials());
        Pick(QStringLiteral("glass"));
        TypeName(QStringLiteral("carbon"));
        QCOMPARE(m_form->PickedIndex(), -1);
        Click("addMaterial");
        QCOMPARE(m_sink.messages, QStringList{"This material is not in the set! "});
        QCOMPARE(m_doc->m_nMaterials, 0);
        // The list was refreshed: first name picked, fields of the first row delivered.
        QCOMPARE(NameBox()->currentText(), QStringLiteral("Alumina"));
        QCOMPARE(m_form->PickedIndex(), 0);
        QCOMPARE(Field("e1")->text(), QStringLiteral("38.6"));
    }

    void addRecordChecksTheName() {
        Open(ThreeMaterials());
        TypeName(QString());
        ConfirmAnswer unexpected(true);
        Click("addRecord");
        QCOMPARE(m_sink.messages, QStringList{"Please enter the material name!"});
        TypeName(QStringLiteral("glass"));
        Click("addRecord");
        QCOMPARE(m_sink.messages.last(), QStringLiteral("The material name already exists!"));
        TypeName(QString(256, QLatin1Char('x')));
        Click("addRecord");
        QCOMPARE(m_sink.messages.last(), QStringLiteral("The material name is longer than 255 characters!"));
        QTest::qWait(50);
        QVERIFY(!unexpected.Seen());
        QCOMPARE(TableRows(m_table).size(), 3);
    }

    void addRecordWritesAfterConfirmation() {
        Open(ThreeMaterials());
        TypeName(QStringLiteral("Carbon"));  // differs from "carbon" only in case
        Type(Field("e1"), QStringLiteral("230"));
        Type(Field("angle"), QStringLiteral("45"));
        QCOMPARE(ClickAndConfirm("addRecord", false), QStringLiteral("Add this new record  to the material set?"));
        QCOMPARE(TableRows(m_table).size(), 3);
        // The refresh after Cancel showed the first row's values; the typed ones go over them.
        QCOMPARE(Field("e2")->text(), QStringLiteral("8.27"));
        QString name255(255, QLatin1Char('y'));
        TypeName(QStringLiteral("Carbon"));
        Type(Field("e1"), QStringLiteral("230"));
        Type(Field("angle"), QStringLiteral("45"));
        ClickAndConfirm("addRecord", true);
        QVERIFY(m_sink.messages.isEmpty());
        QCOMPARE(TableRows(m_table).last(), QStringLiteral("Carbon|230|8.27|4.14|0.26|0.4|1.8|45"));
        QCOMPARE(ListEntries(), (QStringList{"Alumina", "carbon", "Carbon", "glass"}));
        // After the refresh the first row delivered is shown.
        QCOMPARE(Field("e1")->text(), QStringLiteral("38.6"));
        TypeName(name255);
        ClickAndConfirm("addRecord", true);
        QVERIFY(m_sink.messages.isEmpty());
        QCOMPARE(TableRows(m_table).size(), 5);
    }

    void updateReplacesPickedRowEvenWithEmptyOrDuplicateName() {
        Open(ThreeMaterials());
        Pick(QStringLiteral("glass"));
        TypeName(QString());
        QCOMPARE(ClickAndConfirm("updateRecord", true), QStringLiteral("Update this record in the material set?"));
        QVERIFY(m_sink.messages.isEmpty());
        QCOMPARE(TableRows(m_table), (QStringList{"Alumina|380|380|146.2|0.3|0.3|3.8|0",
                                                  "carbon|142.171234|10.3|7.17|0.334|0.5|0.05|0",
                                                  "NULL|38.6|8.27|4.14|0.26|0.4|1.8|0"}));
        QCOMPARE(ListEntries(), (QStringList{"", "Alumina", "carbon"}));
        // The picked row takes a name another row has.
        Pick(QStringLiteral("Alumina"));
        TypeName(QStringLiteral("carbon"));
        ClickAndConfirm("updateRecord", true);
        QCOMPARE(ListEntries(), (QStringList{"", "carbon", "carbon"}));
        QCOMPARE(TableRows(m_table).last(), QStringLiteral("carbon|380|380|146.2|0.3|0.3|3.8|0"));
        // Cancel changes nothing.
        Pick(QStringLiteral("carbon"));
        const QStringList before = TableRows(m_table);
        TypeName(QStringLiteral("other"));
        ClickAndConfirm("updateRecord", false);
        QCOMPARE(TableRows(m_table), before);
    }

    void failedUpdateLosesNoRow() {
        // A table whose name column refuses NULL, as a shared database may be set up.
        Open(ThreeMaterials(), true);
        const QStringList before = TableRows(m_table);
        Pick(QStringLiteral("glass"));
        TypeName(QString());
        ClickAndConfirm("updateRecord", true);
        QCOMPARE(m_sink.messages.size(), 1);
        // Said as what happened to the row: nothing was deleted.
        QVERIFY2(m_sink.messages[0].startsWith(QStringLiteral("The material could not be updated; the old row is kept: ")),
                 qPrintable(m_sink.messages[0]));
        QVERIFY(!m_sink.messages[0].contains(QStringLiteral("delete"), Qt::CaseInsensitive));
        QCOMPARE(TableRows(m_table), before);
        QVERIFY(m_form->isVisible());
        // The form goes on working: a proper name replaces the row.
        Pick(QStringLiteral("glass"));
        TypeName(QStringLiteral("E-glass"));
        ClickAndConfirm("updateRecord", true);
        QCOMPARE(ListEntries(), (QStringList{"Alumina", "carbon", "E-glass"}));
        QCOMPARE(TableRows(m_table).size(), 3);
    }

    // Another user removes a row by name, through a connection of their own.
    void RemoveAsAnotherUser(const QString& name) {
        const QString connection = QStringLiteral("another-user");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(m_table);
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.prepare(QStringLiteral("DELETE FROM \"%1\" WHERE \"%2\" = ?")
                                      .arg(QLatin1String(kMaterialTable), MaterialColumns()[1])));
            query.addBindValue(name);
            QVERIFY(query.exec());
            QCOMPARE(query.numRowsAffected(), 1);
        }
        QSqlDatabase::removeDatabase(connection);
    }

    void aRowAnotherUserRemovedIsNeitherUpdatedBackNorDeletedTwice() {
        Open(ThreeMaterials());
        Pick(QStringLiteral("glass"));
        RemoveAsAnotherUser(QStringLiteral("glass"));
        const QStringList left = TableRows(m_table);
        QCOMPARE(left.size(), 2);
        TypeName(QStringLiteral("E-glass"));
        ClickAndConfirm("updateRecord", true);
        // Said, nothing made again, and the list is the table's.
        QCOMPARE(m_sink.messages.size(), 1);
        QVERIFY2(m_sink.messages[0].startsWith(QStringLiteral("The material was not updated: another user removed it")),
                 qPrintable(m_sink.messages[0]));
        QCOMPARE(TableRows(m_table), left);
        QCOMPARE(ListEntries(), (QStringList{"Alumina", "carbon"}));
        // The same for a delete.
        m_sink.messages.clear();
        Pick(QStringLiteral("carbon"));
        RemoveAsAnotherUser(QStringLiteral("carbon"));
        ClickAndConfirm("deleteRecord", true);
        QCOMPARE(m_sink.messages.size(), 1);
        QVERIFY2(m_sink.messages[0].contains(QStringLiteral("another user removed it")), qPrintable(m_sink.messages[0]));
        QCOMPARE(ListEntries(), (QStringList{"Alumina"}));
        QCOMPARE(TableRows(m_table).size(), 1);
    }

    void updateRefusesLongNames() {
        Open(ThreeMaterials());
        Pick(QStringLiteral("glass"));
        TypeName(QString(256, QLatin1Char('z')));
        ConfirmAnswer unexpected(true);
        Click("updateRecord");
        QTest::qWait(50);
        QVERIFY(!unexpected.Seen());
        QCOMPARE(m_sink.messages, QStringList{"The material name is longer than 255 characters!"});
        QCOMPARE(TableRows(m_table).size(), 3);
    }

    void deleteAndUpdateNeedAPickedRow() {
        Open(ThreeMaterials());
        const QStringList before = TableRows(m_table);
        // Right after opening no row is current: a confirmed update or delete ends with an error.
        ClickAndConfirm("updateRecord", true);
        ClickAndConfirm("deleteRecord", true);
        QCOMPARE(m_sink.messages.size(), 2);
        QVERIFY(m_sink.messages[0].contains(QStringLiteral("No current record")));
        QVERIFY(m_sink.messages[1].contains(QStringLiteral("No current record")));
        QCOMPARE(TableRows(m_table), before);
        m_sink.messages.clear();
        Pick(QStringLiteral("carbon"));
        QCOMPARE(ClickAndConfirm("deleteRecord", false), QStringLiteral("Delete this record from the material set?"));
        QCOMPARE(TableRows(m_table).size(), 3);
        // After the refresh the first row is current; a delete now takes that one.
        Pick(QStringLiteral("carbon"));
        ClickAndConfirm("deleteRecord", true);
        QVERIFY(m_sink.messages.isEmpty());
        QCOMPARE(ListEntries(), (QStringList{"Alumina", "glass"}));
        ClickAndConfirm("deleteRecord", true);
        QCOMPARE(ListEntries(), QStringList{"Alumina"});
        QCOMPARE(TableRows(m_table), QStringList{"Alumina|380|380|146.2|0.3|0.3|3.8|0"});
    }

    void emptyTable() {
        Open({});
        QCOMPARE(NameBox()->count(), 0);
        QCOMPARE(NameBox()->currentText(), QString());
        // "Delete" clears the form, "Update" does nothing.
        TypeName(QStringLiteral("boron"));
        Type(Field("e1"), QStringLiteral("204"));
        {
            ConfirmAnswer unexpected(true);
            Click("deleteRecord");
            Click("updateRecord");
            QTest::qWait(50);
            QVERIFY(!unexpected.Seen());
        }
        QCOMPARE(NameBox()->currentText(), QString());
        QCOMPARE(FieldTexts(), QStringList(7, QStringLiteral("0")));
        // "Add" goes straight to its confirmation once a name is typed.
        TypeName(QStringLiteral("boron"));
        Type(Field("e1"), QStringLiteral("204"));
        QCOMPARE(ClickAndConfirm("addRecord", true), QStringLiteral("Add this new record  to the material set?"));
        QCOMPARE(TableRows(m_table), QStringList{"boron|204|0|0|0|0|0|0"});
        QCOMPARE(ListEntries(), QStringList{"boron"});
        QCOMPARE(Field("e1")->text(), QStringLiteral("204."));
        QVERIFY(m_sink.messages.isEmpty());
    }

    void fieldThatHoldsNoNumber() {
        Open(ThreeMaterials());
        Type(Field("v12"), QStringLiteral("abc"));
        m_sink.messages.clear();
        // Every keystroke in the name box reads the form.
        QTest::keyClicks(NameBox()->lineEdit(), QStringLiteral("ab"));
        QCOMPARE(m_sink.messages, (QStringList{"Please enter a number.", "Please enter a number."}));
        QCOMPARE(QApplication::focusWidget(), Field("v12"));
        // "OK" keeps the form open; "Add" writes nothing from a form that does not read.
        m_sink.messages.clear();
        Click("ok");
        QVERIFY(m_form->isVisible());
        QCOMPARE(m_sink.messages, QStringList{"Please enter a number."});
        TypeName(QStringLiteral("new"));
        Type(Field("v12"), QStringLiteral("0"));
        Type(Field("angle"), QStringLiteral("1e50"));  // beyond a float
        m_sink.messages.clear();
        ConfirmAnswer unexpected(true);
        Click("addRecord");
        QTest::qWait(50);
        QVERIFY(!unexpected.Seen());
        QCOMPARE(m_sink.messages, QStringList{"Please enter a number."});
        QCOMPARE(TableRows(m_table).size(), 3);
    }

    void readOnlyTableRefusesChanges() {
        Open(ThreeMaterials(), false, QStringLiteral("QSQLITE_OPEN_READONLY"));
        TypeName(QStringLiteral("boron"));
        ClickAndConfirm("addRecord", true);
        QCOMPARE(m_sink.messages.size(), 1);
        Pick(QStringLiteral("glass"));
        ClickAndConfirm("deleteRecord", true);
        Pick(QStringLiteral("glass"));
        ClickAndConfirm("updateRecord", true);
        QCOMPARE(m_sink.messages.size(), 3);
        QCOMPARE(TableRows(m_table).size(), 3);
        QCOMPARE(ListEntries(), (QStringList{"Alumina", "carbon", "glass"}));
    }

    void addAfterAFailedOpenSaysWhyAndWorksOnceTheTableIsBack() {
        // The table's file is not there when the form opens (a share not mounted yet).
        QFile::remove(m_table);
        OpenOn(SqliteMaterialSource(m_table, false));
        QCOMPARE(m_sink.messages.size(), 1);
        QVERIFY(!m_set->IsOpen());
        TypeName(QStringLiteral("steel"));
        const QString asked = ClickAndConfirm("addRecord", true);
        QVERIFY2(asked.isEmpty(), qPrintable(asked));  // nothing to confirm while there is no table
        QCOMPARE(m_sink.messages.size(), 2);
        // The reason, not the record set's inner state.
        QVERIFY2(m_sink.messages[1].contains(QStringLiteral("does not exist")), qPrintable(m_sink.messages[1]));
        QVERIFY(!m_sink.messages[1].contains(QStringLiteral("AddNew")));
        // Once the table is back the same form adds the row.
        WriteTable(m_table, ThreeMaterials());
        TypeName(QStringLiteral("steel"));
        ClickAndConfirm("addRecord", true);
        QCOMPARE(m_sink.messages.size(), 2);
        QCOMPARE(ListEntries(), (QStringList{"Alumina", "carbon", "glass", "steel"}));
        QCOMPARE(TableRows(m_table).size(), 4);
    }

    void unreachableDataSourceLeavesTheProjectListUsable() {
        OpenOn(OdbcMaterialSource(QStringLiteral("NoSuchSource")));
        QCOMPARE(m_sink.messages.size(), 1);
        QVERIFY(m_sink.messages[0].contains(QStringLiteral("NoSuchSource")));
        QCOMPARE(NameBox()->count(), 0);
        QVERIFY(!m_set->IsOpen());
        Click("ok");
        QVERIFY(!m_form->isVisible());
        QCOMPARE(m_form->result(), int(QDialog::Accepted));
    }

    void odbcTableThroughTheForm() {
        WriteTable(m_table, ThreeMaterials(), true);
        OpenOn(OdbcMaterialSource(QString::fromLatin1(kTestDsn)));
        QCOMPARE(ListEntries(), (QStringList{"Alumina", "carbon", "glass"}));
        Pick(QStringLiteral("carbon"));
        QCOMPARE(Field("e1")->text(), QStringLiteral("142.1712"));
        // The refused update rolls back through the driver manager too.
        const QStringList before = TableRows(m_table);
        TypeName(QString());
        ClickAndConfirm("updateRecord", true);
        QCOMPARE(m_sink.messages.size(), 1);
        QCOMPARE(TableRows(m_table), before);
    }

    void modalResults() {
        WriteTable(m_table, ThreeMaterials());
        COstrelDoc doc;
        doc.m_services.messages = &m_sink;
        auto set = std::make_shared<CMyRecordSet>(SqliteMaterialSource(m_table, false));
        for (const char* button : {"ok", "cancel"}) {
            CMateselect form;
            form.m_pSet = set.get();
            form.m_pDoc = &doc;
            QTimer::singleShot(0, &form, [&form, button] {
                QTest::mouseClick(form.findChild<QPushButton*>(button), Qt::LeftButton);
            });
            QCOMPARE(form.DoModal(), QString::fromLatin1(button) == QStringLiteral("ok") ? 1 : 2);
        }
        // The record set stays open when the form closes.
        QVERIFY(set->IsOpen());
    }
};

PEMBLAR_GUI_TEST_MAIN(TestMateselect)
#include "test_mateselect.moc"
