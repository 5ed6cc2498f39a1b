#include "ProcessProgress.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "PosixProcessRunner.h"
#include "SolverRun.h"

CProcessProgressDialog::CProcessProgressDialog(const QString& programName, const QString& workingDirectory,
                                               QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Pemblar"));
    setWindowModality(Qt::ApplicationModal);
    setObjectName(QStringLiteral("processProgress"));

    m_status = new QLabel(tr("Running %1 in %2").arg(programName, workingDirectory), this);
    m_status->setObjectName(QStringLiteral("statusLabel"));
    m_status->setWordWrap(true);
    m_elapsed = new QLabel(ElapsedText(0), this);
    m_elapsed->setObjectName(QStringLiteral("elapsedLabel"));
    // Busy until the solver reports a percentage.
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progressBar"));
    m_progress->setRange(0, 0);
    m_output = new QPlainTextEdit(this);
    m_output->setObjectName(QStringLiteral("outputView"));
    m_output->setReadOnly(true);
    m_output->setMaximumBlockCount(5000);
    m_output->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_output->setFont(QFont(QStringLiteral("Monospace")));
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, &CProcessProgressDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_elapsed);
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_progress);
    layout->addWidget(m_output, 1);
    layout->addLayout(buttons);
    resize(560, 360);
}

QString CProcessProgressDialog::ElapsedText(qint64 milliseconds) {
    const qint64 seconds = milliseconds / 1000;
    const qint64 h = seconds / 3600, m = (seconds / 60) % 60, s = seconds % 60;
    const QString clock = h > 0 ? QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'))
                                : QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
    return tr("Elapsed time: %1").arg(clock);
}

void CProcessProgressDialog::AppendLine(const QString& line) {
    // Progress moves the bar; the text shows only what else the program says.
    if (const std::optional<int> percent = ParseProgressPercent(line.toStdString())) {
        m_progress->setRange(0, 100);
        m_progress->setValue(*percent);
        return;
    }
    m_output->appendPlainText(line);
}

void CProcessProgressDialog::SetElapsed(qint64 milliseconds) {
    m_elapsed->setText(ElapsedText(milliseconds));
}

void CProcessProgressDialog::reject() {
    if (m_cancelRequested)
        return;
    m_cancelRequested = true;
    m_cancel->setEnabled(false);
    m_status->setText(tr("Cancelling..."));
    emit cancelRequested();
}

ProcessOutcome CProcessProgress::Run(const ProcessRequest& request) {
    ProcessOutcome outcome;
    const std::string program = ResolveProgram(request.program, request.workingDirectory);
    if (program.empty()) {
        outcome.status = ProcessOutcome::Status::FailedToStart;
        outcome.errorText = request.program + ": no such program in " + request.workingDirectory +
                            " or on the search path";
        return outcome;
    }

    QProcess process;
    process.setProgram(QString::fromStdString(program));
    QStringList arguments;
    for (const auto& a : request.arguments)
        arguments << QString::fromStdString(a);
    process.setArguments(arguments);
    process.setWorkingDirectory(QString::fromStdString(request.workingDirectory));
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    // Its own process group, so that Cancel also ends whatever the solver started.
    process.setChildProcessModifier([] { ::setpgid(0, 0); });

    CProcessProgressDialog dialog(QFileInfo(QString::fromStdString(request.program)).fileName(),
                                  QString::fromStdString(request.workingDirectory), m_parent);
    CLastLines lastLines;
    CLineSplitter splitter([&](const std::string& line) {
        lastLines.Add(line);
        dialog.AppendLine(QString::fromStdString(line));
    });
    const auto readOutput = [&] {
        const QByteArray bytes = process.readAllStandardOutput();
        splitter.Feed(bytes.constData(), static_cast<size_t>(bytes.size()));
    };
    QObject::connect(&process, &QProcess::readyReadStandardOutput, &dialog, readOutput);
    QObject::connect(&process, &QProcess::finished, &dialog, [&dialog] { dialog.done(QDialog::Accepted); });
    QObject::connect(&process, &QProcess::errorOccurred, &dialog, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            dialog.done(QDialog::Rejected);
    });
    QObject::connect(&dialog, &CProcessProgressDialog::cancelRequested, &dialog, [&process] {
        const qint64 pid = process.processId();
        if (pid > 0)
            ::kill(-static_cast<pid_t>(pid), SIGKILL);
        process.kill();
    });

    QElapsedTimer clock;
    clock.start();
    QTimer ticker;
    ticker.setInterval(200);
    QObject::connect(&ticker, &QTimer::timeout, &dialog, [&] { dialog.SetElapsed(clock.elapsed()); });

    process.start();
    if (!process.waitForStarted(30000)) {
        outcome.status = ProcessOutcome::Status::FailedToStart;
        outcome.errorText = request.program + ": " + process.errorString().toStdString();
        return outcome;
    }
    ticker.start();
    if (process.state() != QProcess::NotRunning)
        dialog.exec();
    ticker.stop();
    if (process.state() != QProcess::NotRunning)
        process.waitForFinished(-1);
    readOutput();
    splitter.Finish();
    outcome.lastLines = lastLines.Lines();

    if (dialog.CancelRequested()) {
        outcome.status = ProcessOutcome::Status::Cancelled;
        outcome.errorText = "cancelled";
    } else if (process.exitStatus() == QProcess::CrashExit) {
        outcome.status = ProcessOutcome::Status::Crashed;
        // On Unix the exit code of a crashed child is the signal that ended it.
        const int sig = process.exitCode();
        const char* name = sig > 0 ? ::strsignal(sig) : nullptr;
        outcome.errorText = "terminated by signal " + std::to_string(sig) + (name ? std::string(" (") + name + ")" : "");
    } else {
        outcome.status = ProcessOutcome::Status::Finished;
        outcome.exitCode = process.exitCode();
    }
    return outcome;
}
