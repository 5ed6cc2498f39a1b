#pragma once
// Modal dialogs are shown through this service, so that a test plays the user through the real
// dialogs without any hook in the classes that open them. The window layer hands one runner to
// whatever opens dialogs; without one they are shown with QDialog::exec.

class QDialog;

class IModalRunner {
public:
    virtual ~IModalRunner() = default;
    // Shows dialog modally and gives its result (QDialog::Accepted, Rejected, a form's code).
    virtual int RunModal(QDialog& dialog) = 0;
};

// runner's answer, or QDialog::exec without a runner.
int RunModal(IModalRunner* runner, QDialog& dialog);
