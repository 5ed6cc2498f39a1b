#include "QtUiServices.h"

#include <QFileDialog>
#include <QMessageBox>

void CQtMessageSink::ShowMessage(const std::string& text) {
    QMessageBox::warning(m_parent, QStringLiteral("Pemblar"), QString::fromStdString(text));
}

std::optional<std::string> CQtFileChooser::ChooseFile(const FileDialogRequest& request) {
    QFileDialog dialog(m_parent, QString::fromStdString(request.title),
                       QString::fromStdString(request.startDir),
                       QString::fromStdString(request.filter));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExt));
    if (request.hideReadOnly)
        dialog.setOption(QFileDialog::ReadOnly, false);
    if (!request.initialName.empty() && request.initialName.find('*') == std::string::npos)
        dialog.selectFile(QString::fromStdString(request.initialName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

void ShowFormMessage(IMessageSink* sink, QWidget* parent, const char* text) {
    if (sink)
        sink->ShowMessage(text);
    else
        QMessageBox::warning(parent, QStringLiteral("Pemblar"), QString::fromUtf8(text));
}
