// A display without OpenGL: a new document still gets its window (blank, it never draws), and
// the user is told why, instead of the program failing when it shows the view.

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include "ChildFrm.h"
#include "CommandIds.h"
#include "DocumentHost.h"
#include "MainFrm.h"
#include "OstrelApp.h"
#include "ViewFactory.h"
#include "../GuiTestMain.h"

class TestShellWithoutGl : public QObject {
    Q_OBJECT
private slots:
    void newDocumentOpensBlankWindowWithMessage() {
        COstrelApp app;
        QVERIFY(app.InitInstance({}));
        CMainFrame* frame = app.MainFrame();
        QStringList shown;
        // The message box is modal: read it and press OK as a person would.
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown << box->windowTitle() + ": " + box->text();
                box->accept();
            }
        });
        closer.start(20);
        QVERIFY(frame->RouteCommand(Cmd::kFileNew));
        QCOMPARE(shown, QStringList{"Pemblar: ChoosePixelFormat failed"});
        CChildFrame* child = frame->ActiveChild();
        QVERIFY(child && child->isMaximized());
        QCOMPARE(child->windowTitle(), QString("Pemblar1"));
        QVERIFY(child->View());
        QVERIFY(!ViewCommandTarget(child->View()));  // nothing to draw, so no view commands
        QTest::qWait(50);
        QVERIFY(child->isVisible());
        // The document's own commands still work.
        frame->UpdateCommandUI();
        QVERIFY(frame->Action(Cmd::kMaterialSelected)->isEnabled());
        QVERIFY(!frame->Action(Cmd::kOverview)->isEnabled());
    }
};

PEMBLAR_GUI_TEST_MAIN(TestShellWithoutGl, GuiTestOptions{.quitOnLastWindowClosed = false, .openGl = false})

#include "test_shell_without_gl.moc"
