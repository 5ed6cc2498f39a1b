#pragma once
// The person at the study commands, played through the runner every dialog goes through: the
// study form by `runForm`, each question by `ask` (QMessageBox::Yes, No or Cancel, from its
// text), any other dialog by `other`. A dialog nobody plays stops the test: it would wait for a
// click that never comes.

#include <QMessageBox>
#include <QtGlobal>

#include <functional>

#include "ModalRunner.h"
#include "StudyDialog.h"

class CStudyUser : public IModalRunner {
public:
    std::function<int(QDialog& form)> runForm;
    std::function<int(const QString& text)> ask;
    std::function<int(QDialog& dialog)> other;

    int RunModal(QDialog& dialog) override {
        if (qobject_cast<CStudyDialog*>(&dialog) && runForm)
            return runForm(dialog);
        if (auto* box = qobject_cast<QMessageBox*>(&dialog); box && ask)
            return ask(box->text());
        if (other)
            return other(dialog);
        qFatal("nobody plays the dialog %s", dialog.metaObject()->className());
    }
};
