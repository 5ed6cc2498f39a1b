// The view on a display that offers no OpenGL. Qt 6.4 itself cannot show an OpenGL widget
// there (its compositor fails), so the shell asks COstrelView::OpenGLAvailable() before making
// views; this checks that the view's own set-up reports the failure and draws nothing.

#include <QApplication>
#include <QtTest>

#include "OstrelDoc.h"
#include "OstrelView.h"
#include "../GuiTestMain.h"

namespace {

struct CollectedMessages : IMessageSink {
    std::vector<std::string> texts;
    void ShowMessage(const std::string& text) override { texts.push_back(text); }
};

}  // namespace

class TestViewWithoutGl : public QObject {
    Q_OBJECT
private slots:
    void setUpReportsTheMissingPixelFormat() {
        QVERIFY(!COstrelView::OpenGLAvailable());
        COstrelDoc doc;
        CollectedMessages messages;
        doc.m_services.messages = &messages;
        doc.m_bCurveLoaded = 1;
        COstrelView view(&doc);
        QVERIFY(!view.SetupPixelFormat());
        QCOMPARE(messages.texts, std::vector<std::string>{"ChoosePixelFormat failed"});
        QCOMPARE(view.m_nFontListBase, 0u);
        QVERIFY(view.CaptureFrame().isNull());
        QVERIFY(!COstrelView::PaintInProgress());
    }
};

PEMBLAR_GUI_TEST_MAIN(TestViewWithoutGl, GuiTestOptions{.openGl = false})

#include "test_view_without_gl.moc"
