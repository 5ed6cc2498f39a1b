// The windows a document opens beside its own, as the user meets them through the real program:
// dispersion curves of a run, the directions opened from them and study results open over the
// main window's work area (never over its menus) where they stay, are listed in the Window menu,
// tell runs apart by their titles, are windows to assistive technology, ask for their files in
// dialogs of their own, and close with their document.

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

#include <filesystem>
#include <map>
#include <memory>

#include "../ScriptedModal.h"
#include "../Shots.h"
#include "ChildFrm.h"
#include "CommandIds.h"
#include "DirectionsBar.h"
#include "ImageExportDialog.h"
#include "PlotWidget.h"
#include "StudyCommands.h"
#include "StudyTestSupport.h"
#include "StudyWindow.h"
#include "DispersionDlg.h"
#include "DispersionWindow.h"
#include "DocumentHost.h"
#include "MainFrm.h"
#include "OstrelApp.h"
#include "RecordList.h"
#include "test_project_support.h"
#include "test_run_support.h"
#include "../GuiTestMain.h"

namespace fs = std::filesystem;

namespace {

const char* FirstMessage(const testsupport::CRecordingMessages& sink) {
    return sink.texts.empty() ? "" : sink.texts.front().c_str();
}

QRect GlobalRect(const QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); }

// Where each window was when it first came on screen: a window placed after it is shown jumps.
class CFirstShown : public QObject {
public:
    CFirstShown() { qApp->installEventFilter(this); }
    ~CFirstShown() override { qApp->removeEventFilter(this); }
    std::map<const QObject*, QPoint> at;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType())
            if (auto* w = static_cast<QWidget*>(watched); w->isWindow() && !at.count(w)) at[w] = w->pos();
        return false;
    }
};

class CScriptedChooser : public IFileChooser {
public:
    std::optional<std::string> answer;
    std::optional<std::string> ChooseFile(const FileDialogRequest&) override { return answer; }
};

QStringList WindowMenuEntries(CMainFrame* frame) {
    QMenu* windowMenu = nullptr;
    for (QAction* a : frame->menuBar()->actions())
        if (a->menu() && a->text() == QStringLiteral("&Window")) windowMenu = a->menu();
    if (!windowMenu) return {};
    emit windowMenu->aboutToShow();
    QStringList entries;
    for (QAction* a : windowMenu->actions())
        if (!a->isSeparator()) entries << a->text();
    return entries;
}

// On screen over the work area, below the menu bar and the toolbar, where it first appeared,
// and a window to assistive technology.
void CheckPlaced(CMainFrame* frame, QWidget* w, const CFirstShown& shown) {
    const QRect area = GlobalRect(frame->centralWidget());
    const int menusEnd = std::max(GlobalRect(frame->menuBar()).bottom(), GlobalRect(frame->ToolBar()).bottom());
    QVERIFY2(w->frameGeometry().top() > menusEnd, qPrintable(QStringLiteral("%1 at %2, menus end at %3")
                                                                 .arg(w->windowTitle())
                                                                 .arg(w->frameGeometry().top())
                                                                 .arg(menusEnd)));
    QVERIFY(area.contains(w->frameGeometry().topLeft()));
    QVERIFY(shown.at.count(w));
    QCOMPARE(shown.at.at(w), w->pos());
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(w);
    QVERIFY(accessible);
    QCOMPARE(accessible->role(), QAccessible::Window);
}

}  // namespace

class ToolWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void dispersionWindowsBelongToTheirDocument();
    void studyWindowsArePlacedBeforeTheyShow();

private:
    CDispersionWindow* RunCurves(CMainFrame* frame, const char* to);
    CScriptedModal m_modals;
    testsupport::CRecordingMessages m_sink;
};

CDispersionWindow* ToolWindowsTest::RunCurves(CMainFrame* frame, const char* to) {
    m_modals.Play([to](QDialog& dialog) {
        auto* form = qobject_cast<CDispersionDlg*>(&dialog);
        if (!form) return 2;
        form->show();
        form->findChild<QLineEdit*>("to")->setText(to);
        form->findChild<QLineEdit*>("points")->setText("40");
        form->findChild<QLineEdit*>("modes")->setText("3");
        form->accept();
        return form->result() == QDialog::Accepted ? 1 : 2;
    });
    const auto before = QApplication::topLevelWidgets();
    frame->UpdateCommandUI();
    if (!frame->RouteCommand(Cmd::kDispersionCurves)) return nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<CDispersionWindow*>(w); window && !before.contains(w)) return window;
    return nullptr;
}

