// Document windows as the user meets them on screen: after switching, maximising, restoring,
// Cascade and Tile every view shows its drawing, and no window is left as a bare title bar.
// The pixels are read back from the X server (what the user sees), not from the view's own
// frame buffer.

#include <QApplication>
#include <QMdiArea>
#include <QMenu>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <xcb/xcb.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>

#include "ChildFrm.h"
#include "CommandIds.h"
#include "DocumentHost.h"
#include "MainFrm.h"
#include "OstrelApp.h"
#include "OstrelView.h"
#include "PosixProcessRunner.h"
#include "WindowArrangement.h"
#include "../GuiTestMain.h"

namespace {

class CRecordingSink : public IMessageSink {
public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    std::vector<std::string> messages;
};

void LoadCurve(COstrelDoc& doc) {
    doc.m_curve.clear();
    for (int i = 0; i < 50; ++i)
        doc.m_curve.push_back(CCurvePoint{float(i), float(i % 10)});
    doc.m_nPoints = 50;
    doc.m_fXMin = doc.m_fFullXMin = 0;
    doc.m_fXMax = doc.m_fFullXMax = 49;
    doc.m_fYMin = doc.m_fFullYMin = 0;
    doc.m_fYMax = doc.m_fFullYMax = 9;
    doc.m_nLabelComp = 1;
    doc.m_bCurveLoaded = 1;
}

// What the X server shows of a widget now.
QImage OnScreen(QWidget* widget) {
    QScreen* screen = widget->screen();
    const QPoint at = widget->mapToGlobal(QPoint(0, 0));
    return screen->grabWindow(0, at.x(), at.y(), widget->width(), widget->height()).toImage();
}

int Count(const QImage& image, QRgb rgb) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += (image.pixel(x, y) & 0xffffff) == (rgb & 0xffffff) ? 1 : 0;
    return n;
}

// A view shows its drawing: mostly its white background, with the plot frame's green.
bool ShowsDrawing(QWidget* view, QString* why) {
    const QImage image = OnScreen(view);
    const int all = image.width() * image.height();
    const int white = Count(image, qRgb(255, 255, 255));
    const int black = Count(image, qRgb(0, 0, 0));
    *why = QStringLiteral("%1x%2: white %3 black %4").arg(image.width()).arg(image.height()).arg(white).arg(black);
    return all > 0 && white > all / 2 && black < all / 10;
}

}  // namespace

class TestWindowArrangement : public QObject {
    Q_OBJECT

    std::unique_ptr<COstrelApp> m_app;
    CRecordingSink m_sink;
    QTemporaryDir m_work;

    CMainFrame* StartWithTwoDocuments() {
        m_app = std::make_unique<COstrelApp>();
        m_app->SetMessageSink(&m_sink);
        if (!m_app->InitInstance({}))
            return nullptr;
        CMainFrame* frame = m_app->MainFrame();
        for (int i = 0; i < 2; ++i)
            LoadCurve(m_app->OnFileNew()->Doc());
        if (!QTest::qWaitForWindowExposed(frame))
            return nullptr;
        return frame;
    }

    static void Settle() {
        for (int i = 0; i < 5; ++i) {
            QApplication::processEvents();
            QTest::qWait(40);
        }
    }

    // Every document window that is not minimised shows its drawing on screen; the front one
    // (or every tile) is checked whole.
    static bool FrontShowsDrawing(CMainFrame* frame, QString* why) {
        CChildFrame* active = frame->ActiveChild();
        return active && ShowsDrawing(active->View(), why);
    }

private slots:
    void init() { QDir::setCurrent(m_work.path()); }
    void cleanup() {
        m_app.reset();
        QApplication::processEvents();
    }

    void restoredPlaceIsUsableAndSteps() {
        const QSize area(1000, 800);
        const QRect first = DefaultChildGeometry(area, 0, 24);
        QCOMPARE(first, QRect(0, 0, 750, 600));
        QCOMPARE(DefaultChildGeometry(area, 1, 24).topLeft(), QPoint(24, 24));
        // Steps that would leave the area start again at the top left.
        for (int i = 0; i < 40; ++i)
            QVERIFY(QRect(QPoint(0, 0), area).contains(DefaultChildGeometry(area, i, 24)));
        QCOMPARE(DefaultChildGeometry(area, 9, 24).topLeft(), QPoint(0, 0));
    }

    void cascadeOverlapsAtAUsableSize() {
        const QSize area(1000, 800);
        const auto two = CascadeGeometries(area, 2, 24);
        QCOMPARE(two.size(), 2u);
        QCOMPARE(two[0], QRect(0, 0, 976, 776));
        QCOMPARE(two[1], QRect(24, 24, 976, 776));
        // Many windows: never smaller than half the area, never outside it.
        const auto many = CascadeGeometries(area, 30, 24);
        for (const QRect& r : many) {
            QVERIFY(r.width() >= 500 && r.height() >= 400);
            QVERIFY(QRect(QPoint(0, 0), area).contains(r));
        }
        QVERIFY(CascadeGeometries(area, 0, 24).empty());
    }

