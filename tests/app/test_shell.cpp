// The application shell through its real windows: start-up, the two menu bars and the toolbar
// against the command table as the user sees it, documents and their windows, the recent-file
// list and the settings file, the status bar, command routing, drops and the command line.

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QPageSetupDialog>
#include <QtTest>

#include <fstream>

#include <memory>
#include <set>

#include "AboutDlg.h"
#include "ChildFrm.h"
#include "CommandTable.h"
#include "DocCommands.h"
#include "../ScriptedModal.h"
#include "CommandIds.h"
#include "CommandLineInfo.h"
#include "CommandTarget.h"
#include "DocumentHost.h"
#include "MainFrm.h"
#include "OstrelApp.h"
#include "OstrelView.h"
#include "SolverOptionsDlg.h"
#include "ToolbarIcons.h"
#include "../GuiTestMain.h"

namespace {


class CRecordingSink : public IMessageSink {
public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    std::vector<std::string> messages;
};

// A document command carrier that records what reaches it.
class CFakeCarrier : public ICommandTarget {
public:
    explicit CFakeCarrier(std::set<int> carried) : m_carried(std::move(carried)) {}
    bool OnCommand(int id) override {
        if (!Carries(id))
            return false;
        received.push_back(id);
        return true;
    }
    std::optional<bool> OnUpdateCommand(int id) const override {
        if (id == Cmd::kExecuteComposite)
            return executeEnabled;
        return std::nullopt;
    }
    bool Carries(int id) const override { return m_carried.count(id) != 0; }
    std::vector<int> received;
    bool executeEnabled = false;

private:
    std::set<int> m_carried;
};

// Counts the paint events a widget receives.
class CPaintCounter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++count;
        return QObject::eventFilter(watched, event);
    }
    int count = 0;
};

// Menu contents as text, one line per item: "label|shortcut|prompt|tool tip", "-" for a
// separator, "title>" before the indented items of a submenu. Hidden items are left out.
void DescribeMenu(QMenu* menu, const QString& indent, QStringList& out) {
    for (QAction* action : menu->actions()) {
        if (!action->isVisible())
            continue;
        if (action->isSeparator()) {
            out << indent + "-";
        } else if (QMenu* sub = action->menu()) {
            out << indent + sub->title() + ">";
            DescribeMenu(sub, indent + "  ", out);
        } else {
            out << indent + QStringList{action->text(), action->shortcut().toString(), action->statusTip(),
                                        action->toolTip()}
                                   .join('|');
        }
    }
}

QStringList DescribeMenuBar(CMainFrame* frame) {
    QStringList out;
    for (QAction* top : frame->menuBar()->actions()) {
        out << top->menu()->title() + ">";
        DescribeMenu(top->menu(), "  ", out);
    }
    return out;
}

QString WriteFile(const QString& dir, const QString& name) {
    const QString path = dir + "/" + name;
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("1\n");
    return path;
}

// Pixel counts of the two family colours in a toolbar picture.
std::pair<int, int> FamilyPixels(const QImage& image) {
    int blue = 0, magenta = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() < 128)
                continue;
            if (c.blue() > 150 && c.red() < 80 && c.green() < 140)
                ++blue;
            if (c.red() > 150 && c.blue() > 150 && c.green() < 80)
                ++magenta;
        }
    return {blue, magenta};
}

}  // namespace

class TestShell : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<COstrelApp> m_app;
    CRecordingSink m_sink;
    QTemporaryDir m_work;

    CMainFrame* StartApp(const QStringList& args = {}) {
        m_app = std::make_unique<COstrelApp>();
        m_app->SetMessageSink(&m_sink);
        if (!m_app->InitInstance(args))
            return nullptr;
        return m_app->MainFrame();
    }
    void ClearSettings() {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, COstrelApp::kRegistryKey,
                           COstrelApp::kAppName);
        settings.clear();
        settings.sync();
    }

