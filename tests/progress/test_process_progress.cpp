// The solver progress window with real child processes: it stays responsive, shows output,
// elapsed time and progress, and Cancel (button or Escape) kills the solver and its helpers.

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>

#include "../Shots.h"
#include "OstrelDoc.h"
#include "ProcessProgress.h"
#include "SolverRun.h"
#include "test_run_support.h"
#include "../GuiTestMain.h"

using namespace testsupport;

namespace {

CProcessProgressDialog* OpenDialog() {
    return qobject_cast<CProcessProgressDialog*>(QApplication::activeModalWidget());
}

// Calls probe every 20 ms while a run is going on; counts the calls.
class CProbe {
public:
    explicit CProbe(std::function<void(CProcessProgressDialog*)> probe) {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this, probe] {
            ++ticks;
            if (CProcessProgressDialog* dialog = OpenDialog()) {
                ++ticksWithDialog;
                probe(dialog);
            }
        });
        m_timer.start();
    }
    int ticks = 0;
    int ticksWithDialog = 0;

private:
    QTimer m_timer;
};

QString OutputOf(CProcessProgressDialog* dialog) {
    return dialog->findChild<QPlainTextEdit*>("outputView")->toPlainText();
}

}  // namespace

class TestProcessProgress : public QObject {
    Q_OBJECT
private slots:
    void showsOutputElapsedTimeAndProgressWhileRepainting();
    void cancelButtonKillsTheSolverAndItsHelpers();
    void escapeAndTheCloseBoxCancelToo();
    void failuresComeBackAsOutcomes();
    void elapsedTimeText();
    void executeCompositeThroughTheWindow();
    void aFailedRunSaysWhyInItsMessage();
};

void TestProcessProgress::showsOutputElapsedTimeAndProgressWhileRepainting() {
    CTempDir temp;
    InstallSolver("prints_progress", temp.Path(), "lumdex");
    int highest = -1, lowest = 1000, busyMaximum = -1;
    QString output, elapsed, status;
    CProbe probe([&](CProcessProgressDialog* dialog) {
        auto* bar = dialog->findChild<QProgressBar*>("progressBar");
        if (bar->maximum() == 100) {
            highest = std::max(highest, bar->value());
            lowest = std::min(lowest, bar->value());
        } else {
            busyMaximum = bar->maximum();
        }
        output = OutputOf(dialog);
        elapsed = dialog->findChild<QLabel*>("elapsedLabel")->text();
        status = dialog->findChild<QLabel*>("statusLabel")->text();
        if (output.contains("reading the input") && lowest < 100) SaveShot(dialog, "progress_window");
    });
    CProcessProgress runner;
    const ProcessOutcome outcome = runner.Run(ProcessRequest{"./lumdex", {}, temp.Path().string()});
    QCOMPARE(outcome.status, ProcessOutcome::Status::Finished);
    QCOMPARE(outcome.exitCode, 0);
    QVERIFY(probe.ticksWithDialog >= 5);  // the event loop ran all through the half-second run
    QCOMPARE(highest, 100);
    QVERIFY(lowest < 100);
    // Progress moves the bar alone; what else the solver says is shown.
    QVERIFY(!output.contains("progress"));
    QVERIFY(output.contains("reading the input"));
    QVERIFY(elapsed.startsWith("Elapsed time: 0:0"));
    QCOMPARE(status, QString("Running lumdex in %1").arg(QString::fromStdString(temp.Path().string())));
    QVERIFY(busyMaximum == -1 || busyMaximum == 0);
    QVERIFY(fs::exists(temp.Path() / "result.dat"));
}

void TestProcessProgress::cancelButtonKillsTheSolverAndItsHelpers() {
    CTempDir temp;
    InstallSolver("hangs", temp.Path(), "lumdex");
    pid_t helper = 0;
    bool buttonDisabledAfterClick = false;
    CProbe probe([&](CProcessProgressDialog* dialog) {
        const QString text = OutputOf(dialog);
        if (!text.contains("waiting") || dialog->CancelRequested())
            return;
        const QString helperLine = text.split('\n').filter("helper ").value(0);
        helper = helperLine.mid(7).toInt();
        auto* cancel = dialog->findChild<QPushButton*>("cancelButton");
        QTest::mouseClick(cancel, Qt::LeftButton);
        buttonDisabledAfterClick = !cancel->isEnabled();
    });
    CProcessProgress runner;
    const ProcessOutcome outcome = runner.Run(ProcessRequest{"./lumdex", {}, temp.Path().string()});
    QCOMPARE(outcome.status, ProcessOutcome::Status::Cancelled);
    QVERIFY(buttonDisabledAfterClick);
    QVERIFY(helper > 0);
    QVERIFY(ProcessIsGone(helper));
}

