#pragma once
// Qt implementations of the document's user-facing interfaces.

#include <QPointer>
#include <QWidget>

#include "UiServices.h"

// A warning box captioned "Pemblar" with an OK button, parented to the given window.
class CQtMessageSink : public IMessageSink {
public:
    explicit CQtMessageSink(QWidget* parent = nullptr) : m_parent(parent) {}
    void ShowMessage(const std::string& text) override;
    void SetParent(QWidget* parent) { m_parent = parent; }

private:
    QPointer<QWidget> m_parent;
};

// QFileDialog with the request's title, start directory, filter and default extension.
class CQtFileChooser : public IFileChooser {
public:
    explicit CQtFileChooser(QWidget* parent = nullptr) : m_parent(parent) {}
    std::optional<std::string> ChooseFile(const FileDialogRequest& request) override;
    void SetParent(QWidget* parent) { m_parent = parent; }

private:
    QPointer<QWidget> m_parent;
};

// Shows a message through the sink when one is given, else through a Qt message box.
void ShowFormMessage(IMessageSink* sink, QWidget* parent, const char* text);