private slots:
    void init() {
        ClearSettings();
        m_sink.messages.clear();
        QDir::setCurrent(m_work.path());
    }
    void cleanup() {
        m_app.reset();
        QApplication::processEvents();
    }

    void settingsStayInTheTestDirectory() {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, COstrelApp::kRegistryKey,
                           COstrelApp::kAppName);
        QVERIFY2(settings.fileName().startsWith(PrivateUserDirs().Config()), qPrintable(settings.fileName()));
    }

    void startsMaximisedWithoutDocumentUnderMenu128() {
        CMainFrame* frame = StartApp();
        QVERIFY(frame);
        QVERIFY(m_app->RunsEventLoop());
        QVERIFY(frame->isVisible());
        QVERIFY(frame->isMaximized());
        QCOMPARE(frame->windowTitle(), QString("Pemblar"));
        QCOMPARE(frame->MdiArea()->subWindowList().size(), 0);
        QVERIFY(m_app->Documents().empty());
        QCOMPARE(frame->CurrentMenu(), 128);
        // Open needs a document: greyed in the menu and on the toolbar.
        QVERIFY(!frame->Action(Cmd::kFileOpen, 128)->isEnabled());
        QVERIFY(!frame->Action(Cmd::kFileOpen, 129)->isEnabled());
        QVERIFY(frame->Action(Cmd::kFileNew)->isEnabled());
        QVERIFY(frame->RecentFilePlaceholder()->isVisible());
        QVERIFY(!frame->RecentFilePlaceholder()->isEnabled());
        QVERIFY(frame->Action(Cmd::kViewToolbar)->isChecked());
        QVERIFY(frame->Action(Cmd::kViewStatusBar)->isChecked());
    }

    void menuBarsShowTheCommandTable() {
        CMainFrame* frame = StartApp();
        const QStringList expected128 = {
            "&File>",
            "  &New|Ctrl+N|Create a new document|New",
            "  &Open...|Ctrl+O|Open a composite document|Open a composite document",
            "  -",
            "  P&rint Setup...||Change the printer and printing options|Print Setup",
            "  -",
            "  Recent File||Open this document|Recent File",
            "  -",
            "  E&xit||Quit the application; prompts to save documents|Exit",
            "&View>",
            "  &Toolbar||Show or hide the toolbar|Toggle ToolBar",
            "  &Status Bar||Show or hide the status bar|Toggle StatusBar",
            "&Help>",
            "  &Help Topics||List Help topics|Help Topics",
            "  -",
            "  &About Pemblar...||Display program information, version number and copyright|About",
        };
        QCOMPARE(DescribeMenuBar(frame), expected128);

        m_app->OnFileNew();
        QCOMPARE(frame->CurrentMenu(), 129);
        const QStringList expected129 = {
            "&File>",
            "  &New|Ctrl+N|Create a new document|New",
            "  &Open Composite File|Ctrl+O|Open a composite document|Open a composite document",
            "  Open FGM File||Open FGM File|Open FGM File",
            "  &Close||Close the active document|Close",
            "  &Save bitmap|Ctrl+S|Save the active document|Save",
            "  -",
            "  &Print...|Ctrl+P|Print the active document|Print",
            "  Print Pre&view||Display full pages|Print Preview",
            "  P&rint Setup...||Change the printer and printing options|Print Setup",
            "  -",
            "  Recent File||Open this document|Recent File",
            "  -",
            "  E&xit||Quit the application; prompts to save documents|Exit",
            "&View>",
            "  &Toolbar||Show or hide the toolbar|Toggle ToolBar",
            "  &Status Bar||Show or hide the status bar|Toggle StatusBar",
            "&Window>",
            "  &New Window||Open another window for the active document|New Window",
            "  &Cascade||Arrange windows so they overlap|Cascade Windows",
            "  &Tile||Arrange windows as non-overlapping tiles|Tile Windows",
            "  &Arrange Icons||Arrange icons at the bottom of the window|Arrange Icons",
            "  -",
            "  &1 Pemblar1||Activate this window|1 Pemblar1",
            "Pre-processing>",
            "  Material selected||Selecting Materail|Selecting Materail",
            "  LayerPara||Input the number of layers|Input the number of layers",
            "  Input composite parameters||Input all parameters for composite|Input all parameters for composite",
            "  Input FGM parameters||Input all parameters for FGM|Input all parameters for FGM",
            "  -",
            "  Sampled load...||Make ft.dat for the load type Any f(t): tone burst, pulse, step or a measurement|Sampled load",
            "Computing>",
            "  Execute composite||Computing composite|Computing composite",
            "  Execute FGM||Computing FGM|Computing FGM",
            "  -",
            "  Dispersion curves...||Compute and show the dispersion curves of the stack|Dispersion curves",
            "  Wave field...||Compute and show the surface displacement of the plate around a point source, frame by frame|Wave field",
            "  -",
            "  Solver options...||Choose the element order the solvers use through the thickness: automatic or "
            "fixed|Solver options",
            "Display>",
            "  Composite>",
            "    Current>",
            "      Display curve(T- U)||Display curve(T- U)|Display curve(T- U)",
            "      Display curve(T- V)||Display curve (V-T) |Display curve (V-T) ",
            "      Display curve(T- W)||Display curve(T- W)|Display curve(T- W)",
            "    Existing>",
            "      Display curve(T- U)||Display existing curve(T- U)|Display existing curve(T- U)",
            "      Display curve(T- V)||Display existing curve(T- V)|Display existing curve(T- V)",
            "      Display curve(T- W)||Display existing curve(T- W)|Display existing curve(T- W)",
            "  FGM>",
            "    Current>",
            "      Display curve(T- U)||Display curve(T- U)|Display curve(T- U)",
            "      Display curve(T- V)||Display curve(T- V)|Display curve(T- V)",
            "      Display curve(T- W)||Display curve(T- W)|Display curve(T- W)",
            "    Existing>",
            "      Display curve(T- U)||Display existing curve(T- U)|Display existing curve(T- U)",
            "      Display curve(T- V)||Display existing curve(T- V)|Display existing curve(T- V)",
            "      Display curve(T- W)||Display existing curve(T- W)|Display existing curve(T- W)",
            // Added after the Display menu's own entries.
            "  -",
            "  Show computed curve|Ctrl+D|Show the component the last run computed|Show computed curve",
            // Added after the Display menu: the curve view's plot commands.
            "Plot>",
            "  Add curve...||Draw the curve of another result file or CSV file over this one|Add curve",
            "  Remove curves||Remove the added curves|Remove curves",
            "  -",
            "  Zoom in||Show a shorter time span (mouse wheel, + key)|Zoom in",
            "  Zoom out||Show a longer time span (mouse wheel, - key)|Zoom out",
            "  Overview||Show the whole curve (Home key)|Overview",
            "  -",
            "  Export data...||Write the shown curves as a CSV file|Export data",
            "  Export image...||Write the plot as a PNG or SVG image|Export image",
            "  Copy|Ctrl+C|Copy the plot to the clipboard as an image|Copy",
            "&Study>",
            "  Study...||Run the project over many receiving points or values of one parameter, here or on a Slurm cluster|Study",
            "  Open study...||Load a study file into the Study form and show its results|Open study",
            "&Help>",
            "  &Help Topics||List Help topics|Help Topics",
            "  -",
            "  &About Pemblar...||Display program information, version number and copyright|About",
        };
        QCOMPARE(DescribeMenuBar(frame), expected129);

        // The Display entries carry their own identifiers in menu order; the added one follows.
        const int displayIds[] = {32778, 32781, 32782, 32788, 32789, 32790,
                                  32793, 32794, 32795, 32796, 32797, 32798, Cmd::kShowComputedCurve};
        QList<int> shown;
        std::function<void(QMenu*)> collect = [&](QMenu* menu) {
            for (QAction* a : menu->actions())
                if (a->menu())
                    collect(a->menu());
                else if (!a->isSeparator())
                    shown << a->data().toInt();
        };
        collect(frame->menuBar()->actions()[5]->menu());
        QCOMPARE(shown, QList<int>(std::begin(displayIds), std::end(displayIds)));

        // Closing the last document window returns to menu 128.
        m_app->Documents().front()->CloseAllFrames();
        QTRY_COMPARE(frame->CurrentMenu(), 128);
        QCOMPARE(DescribeMenuBar(frame), expected128);
    }

    // What assistive technology reads of every entry of a menu bar: the menu it sits in, its
    // place there, and whether it can be chosen.
    static void ExpectMenusReadRight(CMainFrame* frame, int menu) {
        for (QMenu* m : frame->Menus(menu)) {
            QAccessibleInterface* list = QAccessible::queryAccessibleInterface(m);
            QVERIFY(list);
            const QList<QAction*> actions = m->actions();
            QCOMPARE(list->childCount(), static_cast<int>(actions.size()));
            for (int i = 0; i < list->childCount(); ++i) {
                QAccessibleInterface* item = list->child(i);
                QVERIFY(item);
                const QString where = QStringLiteral("menu bar %1, %2, entry %3 (%4)")
                                          .arg(menu)
                                          .arg(m->title())
                                          .arg(i)
                                          .arg(actions[i]->text());
                QVERIFY2(item->parent() && item->parent()->object() == m, qPrintable(where));
                QVERIFY2(list->indexOfChild(item) == i, qPrintable(where));
                if (!actions[i]->isSeparator())
                    QVERIFY2(item->state().disabled == !actions[i]->isEnabled(), qPrintable(where));
            }
        }
    }

    void eachMenuBarShowsAssistiveTechnologyItsOwnEntries() {
        CMainFrame* frame = StartApp();
        frame->UpdateCommandUI();
        ExpectMenusReadRight(frame, 128);
        // The entries both menu bars hold (New, Recent File, Exit, Toolbar, Status Bar, Help
        // Topics, About) are read again through the document's menu bar after the other one.
        QVERIFY(frame->RouteCommand(Cmd::kFileNew));
        QTRY_COMPARE(frame->CurrentMenu(), 129);
        frame->UpdateCommandUI();
        ExpectMenusReadRight(frame, 129);
        ExpectMenusReadRight(frame, 128);
        for (int id : {Cmd::kFileNew, Cmd::kViewToolbar, Cmd::kViewStatusBar, Cmd::kAppExit})
            QVERIFY(frame->Action(id, 128) != frame->Action(id, 129));
        // Kept in step: a state changed once shows in both.
        QVERIFY(frame->RouteCommand(Cmd::kViewStatusBar));
        QTRY_VERIFY(!frame->Action(Cmd::kViewStatusBar, 128)->isChecked());
        QVERIFY(!frame->Action(Cmd::kViewStatusBar, 129)->isChecked());
        QVERIFY(frame->RouteCommand(Cmd::kViewStatusBar));
        QTRY_VERIFY(frame->Action(Cmd::kViewStatusBar, 128)->isChecked());
    }

    void solverOptionsFromTheComputingMenuAreKeptForTheUser() {
        CMainFrame* frame = StartApp();
        CScriptedModal modals;
        m_app->SetModalRunner(&modals);
        m_app->OnFileNew();
        QMenu* computing = frame->Menus(129)[4];
        QCOMPARE(computing->title(), QString("Computing"));
        QAction* options = frame->Action(Cmd::kSolverOptions);
        QCOMPARE(computing->actions().back(), options);  // after the entries that were there before
        QVERIFY(options->isEnabled());
        QCOMPARE(COstrelApp::StoredElementOrder(), 0);

        // The document's commands carry it: the order is the project's, and the user's default.
        int shown = -1;
        modals.Play([&](QDialog& d) {
            auto* dialog = qobject_cast<CSolverOptionsDlg*>(&d);
            shown = dialog ? dialog->m_nElementOrder : -2;
            if (dialog) dialog->m_nElementOrder = 4;
            return int(QDialog::Accepted);
        });
        options->trigger();
        QCOMPARE(shown, 0);
        QCOMPARE(COstrelApp::StoredElementOrder(), 4);
        QCOMPARE(frame->ActiveChild()->Host()->Doc().m_nElementOrder, 4);
        modals.Play([&](QDialog& d) {
            shown = static_cast<CSolverOptionsDlg&>(d).m_nElementOrder;
            static_cast<CSolverOptionsDlg&>(d).m_nElementOrder = 9;
            return int(QDialog::Rejected);
        });
        options->trigger();
        QCOMPARE(shown, 4);
        QCOMPARE(COstrelApp::StoredElementOrder(), 4);
        QCOMPARE(frame->ActiveChild()->Host()->Doc().m_nElementOrder, 4);
        // A new project starts from the user's choice.
        m_app->OnFileNew();
        QCOMPARE(frame->ActiveChild()->Host()->Doc().m_nElementOrder, 4);
        // Writing the recent files back at the end keeps it; it is in the test's own store.
        m_app.reset();
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, COstrelApp::kRegistryKey,
                           COstrelApp::kAppName);
        QVERIFY(settings.fileName().startsWith(PrivateUserDirs().Config()));
        QCOMPARE(settings.value("Solver/ElementOrder").toInt(), 4);
    }

    void toolbarHoldsItsButtonsInOrder() {
        CMainFrame* frame = StartApp();
        QToolBar* bar = frame->ToolBar();
        QCOMPARE(bar->iconSize(), QSize(16, 15));
        QVERIFY(bar->isMovable());
        QCOMPARE(bar->allowedAreas(), Qt::AllToolBarAreas);
        QCOMPARE(frame->toolBarArea(bar), Qt::TopToolBarArea);
        QStringList tips;
        for (QAction* action : bar->actions())
            tips << (action->isSeparator() ? QString("|") : action->toolTip() + "/" + action->statusTip());
        const QStringList expected = {
            "New/Create a new document",
            "Open a composite document/Open a composite document",
            "Open FGM File/Open FGM File",
            "Save/Save the active document",
            "|",
            "Print/Print the active document",
            "|",
            "Selecting Materail/Selecting Materail",
            "Input the number of layers/Input the number of layers",
            "|",
            "Input all parameters for composite/Input all parameters for composite",
            "Computing composite/Computing composite",
            "|",
            "Input all parameters for FGM/Input all parameters for FGM",
            "Computing FGM/Computing FGM",
            "|",
            "Background Color/Background Color",
            "Select curve color/Select curve color",
            "Line style/Line style",
            "|",
            "Overview /Overview ",
            // Added after the original buttons.
            "|",
            "Show computed curve/Show the component the last run computed",
        };
        QCOMPARE(tips, expected);
        for (QAction* action : bar->actions())
            if (!action->isSeparator())
                QVERIFY2(!action->icon().isNull(), qPrintable(action->toolTip()));
    }

    void toolbarFamiliesAreBlueAndMagenta() {
        for (int id : {Cmd::kFileOpen, Cmd::kInputComposite, Cmd::kExecuteComposite}) {
            const QImage image = ToolbarImage(id);
            QCOMPARE(image.size(), QSize(16, 15));
            const auto [blue, magenta] = FamilyPixels(image);
            QVERIFY2(blue >= 10 && magenta == 0, qPrintable(QString::number(id)));
        }
        for (int id : {Cmd::kOpenFGM, Cmd::kInputFGM, Cmd::kExecuteFGM}) {
            const auto [blue, magenta] = FamilyPixels(ToolbarImage(id));
            QVERIFY2(magenta >= 10 && blue == 0, qPrintable(QString::number(id)));
        }
        // The same shape in both families: only the colour tells them apart.
        for (auto [com, fgm] : {std::pair{Cmd::kFileOpen, Cmd::kOpenFGM},
                                std::pair{Cmd::kInputComposite, Cmd::kInputFGM},
                                std::pair{Cmd::kExecuteComposite, Cmd::kExecuteFGM}}) {
            const QImage a = ToolbarImage(com), b = ToolbarImage(fgm);
            for (int y = 0; y < a.height(); ++y)
                for (int x = 0; x < a.width(); ++x)
                    QCOMPARE(a.pixelColor(x, y).alpha(), b.pixelColor(x, y).alpha());
        }
        // Buttons of neither family use the family colours.
        for (int id : {Cmd::kFileNew, Cmd::kFileSave, Cmd::kFilePrint, Cmd::kMaterialSelected, Cmd::kLayerPara,
                       Cmd::kBackgroundColor, Cmd::kCurveColor, Cmd::kLineStyle, Cmd::kOverview,
                       Cmd::kShowComputedCurve}) {
            const auto [blue, magenta] = FamilyPixels(ToolbarImage(id));
            QVERIFY2(blue == 0 && magenta == 0, qPrintable(QString::number(id)));
        }
    }

    void newDocumentsAreNumberedAndMaximised() {
        CMainFrame* frame = StartApp();
        for (int i = 1; i <= 3; ++i) {
            QVERIFY(frame->RouteCommand(Cmd::kFileNew));
            CChildFrame* child = frame->ActiveChild();
            QVERIFY(child);
            QCOMPARE(child->windowTitle(), QString("Pemblar%1").arg(i));
            QCOMPARE(child->Host()->Title(), QString("Pemblar%1").arg(i));
            QVERIFY(child->isMaximized());
            QCOMPARE(frame->windowTitle(), QString("Pemblar - Pemblar%1").arg(i));
            // New captures the working directory of the document.
            QCOMPARE(QString::fromStdString(child->Host()->Doc().m_szStartDir), QDir::currentPath());
        }
        QCOMPARE(m_app->Documents().size(), 3u);
        // Each document carries its own commands: open and pre-processing at once, a run only
        // after its input was written.
        frame->UpdateCommandUI();
        for (int id : {Cmd::kFileOpen, Cmd::kOpenFGM, Cmd::kMaterialSelected, Cmd::kLayerPara, Cmd::kInputComposite,
                       Cmd::kInputFGM})
            QVERIFY2(frame->Action(id)->isEnabled(), qPrintable(QString::number(id)));
        QVERIFY(!frame->Action(Cmd::kExecuteComposite)->isEnabled());
        QVERIFY(!frame->Action(Cmd::kExecuteFGM)->isEnabled());
        frame->ActiveChild()->Host()->Doc().m_nRunType = 1;
        frame->UpdateCommandUI();
        QVERIFY(!frame->Action(Cmd::kExecuteComposite)->isEnabled());
        QVERIFY(frame->Action(Cmd::kExecuteFGM)->isEnabled());
        // Numbers are never given twice, even after their documents are gone.
        for (CDocumentHost* host : m_app->Documents())
            host->CloseAllFrames();
        QTRY_VERIFY(m_app->Documents().empty());
        QTRY_COMPARE(frame->windowTitle(), QString("Pemblar"));
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));
        QTest::keyClick(frame, Qt::Key_N, Qt::ControlModifier);  // the accelerator
        QVERIFY(frame->ActiveChild());
        QCOMPARE(frame->ActiveChild()->windowTitle(), QString("Pemblar4"));
    }

    void secondWindowShowsTheSameDocumentAndRedrawsWithIt() {
        CMainFrame* frame = StartApp();
        CDocumentHost* host = m_app->OnFileNew();
        QVERIFY(frame->RouteCommand(Cmd::kWindowNew));
        QCOMPARE(host->FrameCount(), 2);
        QCOMPARE(m_app->Documents().size(), 1u);
        QCOMPARE(host->Frames()[0]->windowTitle(), QString("Pemblar1:1"));
        QCOMPARE(host->Frames()[1]->windowTitle(), QString("Pemblar1:2"));
        QVERIFY(host->Frames()[1]->isMaximized());
        QCOMPARE(frame->windowTitle(), QString("Pemblar - Pemblar1:2"));
        QVERIFY(host->Frames()[0]->View() != host->Frames()[1]->View());
        // The Window menu lists both windows, the active one checked; choosing one activates it.
        QMenu* windows = frame->Menus(129)[2];
        QStringList listed;
        QAction* firstEntry = nullptr;
        for (QAction* a : windows->actions())
            if (a->text().startsWith('&') && a->text().at(1).isDigit()) {
                listed << a->text() + (a->isChecked() ? "*" : "");
                if (!firstEntry)
                    firstEntry = a;
            }
        QCOMPARE(listed, (QStringList{"&1 Pemblar1:1", "&2 Pemblar1:2*"}));
        firstEntry->trigger();
        QCOMPARE(frame->ActiveChild(), host->Frames()[0]);
        QCOMPARE(frame->windowTitle(), QString("Pemblar - Pemblar1:1"));

        // Every view of the document redraws when the document says so.
        QVERIFY(frame->RouteCommand(Cmd::kWindowTile));
        QVERIFY(!host->Frames()[0]->isMaximized());
        QTest::qWait(50);
        CPaintCounter first, second;
        host->Frames()[0]->View()->installEventFilter(&first);
        host->Frames()[1]->View()->installEventFilter(&second);
        host->Doc().UpdateAllViews();
        QTRY_VERIFY(first.count > 0 && second.count > 0);
        QCOMPARE(host->ViewNotifier().Views().size(), 2u);

        // Closing one window keeps the document; the other is titled plainly again.
        host->Frames()[1]->close();
        QTRY_COMPARE(host->FrameCount(), 1);
        QCOMPARE(host->Frames()[0]->windowTitle(), QString("Pemblar1"));
        QCOMPARE(host->ViewNotifier().Views().size(), 1u);
        // Close closes the document with its last window.
        QVERIFY(frame->RouteCommand(Cmd::kFileClose));
        QTRY_VERIFY(m_app->Documents().empty());
        QTRY_COMPARE(frame->CurrentMenu(), 128);
    }

    void windowTitlesNameTheCurveShown() {
        CMainFrame* frame = StartApp();
        CDocumentHost* host = m_app->OnFileNew();
        QVERIFY(frame->RouteCommand(Cmd::kWindowNew));
        // A current composite result for component W of a project receiving at x = 10 mm.
        QVERIFY(QDir(m_work.path()).mkpath("bin"));
        {
            std::ofstream out((m_work.path() + "/bin/result_w.dat").toStdString());
            out << "0 2\n0 0\n1 1e-4\n";
        }
        host->Doc().m_fReceiverX = 10;
        QVERIFY(frame->RouteCommand(Cmd::kDisplayComCurrentW));
        const QString shown = QStringLiteral(" - W (mm) at x = 10 mm, H(t) load");
        QTRY_COMPARE(host->Frames()[1]->windowTitle(), "Pemblar1:2" + shown);
        // The other window of the document follows at its next repaint.
        QTRY_COMPARE(host->Frames()[0]->windowTitle(), "Pemblar1:1" + shown);
        QCOMPARE(frame->windowTitle(), "Pemblar - Pemblar1:2" + shown);
        host->Frames()[1]->close();
        QTRY_COMPARE(host->Frames()[0]->windowTitle(), "Pemblar1" + shown);
    }

    void windowCommandsArrangeTheWindows() {
        CMainFrame* frame = StartApp();
        m_app->OnFileNew();
        m_app->OnFileNew();
        QVERIFY(frame->RouteCommand(Cmd::kWindowCascade));
        const auto children = frame->ChildFrames();
        QCOMPARE(children.size(), 2u);
        QVERIFY(children[0]->pos() != children[1]->pos());
        QVERIFY(frame->RouteCommand(Cmd::kWindowTile));
        QVERIFY(!children[0]->geometry().intersects(children[1]->geometry()));
        children[0]->showMinimized();
        children[1]->showMinimized();
        QVERIFY(frame->RouteCommand(Cmd::kWindowArrange));
        const int bottom = frame->MdiArea()->viewport()->height();
        QCOMPARE(children[0]->geometry().bottom() + 1, bottom);
        QCOMPARE(children[1]->geometry().bottom() + 1, bottom);
        QCOMPARE(children[0]->x(), 0);
        QCOMPARE(children[1]->x(), children[0]->width());
    }

    void commandsGoToViewDocumentFrameMainFrameAppInOrder() {
        std::vector<CFakeCarrier*> carriers;
        m_app = std::make_unique<COstrelApp>();
        m_app->SetMessageSink(&m_sink);
        m_app->SetDocumentSetup([&](CDocumentHost& host) {
            auto carrier = std::make_unique<CFakeCarrier>(
                std::set<int>{Cmd::kFileOpen, Cmd::kExecuteComposite, Cmd::kFileClose, Cmd::kHelpFinder, Cmd::kOverview});
            carriers.push_back(carrier.get());
            host.SetCommandCarrier(std::move(carrier));
        });
        QVERIFY(m_app->InitInstance({}));
        CMainFrame* frame = m_app->MainFrame();
        QVERIFY(!frame->IsCommandEnabled(Cmd::kFileOpen));
        QVERIFY(!frame->Action(Cmd::kOverview)->isEnabled());
        m_app->OnFileNew();
        QCOMPARE(carriers.size(), 1u);
        frame->UpdateCommandUI();
        // The carrier makes Open available, in the menu and on the toolbar alike.
        QVERIFY(frame->Action(Cmd::kFileOpen)->isEnabled());
        frame->Action(Cmd::kFileOpen)->trigger();
        QCOMPARE(carriers[0]->received, std::vector<int>{Cmd::kFileOpen});
        // Ctrl+O names one command only, though both menu bars list it.
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));
        QTest::keyClick(frame, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(carriers[0]->received, (std::vector<int>{Cmd::kFileOpen, Cmd::kFileOpen}));
        carriers[0]->received.clear();
        carriers[0]->received.push_back(Cmd::kFileOpen);
        // Its enabling rule greys the command until it says otherwise.
        QVERIFY(!frame->Action(Cmd::kExecuteComposite)->isEnabled());
        QVERIFY(!frame->RouteCommand(Cmd::kExecuteComposite));
        carriers[0]->executeEnabled = true;
        frame->UpdateCommandUI();
        QVERIFY(frame->Action(Cmd::kExecuteComposite)->isEnabled());
        // The view comes first: the view's commands are available and reach the view only.
        QVERIFY(frame->Action(Cmd::kOverview)->isEnabled());
        QVERIFY(frame->Action(Cmd::kDisplayComCurrentU)->isEnabled());
        QVERIFY(frame->RouteCommand(Cmd::kOverview));
        QCOMPARE(carriers[0]->received, std::vector<int>{Cmd::kFileOpen});
        // The document comes before its window and the main window.
        QVERIFY(frame->RouteCommand(Cmd::kFileClose));
        QVERIFY(frame->RouteCommand(Cmd::kHelpFinder));
        QCOMPARE(carriers[0]->received,
                 (std::vector<int>{Cmd::kFileOpen, Cmd::kFileClose, Cmd::kHelpFinder}));
        QTest::qWait(20);
        QCOMPARE(m_app->Documents().size(), 1u);
        QVERIFY(!frame->HelpWindow());
        // Commands nobody carries yet are greyed.
        QVERIFY(!frame->Action(Cmd::kMaterialSelected)->isEnabled());
        // Without a document, the main window's own commands are reached again.
        m_app->Documents().front()->CloseAllFrames();
        QTRY_VERIFY(m_app->Documents().empty());
        QVERIFY(frame->RouteCommand(Cmd::kHelpFinder));
        QVERIFY(frame->HelpWindow() && frame->HelpWindow()->isVisible());
    }

    void everyCommandReachesTheCarrierTheTableNames() {
        CMainFrame* frame = StartApp();
        m_app->OpenDocumentFile(WriteFile(m_work.path(), "carried.dat"));  // a recent-file entry too
        QVERIFY(frame->ActiveChild());
        auto kind = [&](ICommandTarget* t) {
            if (dynamic_cast<COstrelView*>(t))
                return CommandCarrier::View;
            if (dynamic_cast<CDocCommands*>(t))
                return CommandCarrier::Document;
            if (dynamic_cast<CChildFrame*>(t))
                return CommandCarrier::ChildFrame;
            if (dynamic_cast<CMainFrame*>(t))
                return CommandCarrier::MainFrame;
            return CommandCarrier::App;
        };
        for (const CCommandInfo& info : CommandTable()) {
            ICommandTarget* first = nullptr;
            for (ICommandTarget* t : frame->RoutingChain())
                if (t->Carries(info.id)) {
                    first = t;
                    break;
                }
            QVERIFY2(first, qPrintable(QString("nobody carries %1").arg(info.id)));
            QVERIFY2(kind(first) == info.carrier, qPrintable(QString("%1 reaches the wrong carrier").arg(info.id)));
            // The handler column holds a handler of the carrier the row names (none for the view's).
            const std::size_t handlerOf[] = {1, 2, 3, 4, 0};
            QVERIFY2(info.handler.index() == handlerOf[static_cast<int>(info.carrier)],
                     qPrintable(QString("%1 has another carrier's handler").arg(info.id)));
        }
    }

    void recentFileListKeepsFourNewestFirst() {
        CMainFrame* frame = StartApp();
        QStringList paths;
        for (int i = 1; i <= 6; ++i) {
            paths << WriteFile(m_work.path(), QString("project%1.dat").arg(i));
            CDocumentHost* host = m_app->OpenDocumentFile(paths.last());
            QVERIFY(host);
            QCOMPARE(host->Title(), QString("project%1.dat").arg(i));
            QCOMPARE(frame->ActiveChild()->windowTitle(), QString("project%1.dat").arg(i));
            QVERIFY(m_app->RecentFiles().Count() <= 4);
        }
        QCOMPARE(m_app->RecentFiles().Entries(), (QStringList{paths[5], paths[4], paths[3], paths[2]}));
        // The File menu shows them in place of "Recent File", with their prompt.
        QVERIFY(!frame->RecentFilePlaceholder()->isVisible());
        QMenu* file = frame->Menus(129)[0];
        QStringList entries;
        for (QAction* a : file->actions())
            if (a->isVisible() && a->text().startsWith('&') && a->text().at(1).isDigit()) {
                entries << a->text();
                QCOMPARE(a->statusTip(), QString("Open this document"));
                QVERIFY(a->isEnabled());
            }
        QCOMPARE(entries.size(), 4);
        QVERIFY(entries[0].startsWith("&1 ") && entries[0].endsWith("project6.dat"));
        QVERIFY(entries[3].startsWith("&4 ") && entries[3].endsWith("project3.dat"));

        // Opening a listed file again moves it up instead of listing it twice.
        for (CDocumentHost* host : m_app->Documents())
            host->CloseAllFrames();
        QTRY_VERIFY(m_app->Documents().empty());
        QVERIFY(frame->RouteCommand(Cmd::kFileMruFirst + 2));  // project4.dat
        QVERIFY(frame->ActiveChild());
        QCOMPARE(frame->ActiveChild()->windowTitle(), QString("project4.dat"));
        QCOMPARE(m_app->RecentFiles().Entries(), (QStringList{paths[3], paths[5], paths[4], paths[2]}));
        // Asking for an open file brings its window up rather than a second document.
        QVERIFY(m_app->OpenDocumentFile(paths[3]));
        QCOMPARE(m_app->Documents().size(), 1u);

        // A listed file that has gone is reported and leaves the list.
        QFile::remove(paths[4]);
        QVERIFY(frame->RouteCommand(Cmd::kFileMruFirst + 2));
        QCOMPARE(m_sink.messages.size(), 1u);
        QVERIFY(QString::fromStdString(m_sink.messages[0]).contains("project5.dat"));
        QCOMPARE(m_app->RecentFiles().Entries(), (QStringList{paths[3], paths[5], paths[2]}));
        QCOMPARE(m_app->Documents().size(), 1u);
    }

    void settingsAreWrittenUnderTheirKeysAndReadBack() {
        StartApp();
        const QString a = WriteFile(m_work.path(), "a.dat");
        const QString b = WriteFile(m_work.path(), "b.dat");
        m_app->OpenDocumentFile(a);
        m_app->OpenDocumentFile(b);
        m_app->m_nNumPreviewPages = 2;
        m_app.reset();  // the end of the process writes the settings back

        QFile file(PrivateUserDirs().Config() + "/Local AppWizard-Generated Applications/Pemblar.conf");
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY2(text.contains("[Recent%20File%20List]"), qPrintable(text));
        QVERIFY(text.contains("File1=" + b));
        QVERIFY(text.contains("File2=" + a));
        QVERIFY(!text.contains("File3="));
        QVERIFY(text.contains("[Settings]"));
        QVERIFY(text.contains("PreviewPages=2"));

        CMainFrame* frame = StartApp();
        QCOMPARE(m_app->RecentFiles().Entries(), (QStringList{b, a}));
        QCOMPARE(m_app->m_nNumPreviewPages, 2);
        QVERIFY(!frame->RecentFilePlaceholder()->isVisible());

        // /Unregister removes the settings and ends.
        m_app.reset();
        StartApp({"/Unregister"});
        QVERIFY(!m_app->RunsEventLoop());
        QVERIFY(!m_app->MainFrame()->isVisible());
        m_app.reset();
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, COstrelApp::kRegistryKey,
                           COstrelApp::kAppName);
        QVERIFY(settings.allKeys().isEmpty());
    }

    void statusBarShowsIdleTextAndPrompts() {
        CMainFrame* frame = StartApp();
        QCOMPARE(frame->MessagePane()->text(), QString("For Help, press F1"));
        QCOMPARE(frame->Indicator(0)->text(), QString("CAP"));
        QCOMPARE(frame->Indicator(1)->text(), QString("NUM"));
        QCOMPARE(frame->Indicator(2)->text(), QString("SCRL"));
        // In this order at the right end of the bar.
        QVERIFY(frame->Indicator(0)->x() < frame->Indicator(1)->x());
        QVERIFY(frame->Indicator(1)->x() < frame->Indicator(2)->x());
        QVERIFY(frame->MessagePane()->x() < frame->Indicator(0)->x());
        QVERIFY(QTest::qWaitForWindowExposed(frame));

        // The pointer on a toolbar button shows its prompt; leaving it, the idle text.
        QWidget* newButton = frame->ToolBar()->widgetForAction(frame->Action(Cmd::kFileNew));
        QWidget* fgmButton = frame->ToolBar()->widgetForAction(frame->Action(Cmd::kExecuteFGM));
        QTest::mouseMove(newButton);
        QTRY_COMPARE(frame->MessagePane()->text(), QString("Create a new document"));
        QTest::mouseMove(fgmButton);  // greyed buttons still explain themselves
        QTRY_COMPARE(frame->MessagePane()->text(), QString("Computing FGM"));
        QTest::mouseMove(frame->MdiArea()->viewport());
        QTRY_COMPARE(frame->MessagePane()->text(), QString("For Help, press F1"));

        // The same for a menu item under the pointer.
        QMenu* help = frame->Menus(128)[2];
        frame->menuBar()->setActiveAction(help->menuAction());
        QTRY_VERIFY(help->isVisible());
        QAction* about = frame->Action(Cmd::kAppAbout, 128);
        QTest::mouseMove(help, help->actionGeometry(about).center());
        QTRY_COMPARE(frame->MessagePane()->text(),
                     QString("Display program information, version number and copyright"));
        help->hide();
        QTRY_COMPARE(frame->MessagePane()->text(), QString("For Help, press F1"));

        // Greyed entries explain themselves as well: Open... and Recent File without a document.
        QMenu* file = frame->Menus(128)[0];
        frame->menuBar()->setActiveAction(file->menuAction());
        QTRY_VERIFY(file->isVisible());
        QVERIFY(!frame->Action(Cmd::kFileOpen, 128)->isEnabled());
        QTest::mouseMove(file, file->actionGeometry(frame->Action(Cmd::kFileOpen, 128)).center());
        QTRY_COMPARE(frame->MessagePane()->text(), QString("Open a composite document"));
        QVERIFY(!frame->RecentFilePlaceholder()->isEnabled());
        QTest::mouseMove(file, file->actionGeometry(frame->RecentFilePlaceholder()).center());
        QTRY_COMPARE(frame->MessagePane()->text(), QString("Open this document"));
        file->hide();
        QTRY_COMPARE(frame->MessagePane()->text(), QString("For Help, press F1"));
        // Execute composite before any input was written.
        m_app->OnFileNew();
        QMenu* computing = frame->Menus(129)[4];
        QCOMPARE(computing->title(), QString("Computing"));
        frame->menuBar()->setActiveAction(computing->menuAction());
        QTRY_VERIFY(computing->isVisible());
        QVERIFY(!frame->Action(Cmd::kExecuteComposite)->isEnabled());
        QTest::mouseMove(computing, computing->actionGeometry(frame->Action(Cmd::kExecuteComposite)).center());
        QTRY_COMPARE(frame->MessagePane()->text(), QString("Computing composite"));
        // A greyed entry stays greyed: highlighting it carries nothing out.
        QTest::mouseClick(computing, Qt::LeftButton, {}, computing->actionGeometry(frame->Action(Cmd::kExecuteComposite)).center());
        QVERIFY(frame->Action(Cmd::kExecuteComposite)->isEnabled() == false);
        computing->hide();
        QTRY_COMPARE(frame->MessagePane()->text(), QString("For Help, press F1"));
        for (CDocumentHost* host : m_app->Documents())
            host->CloseAllFrames();
        QTRY_VERIFY(m_app->Documents().empty());

        // View, Status Bar hides and shows it.
        QVERIFY(frame->RouteCommand(Cmd::kViewStatusBar));
        QVERIFY(!frame->statusBar()->isVisible());
        QVERIFY(!frame->Action(Cmd::kViewStatusBar)->isChecked());
        QVERIFY(frame->RouteCommand(Cmd::kViewToolbar));
        QVERIFY(!frame->ToolBar()->isVisible());
        QVERIFY(!frame->Action(Cmd::kViewToolbar)->isChecked());
        frame->Action(Cmd::kViewToolbar)->trigger();
        frame->Action(Cmd::kViewStatusBar)->trigger();
        QVERIFY(frame->ToolBar()->isVisible());
        QVERIFY(frame->statusBar()->isVisible());
    }

    void droppedFilesOpenAsDocuments() {
        CMainFrame* frame = StartApp();
        QVERIFY(frame->acceptDrops());
        const QString path = WriteFile(m_work.path(), "dropped.dat");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        const QPoint at = frame->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        enter.setAccepted(false);
        QApplication::sendEvent(frame, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(frame, &drop);
        QCOMPARE(m_app->Documents().size(), 1u);
        CDocumentHost* host = m_app->Documents().front();
        QCOMPARE(host->Title(), QString("dropped.dat"));
        QCOMPARE(host->PathName(), path);
        // The generic route captures the working directory too, so file commands have a home.
        QCOMPARE(QString::fromStdString(host->Doc().m_szStartDir), QDir::currentPath());
        QCOMPARE(m_app->RecentFiles()[0], path);
        // Every document can run the solvers.
        QVERIFY(host->Doc().m_services.processes);
        QVERIFY(host->Doc().m_services.messages && host->Doc().m_services.files && host->Doc().m_services.views);
        // Text is no file: nothing to accept.
        QMimeData text;
        text.setText("hello");
        QDragEnterEvent other(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        other.setAccepted(false);
        QApplication::sendEvent(frame, &other);
        QVERIFY(!other.isAccepted());
    }

    void commandLineFormsAreParsed() {
        auto parse = [](const QStringList& args) { return ParseCommandLine(args); };
        QCOMPARE(parse({}).m_nShellCommand, CCommandLineInfo::FileNew);
        const auto open = parse({"/home/someone/project.dat"});
        QCOMPARE(open.m_nShellCommand, CCommandLineInfo::FileOpen);
        QCOMPARE(open.m_strFileName, QString("/home/someone/project.dat"));
        const auto print = parse({"/p", "a.dat"});
        QCOMPARE(print.m_nShellCommand, CCommandLineInfo::FilePrint);
        QCOMPARE(print.m_strFileName, QString("a.dat"));
        const auto printTo = parse({"/PT", "a.dat", "Office", "driver", "port"});
        QCOMPARE(printTo.m_nShellCommand, CCommandLineInfo::FilePrintTo);
        QCOMPARE(printTo.m_strFileName, QString("a.dat"));
        QCOMPARE(printTo.m_strPrinterName, QString("Office"));
        QCOMPARE(printTo.m_strDriverName, QString("driver"));
        QCOMPARE(printTo.m_strPortName, QString("port"));
        QCOMPARE(parse({"/dde"}).m_nShellCommand, CCommandLineInfo::FileDDE);
        QCOMPARE(parse({"/Unregister"}).m_nShellCommand, CCommandLineInfo::AppUnregister);
        QCOMPARE(parse({"-unregserver"}).m_nShellCommand, CCommandLineInfo::AppUnregister);
        QVERIFY(parse({"/Embedding"}).m_bRunEmbedded);
        QVERIFY(parse({"-Automation"}).m_bRunAutomated);
        QCOMPARE(parse({"-style", "x.dat"}).m_strFileName, QString("x.dat"));
    }

    void commandLineStartsAsAsked() {
        const QString path = WriteFile(m_work.path(), "given.dat");
        CMainFrame* frame = StartApp({path});
        QVERIFY(frame && frame->isMaximized());
        QCOMPARE(m_app->Documents().size(), 1u);
        QCOMPARE(frame->ActiveChild()->windowTitle(), QString("given.dat"));
        QVERIFY(frame->ActiveChild()->isMaximized());
        QCOMPARE(frame->CurrentMenu(), 129);
        m_app.reset();

        // A file that cannot be opened ends the start, with a message naming it.
        QVERIFY(!StartApp({m_work.path() + "/missing.dat"}));
        QCOMPARE(m_sink.messages.size(), 1u);
        QVERIFY(QString::fromStdString(m_sink.messages[0]).contains("missing.dat"));
        m_app.reset();

        // No server here: embedded and automation starts end without a window.
        StartApp({"/Embedding"});
        QVERIFY(!m_app->RunsEventLoop());
        QVERIFY(!m_app->MainFrame()->isVisible());
        m_app.reset();

        // /dde starts like no argument.
        frame = StartApp({"/dde"});
        QVERIFY(m_app->RunsEventLoop());
        QVERIFY(frame->isVisible());
        QVERIFY(m_app->Documents().empty());
        m_app.reset();

        // /p opens the file, hands its view to the printing hook, then ends.
        m_app = std::make_unique<COstrelApp>();
        m_app->SetMessageSink(&m_sink);
        QWidget* printedView = nullptr;
        QString printer;
        m_app->SetDirectPrint([&](QWidget* view, CDocumentHost& host, const CCommandLineInfo& info) {
            printedView = view;
            printer = info.m_strPrinterName;
            return host.Title() == "given.dat";
        });
        QVERIFY(m_app->InitInstance({"/pt", path, "Office", "drv", "port"}));
        QVERIFY(!m_app->RunsEventLoop());
        QVERIFY(printedView);
        QCOMPARE(printedView, m_app->Documents().front()->Frames().front()->View());
        QCOMPARE(printer, QString("Office"));
    }

    void aboutBoxAndHelpTopics() {
        CAboutDlg dialog;
        QCOMPARE(dialog.windowTitle(), QString("About Pemblar"));
        QCOMPARE(dialog.findChild<QLabel*>("VersionLine")->text(), QString("Pemblar Version 1.0"));
        QVERIFY(!dialog.findChild<QLabel*>("SecondLine")->text().isEmpty());
        const QSize units = CAboutDlg::DialogUnitsToPixels(dialog.font(), 235, 55);
        QVERIFY(dialog.width() >= units.width() && dialog.height() >= units.height());
        auto buttons = dialog.findChildren<QPushButton*>();
        QCOMPARE(buttons.size(), 1);
        QCOMPARE(buttons[0]->text(), QString("OK"));
        dialog.show();
        QTest::mouseClick(buttons[0], Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));

        CMainFrame* frame = StartApp();
        CScriptedModal modals;
        m_app->SetModalRunner(&modals);
        int aboutShown = 0, setupShown = 0;
        modals.Play([&](QDialog& d) {
            aboutShown += qobject_cast<CAboutDlg*>(&d) != nullptr;
            setupShown += qobject_cast<QPageSetupDialog*>(&d) != nullptr;
            return int(QDialog::Rejected);
        });
        QVERIFY(frame->RouteCommand(Cmd::kAppAbout));
        QCOMPARE(aboutShown, 1);
        QVERIFY(frame->RouteCommand(Cmd::kFilePrintSetup));  // no document needed
        QCOMPARE(setupShown, 1);
        m_app->SetModalRunner(nullptr);
        QVERIFY(frame->RouteCommand(Cmd::kHelpFinder));
        QTextBrowser* help = frame->HelpWindow();
        QVERIFY(help && help->isVisible());
        QCOMPARE(help->source(), QUrl("qrc:/help/index.html"));
        const QString text = help->toPlainText();
        for (const char* words : {"Pre-processing", "Execute composite", "Execute FGM", "Display curve(T- U)",
                                  "Material selected", "Save bitmap", "Solver options...", "element order"})
            QVERIFY2(text.contains(words), words);
        // Exit closes everything without asking.
        m_app->OnFileNew();
        QVERIFY(frame->RouteCommand(Cmd::kAppExit));
        QVERIFY(!frame->isVisible());
        QTRY_VERIFY(m_app->Documents().empty());
    }
};

PEMBLAR_GUI_TEST_MAIN(TestShell, GuiTestOptions{.quitOnLastWindowClosed = false})  // Exit is tested; the test goes on

#include "test_shell.moc"
