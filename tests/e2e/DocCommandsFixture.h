#pragma once
// A new document in a temporary working directory of its own, with the document's commands as a
// test drives them: messages recorded, file dialogs answered and forms played by the test. A Qt
// Test class derives from it, calls Open() in init() and Close() in cleanup().

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <filesystem>
#include <memory>

#include "../ScriptedModal.h"
#include "DocCommands.h"
#include "OstrelDoc.h"
#include "test_run_support.h"

class CDocCommandsFixture {
protected:
    // False when the directory or the document could not be made.
    bool Open() {
        m_previous = QDir::currentPath();
        m_dir = std::make_unique<QTemporaryDir>();
        if (!m_dir->isValid() || !QDir::setCurrent(m_dir->path()))
            return false;
        m_doc = std::make_unique<COstrelDoc>();
        if (!m_doc->OnNewDocument())
            return false;
        m_home = std::filesystem::path(m_doc->m_szStartDir);
        m_sink.texts.clear();
        m_chooser = {};
        m_doc->m_services.messages = &m_sink;
        m_doc->m_services.files = &m_chooser;
        m_commands = std::make_unique<CDocCommands>(*m_doc, nullptr, &m_modals);
        return true;
    }
    void Close() {
        m_commands.reset();
        m_doc.reset();
        QDir::setCurrent(m_previous);
        m_dir.reset();
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<COstrelDoc> m_doc;
    CScriptedModal m_modals;
    std::unique_ptr<CDocCommands> m_commands;
    testsupport::CRecordingMessages m_sink;
    testsupport::CScriptedChooser m_chooser;
    QString m_previous;
    std::filesystem::path m_home;
};