    void viewSwitchedBackToShowsItsDrawing() {
        CMainFrame* frame = StartWithTwoDocuments();
        QVERIFY(frame);
        const auto children = frame->ChildFrames();
        QCOMPARE(children.size(), 2u);
        Settle();
        QString why;
        QTRY_VERIFY2(FrontShowsDrawing(frame, &why), qPrintable(why));
        // Window, "1 Pemblar1".
        QMenu* windows = frame->Menus(129)[2];
        QAction* first = nullptr;
        for (QAction* a : windows->actions())
            if (a->text() == "&1 Pemblar1")
                first = a;
        QVERIFY(first);
        first->trigger();
        QCOMPARE(frame->ActiveChild(), children[0]);
        QVERIFY(children[0]->isMaximized());
        Settle();
        QTRY_VERIFY2(FrontShowsDrawing(frame, &why), qPrintable(why));
        // Ctrl+Tab moves on to the other window.
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));
        QTest::keyClick(children[0]->View(), Qt::Key_Tab, Qt::ControlModifier);
        QTRY_COMPARE(frame->ActiveChild(), children[1]);
        Settle();
        QTRY_VERIFY2(FrontShowsDrawing(frame, &why), qPrintable(why));
        // The window behind waits restored at a usable size, not as its title bar.
        QVERIFY(!children[0]->isMaximized());
        QVERIFY2(children[0]->View()->height() > 200, qPrintable(QString::number(children[0]->View()->height())));
        // Restore, then maximise again.
        children[1]->showNormal();
        Settle();
        QTRY_VERIFY2(ShowsDrawing(children[1]->View(), &why), qPrintable(why));
        children[1]->showMaximized();
        Settle();
        QTRY_VERIFY2(ShowsDrawing(children[1]->View(), &why), qPrintable(why));
        // Dragged down to the smallest the window allows, and maximised again.
        children[1]->showNormal();
        children[1]->resize(1, 1);
        Settle();
        QVERIFY(children[1]->View()->height() > 0 && children[1]->View()->width() > 0);
        children[1]->showMaximized();
        Settle();
        QTRY_VERIFY2(ShowsDrawing(children[1]->View(), &why), qPrintable(why));
        // Minimised and back.
        children[1]->showMinimized();
        Settle();
        children[1]->showMaximized();
        frame->MdiArea()->setActiveSubWindow(children[1]);
        Settle();
        QTRY_VERIFY2(ShowsDrawing(children[1]->View(), &why), qPrintable(why));
    }

    void cascadeLeavesUsableWindowsThatDrawAndCapture() {
        CMainFrame* frame = StartWithTwoDocuments();
        QVERIFY(frame);
        const auto children = frame->ChildFrames();
        QVERIFY(frame->RouteCommand(Cmd::kWindowCascade));
        Settle();
        const QSize area = frame->MdiArea()->viewport()->size();
        for (CChildFrame* child : children) {
            QVERIFY(!child->isMaximized());
            QVERIFY2(child->width() >= area.width() / 2 && child->height() >= area.height() / 2,
                     qPrintable(QStringLiteral("%1x%2").arg(child->width()).arg(child->height())));
            // What Save bitmap and Print capture.
            auto* view = static_cast<COstrelView*>(child->View());
            const QImage capture = view->CaptureFrame();
            QVERIFY(!capture.isNull());
            QCOMPARE(capture.size(), view->size() * view->devicePixelRatio());
        }
        // They overlap, each title bar below and right of the one before; the active one in front.
        QVERIFY(children[0]->geometry().intersects(children[1]->geometry()));
        QVERIFY(children[0]->pos() != children[1]->pos());
        QCOMPARE(frame->ActiveChild(), children[1]);
        QVERIFY(children[1]->pos().y() > children[0]->pos().y());
        QString why;
        QTRY_VERIFY2(ShowsDrawing(children[1]->View(), &why), qPrintable(why));
        // A click on the window behind brings it forward, drawn.
        QTest::mouseClick(children[0]->View(), Qt::LeftButton, {}, QPoint(10, 10));
        QTRY_COMPARE(frame->ActiveChild(), children[0]);
        Settle();
        QTRY_VERIFY2(ShowsDrawing(children[0]->View(), &why), qPrintable(why));
        // Tile, then maximise one: each shows its drawing.
        QVERIFY(frame->RouteCommand(Cmd::kWindowTile));
        Settle();
        for (CChildFrame* child : children)
            QTRY_VERIFY2(ShowsDrawing(child->View(), &why), qPrintable(why));
        children[0]->showMaximized();
        Settle();
        QTRY_VERIFY2(ShowsDrawing(children[0]->View(), &why), qPrintable(why));
    }
};

namespace {

// With PEMBLAR_TEST_WINDOW_MANAGER=openbox the test runs under that window manager, started on
// the test's X server and ended with it; without, on the bare server. Both must hold.
class CWindowManager {
public:
    // False when the window manager was asked for but could not be started.
    bool Start(const char* program) {
        if (!program || !*program)
            return true;
        const std::string path = ResolveProgram(program, ".");
        if (path.empty())
            return false;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::execl(path.c_str(), program, "--sm-disable", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (m_pid < 0)
            return false;
        // It manages the screen once it holds the WM_S0 selection.
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(connection)) {
            xcb_disconnect(connection);
            return false;
        }
        xcb_intern_atom_reply_t* atom =
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, 5, "WM_S0"), nullptr);
        bool up = false;
        for (int i = 0; atom && i < 200 && !up; ++i) {
            xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
                connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
            up = owner && owner->owner != XCB_NONE;
            std::free(owner);
            if (!up)
                ::usleep(25000);
        }
        std::free(atom);
        xcb_disconnect(connection);
        return up;
    }
    ~CWindowManager() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

private:
    pid_t m_pid = -1;
};

constexpr int kSkipped = 77;

}  // namespace

int main(int argc, char** argv) {
    CWindowManager manager;
    const char* wanted = std::getenv("PEMBLAR_TEST_WINDOW_MANAGER");
    if (!manager.Start(wanted)) {
        std::fprintf(stderr, "SKIP: the window manager %s is not installed or did not start (scripts/install-deps.sh installs it)\n", wanted);
        return kSkipped;
    }
    return RunGuiTest<TestWindowArrangement>(argc, argv, __FILE__, GuiTestOptions{.quitOnLastWindowClosed = false});
}

#include "test_window_arrangement.moc"
