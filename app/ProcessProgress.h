#pragma once
// The window's way of running a solver: the child process runs while a modal progress window
// keeps the program repainting, shows the elapsed time and what the solver prints, turns
// "progress N%" lines into a progress bar, and offers Cancel, which kills the solver.

#include <QDialog>
#include <QPointer>

#include "UiServices.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

class CProcessProgressDialog : public QDialog {
    Q_OBJECT
public:
    CProcessProgressDialog(const QString& programName, const QString& workingDirectory, QWidget* parent = nullptr);

    // One line the solver printed: a "progress N%" line moves the bar, any other is shown.
    void AppendLine(const QString& line);
    void SetElapsed(qint64 milliseconds);
    bool CancelRequested() const { return m_cancelRequested; }

    // "Elapsed time: 1:05", hours as "1:02:05".
    static QString ElapsedText(qint64 milliseconds);

signals:
    void cancelRequested();

public slots:
    // Cancel, Escape and the close box all come here: the window stays until the process ended.
    void reject() override;

private:
    QLabel* m_status = nullptr;
    QLabel* m_elapsed = nullptr;
    QProgressBar* m_progress = nullptr;
    QPlainTextEdit* m_output = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_cancelRequested = false;
};

class CProcessProgress : public IProcessRunner {
public:
    explicit CProcessProgress(QWidget* parent = nullptr) : m_parent(parent) {}
    ProcessOutcome Run(const ProcessRequest& request) override;
    void SetParent(QWidget* parent) { m_parent = parent; }

private:
    QPointer<QWidget> m_parent;
};
