#pragma once
// A modal runner that plays the user: every dialog the program shows goes to the script the
// test set last (none: the dialog is shown for real).

#include <QDialog>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <utility>

#include "ModalRunner.h"

class CScriptedModal : public IModalRunner {
public:
    void Play(std::function<int(QDialog&)> script) { m_script = std::move(script); }
    int RunModal(QDialog& dialog) override { return m_script ? m_script(dialog) : dialog.exec(); }

private:
    std::function<int(QDialog&)> m_script;
};

// The control of a form that a script plays, by its object name; a form without it stops the
// test, since the script would play a different form than it means to.
template <class T>
T* Child(QWidget& form, const char* name) {
    T* w = form.findChild<T*>(QString::fromLatin1(name));
    if (!w)
        qFatal("no child %s", name);
    return w;
}