void ToolWindowsTest::dispersionWindowsBelongToTheirDocument() {
    QTemporaryDir work;
    QVERIFY(QDir::setCurrent(work.path()));
    auto app = std::make_unique<COstrelApp>();
    app->SetMessageSink(&m_sink);
    app->SetModalRunner(&m_modals);
    QVERIFY(app->InitInstance({}));
    CMainFrame* frame = app->MainFrame();
    QVERIFY(QTest::qWaitForWindowExposed(frame));
    QVERIFY(frame->RouteCommand(Cmd::kFileNew));
    CDocumentHost* host = frame->ActiveChild()->Host();
    COstrelDoc& doc = host->Doc();
    projtest::CrossPly(doc, 2);
    doc.m_strComTitle = "crossply";
    fs::create_directories(fs::path(doc.m_szStartDir) / "bin");
    fs::create_symlink(LUMDEX_PATH, fs::path(doc.m_szStartDir) / "bin" / "lumdex");

    CFirstShown shown;
    QPointer<CDispersionWindow> first = RunCurves(frame, "2");
    QVERIFY2(first, m_sink.texts.empty() ? "no window" : m_sink.texts.front().c_str());
    QVERIFY(QTest::qWaitForWindowExposed(first));
    QPointer<CDispersionWindow> second = RunCurves(frame, "1");
    QVERIFY(second);
    QVERIFY(QTest::qWaitForWindowExposed(second));

    // Titles that tell the runs apart: the range of each, and a number for the same range again.
    QCOMPARE(first->windowTitle(), QStringLiteral("Dispersion curves - crossply: f h 0 to 2 MHz mm, 3 modes"));
    QCOMPARE(second->windowTitle(), QStringLiteral("Dispersion curves - crossply: f h 0 to 1 MHz mm, 3 modes"));
    QPointer<CDispersionWindow> third = RunCurves(frame, "2");
    QVERIFY(third);
    QCOMPARE(third->windowTitle(), QStringLiteral("Dispersion curves - crossply: f h 0 to 2 MHz mm, 3 modes (2)"));

    // Over the work area, below the menu bar and the toolbar: nothing of the menus is covered.
    const QRect area = GlobalRect(frame->centralWidget());
    const int menusEnd = std::max(GlobalRect(frame->menuBar()).bottom(), GlobalRect(frame->ToolBar()).bottom());
    for (CDispersionWindow* w : {first.data(), second.data(), third.data()}) {
        QVERIFY2(w->frameGeometry().top() > menusEnd,
                 qPrintable(QStringLiteral("window at %1, menus end at %2").arg(w->frameGeometry().top()).arg(menusEnd)));
        QVERIFY(area.contains(w->frameGeometry().topLeft()));
    }
    QVERIFY(first->pos() != second->pos());  // stepped, not stacked exactly
    for (CDispersionWindow* w : {first.data(), second.data(), third.data()}) CheckPlaced(frame, w, shown);

    // A window to assistive technology, not a bare panel.
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(first);
    QVERIFY(accessible);
    QCOMPARE(accessible->role(), QAccessible::Window);

    // Listed in the Window menu after the document's window; choosing an entry raises it.
    QMenu* windowMenu = nullptr;
    for (QAction* a : frame->menuBar()->actions())
        if (a->menu() && a->text() == QStringLiteral("&Window")) windowMenu = a->menu();
    QVERIFY(windowMenu);
    emit windowMenu->aboutToShow();
    QStringList entries;
    for (QAction* a : windowMenu->actions())
        if (!a->isSeparator()) entries << a->text();
    QVERIFY2(entries.contains(QStringLiteral("&2 Dispersion curves - crossply: f h 0 to 2 MHz mm, 3 modes")),
             qPrintable(entries.join(" | ")));
    QVERIFY(entries.contains(QStringLiteral("&4 Dispersion curves - crossply: f h 0 to 2 MHz mm, 3 modes (2)")));

    // Its file dialog belongs to it: the export asks in a dialog whose window is the curves'.
    QWidget* dialogOwner = nullptr;
    QTimer::singleShot(0, [&] {
        for (int i = 0; i < 300 && !dialogOwner; ++i) {
            if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                dialogOwner = d->parentWidget() ? d->parentWidget()->window() : nullptr;
                d->reject();
                return;
            }
            QTest::qWait(10);
        }
    });
    first->findChild<QPushButton*>("exportCsv")->click();
    QCOMPARE(dialogOwner, static_cast<QWidget*>(first.data()));

    // The directions of one of them: a window of the document as the curves are, titled after
    // the curves it came from, its picture at a size of the user's choice.
    CDirectionsBar* bar = first->Directions();
    bar->findChild<QLineEdit*>("directionsAt")->setText("0.5");
    bar->findChild<QSpinBox*>("directionsCount")->setValue(8);
    bar->Start();
    QTRY_VERIFY_WITH_TIMEOUT(bar->LastWindow() != nullptr, 60000);
    QPointer<CDirectionsWindow> directions = bar->LastWindow();
    QVERIFY(QTest::qWaitForWindowExposed(directions));
    const QString directionsTitle = first->windowTitle() + " - directions at f h = 0.5 MHz mm";
    QCOMPARE(directions->windowTitle(), directionsTitle);
    SaveShot(first, "dispersion_window");
    SaveShot(directions, "directions_window");
    CheckPlaced(frame, directions, shown);
    // The pointer on a line reads out its mode at that direction.
    {
        const plot::PlotContent& polar = directions->Plot()->Content();
        const plot::Mapping map{directions->Plot()->View().Shown(), directions->Plot()->PlotArea()};
        QTest::mouseMove(directions->Plot(), map.ToPixel(polar.series.back().points[2]).toPoint());
        QTRY_VERIFY2(directions->ReadoutText().contains(QString::fromStdString(polar.series.back().name) + ": direction 90 deg"),
                     qPrintable(directions->ReadoutText()));
    }
    QVERIFY(directions->pos() != first->pos() && directions->pos() != third->pos());
    QVERIFY2(WindowMenuEntries(frame).contains(QStringLiteral("&5 ") + directionsTitle),
             qPrintable(WindowMenuEntries(frame).join(" | ")));
    bar->Start();  // the same directions again: told apart
    QTRY_VERIFY_WITH_TIMEOUT(bar->LastWindow() != directions.data(), 60000);
    QPointer<CDirectionsWindow> again = bar->LastWindow();
    QCOMPARE(again->windowTitle(), directionsTitle + " (2)");
    // Ctrl+W closes a window of the document's, as on the rest of the desktop.
    again->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(again));
    QTest::keyClick(again, Qt::Key_W, Qt::ControlModifier);
    QTRY_VERIFY(!again);
    const QString picture = QDir(work.path()).filePath("directions.png");
    CScriptedChooser chooser;
    chooser.answer = picture.toStdString();
    directions->m_pFiles = &chooser;
    QWidget* imageOwner = nullptr;
    m_modals.Play([&](QDialog& dialog) {
        auto* d = qobject_cast<plot::ImageExportDialog*>(&dialog);
        if (!d) return int(QDialog::Rejected);
        imageOwner = d->parentWidget() ? d->parentWidget()->window() : nullptr;
        d->findChild<QSpinBox*>("width")->setValue(500);
        d->findChild<QSpinBox*>("height")->setValue(420);
        return int(QDialog::Accepted);
    });
    directions->findChild<QPushButton*>("directionsImage")->click();
    QCOMPARE(imageOwner, static_cast<QWidget*>(directions.data()));
    QCOMPARE(QImage(picture).size(), QSize(500, 420));
    directions->m_pFiles = nullptr;

    // File > Close closes them with the document.
    QVERIFY(frame->RouteCommand(Cmd::kFileClose));
    QTRY_VERIFY(!first && !second && !third && !directions && !again);
    app.reset();
    QApplication::processEvents();
}

