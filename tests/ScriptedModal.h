#pragma once
// A modal runner that plays the user: every dialog the program shows goes to the script the
// test set last (none: the dialog is shown for real).

#include <QDialog>

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