void TestProcessProgress::escapeAndTheCloseBoxCancelToo() {
    CTempDir temp;
    InstallSolver("hangs", temp.Path(), "lumdex");
    for (const bool useEscape : {true, false}) {
        CProbe probe([&](CProcessProgressDialog* dialog) {
            if (!OutputOf(dialog).contains("waiting") || dialog->CancelRequested())
                return;
            if (useEscape)
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                dialog->close();
        });
        CProcessProgress runner;
        const ProcessOutcome outcome = runner.Run(ProcessRequest{"./lumdex", {}, temp.Path().string()});
        QCOMPARE(outcome.status, ProcessOutcome::Status::Cancelled);
    }
}

void TestProcessProgress::failuresComeBackAsOutcomes() {
    CTempDir temp;
    InstallSolver("exits_nonzero", temp.Path(), "lumdex");
    InstallSolver("crashes", temp.Path(), "Kavrit");
    CProcessProgress runner;
    QString output;
    CProbe probe([&](CProcessProgressDialog* dialog) { output = OutputOf(dialog); });

    const ProcessOutcome failed = runner.Run(ProcessRequest{"./lumdex", {}, temp.Path().string()});
    QCOMPARE(failed.status, ProcessOutcome::Status::Finished);
    QCOMPARE(failed.exitCode, 3);
    QCOMPARE(failed.lastLines, std::vector<std::string>{"input.d: bad layer count"});

    const ProcessOutcome crashed = runner.Run(ProcessRequest{"./Kavrit", {}, temp.Path().string()});
    QCOMPARE(crashed.status, ProcessOutcome::Status::Crashed);
    QVERIFY2(crashed.errorText.find("signal 11") != std::string::npos, crashed.errorText.c_str());

    const int dialogsBefore = probe.ticksWithDialog;
    const ProcessOutcome missing = runner.Run(ProcessRequest{"./absent", {}, temp.Path().string()});
    QCOMPARE(missing.status, ProcessOutcome::Status::FailedToStart);
    QCOMPARE(probe.ticksWithDialog, dialogsBefore);  // no window for a program that is not there
}

void TestProcessProgress::elapsedTimeText() {
    QCOMPARE(CProcessProgressDialog::ElapsedText(0), QString("Elapsed time: 0:00"));
    QCOMPARE(CProcessProgressDialog::ElapsedText(65'400), QString("Elapsed time: 1:05"));
    QCOMPARE(CProcessProgressDialog::ElapsedText(3'725'000), QString("Elapsed time: 1:02:05"));
}

void TestProcessProgress::executeCompositeThroughTheWindow() {
    CTempDir temp;
    InstallSolver("writes_result", temp.Path() / "bin", "lumdex");
    CRecordingMessages messages;
    CProcessProgress runner;
    COstrelDoc doc;
    doc.m_szStartDir = temp.Path().string();
    doc.m_services.messages = &messages;
    doc.m_services.processes = &runner;
    doc.m_nRunType = 0;
    doc.m_nOutput = 3;
    OnExecute(doc, CompositeKind());
    QVERIFY(messages.texts.empty());
    QCOMPARE(doc.m_nRunType, -1);
    QCOMPARE(ReadText(temp.Path() / "output" / "COM_project" / "result_w.dat"), std::string("0 3\n0 0\n1 1\n2 -1\n"));

    InstallSolver("hangs", temp.Path() / "bin", "lumdex");
    doc.m_nRunType = 0;
    CProbe probe([&](CProcessProgressDialog* dialog) {
        if (OutputOf(dialog).contains("waiting") && !dialog->CancelRequested())
            dialog->findChild<QPushButton*>("cancelButton")->click();
    });
    OnExecute(doc, CompositeKind());
    QCOMPARE(doc.m_nRunType, 0);
    QCOMPARE(messages.texts, std::vector<std::string>{"The solver run was cancelled; no result was kept."});
}

void TestProcessProgress::aFailedRunSaysWhyInItsMessage() {
    // The real FGM solver on an input it refuses: its reason reaches the user after the
    // progress window has gone.
    CTempDir temp;
    fs::create_directories(temp.Path() / "binFGM");
    fs::copy_file(KAVRIT_PATH, temp.Path() / "binFGM" / "Kavrit");
    WriteText(temp.Path() / "binFGM" / "inputfgm.dat", "abc\n");
    CRecordingMessages messages;
    CProcessProgress runner;
    COstrelDoc doc;
    doc.m_szStartDir = temp.Path().string();
    doc.m_services.messages = &messages;
    doc.m_services.processes = &runner;
    doc.m_nRunType = 1;
    doc.m_nFGMOutput = 1;
    OnExecute(doc, FGMKind());
    QCOMPARE(messages.texts.size(), 1u);
    const std::string& text = messages.texts[0];
    QVERIFY2(text.rfind("The solver Kavrit failed with exit code 1; no result was kept.\n\nThe solver's last output:\n", 0) == 0,
             text.c_str());
    QVERIFY2(text.find("Kavrit: inputfgm.dat line 1: expected the layer count") != std::string::npos, text.c_str());
    QVERIFY(!OpenDialog());
}

PEMBLAR_GUI_TEST_MAIN(TestProcessProgress)
#include "test_process_progress.moc"