void ToolWindowsTest::studyWindowsArePlacedBeforeTheyShow() {
    studytest::CTempProject p;
    QVERIFY(QDir::setCurrent(QString::fromStdString(p.Dir())));
    // A study run from a terminal, then opened in the program, twice.
    p.Write("input/plate.dat", studytest::kSharedPlyProject);
    const std::string file = p.Write("input/cli.study.toml", "project = \"plate.dat\"\nname = \"cli\"\nsolver = \"" +
                                                                 std::string(FAKE_SOLVERS) +
                                                                 "/receivers_solver\"\n[receivers]\nfrom = 80\n"
                                                                 "to = 120\ncount = 5\n");
    QCOMPARE(StudyRunCommand(file, StudyCommandIO{}), 0);
    auto app = std::make_unique<COstrelApp>();
    app->SetMessageSink(&m_sink);
    app->SetModalRunner(&m_modals);
    QVERIFY(app->InitInstance({}));
    CMainFrame* frame = app->MainFrame();
    QVERIFY(QTest::qWaitForWindowExposed(frame));
    QVERIFY(frame->RouteCommand(Cmd::kFileNew));
    CDocumentHost* host = frame->ActiveChild()->Host();
    CScriptedChooser chooser;
    chooser.answer = file;
    host->Doc().m_services.files = &chooser;
    CFirstShown shown;
    QPointer<CStudyWindow> windows[2];
    for (QPointer<CStudyWindow>& w : windows) {
        const auto before = QApplication::topLevelWidgets();
        QVERIFY(frame->RouteCommand(Cmd::kOpenStudy));
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* study = qobject_cast<CStudyWindow*>(top); study && !before.contains(top)) w = study;
        QVERIFY2(w, m_sink.texts.empty() ? "no study window" : m_sink.texts.front().c_str());
        QVERIFY(QTest::qWaitForWindowExposed(w));
        CheckPlaced(frame, w, shown);
    }
    QVERIFY(windows[0]->pos() != windows[1]->pos());
    SaveShot(windows[1], "study_window");
    QVERIFY2(WindowMenuEntries(frame).contains(QStringLiteral("&3 ") + windows[1]->windowTitle()),
             qPrintable(WindowMenuEntries(frame).join(" | ")));
    host->Doc().m_services.files = nullptr;
    QVERIFY(frame->RouteCommand(Cmd::kFileClose));
    QTRY_VERIFY(!windows[0] && !windows[1]);
    app.reset();
    QApplication::processEvents();
    QVERIFY2(m_sink.texts.empty(), FirstMessage(m_sink));
}

PEMBLAR_GUI_TEST_MAIN(ToolWindowsTest, GuiTestOptions{.quitOnLastWindowClosed = false})

#include "test_tool_windows.moc"
