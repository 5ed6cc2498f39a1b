// The windows a document opens beside its own, as the user meets them through the real program:
// dispersion curves of a run open over the main window's work area (never over its menus), are
// listed in the Window menu, tell runs apart by their titles, are windows to assistive
// technology, ask for their files in dialogs of their own, and close with their document.

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

#include <filesystem>
#include <memory>

#include "../ScriptedModal.h"
#include "ChildFrm.h"
#include "CommandIds.h"
#include "DispersionDlg.h"
#include "DispersionWindow.h"
#include "DocumentHost.h"
#include "MainFrm.h"
#include "OstrelApp.h"
#include "RecordList.h"

namespace fs = std::filesystem;

namespace {

class CRecordingSink : public IMessageSink {
public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    std::vector<std::string> messages;
};

CMaterial Ply(const std::string& name, int no, float angle) {
    CMaterial m;
    m.m_strName = name;
    m.m_nNo = no;
    m.m_dE1 = 140;
    m.m_dE2 = 10;
    m.m_dG12 = 5;
    m.m_dV12 = 0.3;
    m.m_dV23 = 0.45;
    m.m_dDensity = 1.6;
    m.m_fAngle = angle;
    return m;
}

// A cross-ply laminate of four plies, as the forms would leave it.
void CrossPly(COstrelDoc& doc) {
    AppendRecord(doc.m_materials, doc.m_nMaterials, Ply("ud0", 1, 0));
    AppendRecord(doc.m_materials, doc.m_nMaterials, Ply("ud90", 2, 90));
    for (int i : {1, 2, 2, 1}) {
        CLayer l;
        l.m_strLayer = "Layer " + std::to_string(doc.m_nComLayerCount + 1);
        l.m_strMaterial = i == 1 ? "ud0" : "ud90";
        l.m_nMaterial = i;
        l.m_fThickness = 0.25f;
        l.m_nSublayers = 2;
        AppendRecord(doc.m_layers, doc.m_nComLayerCount, l);
    }
    doc.m_nLayers = 4;
    doc.m_strComTitle = "crossply";
}

QRect GlobalRect(const QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); }

}  // namespace

class ToolWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void dispersionWindowsBelongToTheirDocument();

private:
    CDispersionWindow* RunCurves(CMainFrame* frame, const char* to);
    CScriptedModal m_modals;
    CRecordingSink m_sink;
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
    CrossPly(doc);
    fs::create_directories(fs::path(doc.m_szStartDir) / "bin");
    fs::create_symlink(LUMDEX_PATH, fs::path(doc.m_szStartDir) / "bin" / "lumdex");

    QPointer<CDispersionWindow> first = RunCurves(frame, "2");
    QVERIFY2(first, m_sink.messages.empty() ? "no window" : m_sink.messages.front().c_str());
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

    // File > Close closes them with the document.
    QVERIFY(frame->RouteCommand(Cmd::kFileClose));
    QTRY_VERIFY(!first && !second && !third);
    app.reset();
    QApplication::processEvents();
}

int main(int argc, char** argv) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
    ToolWindowsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_tool_windows.moc"
