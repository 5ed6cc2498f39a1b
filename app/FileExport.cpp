#include "FileExport.h"

#include <QBoxLayout>
#include <QPushButton>

#include "ImageExportDialog.h"
#include "ModalRunner.h"
#include "QtUiServices.h"

void AddExportButtons(QBoxLayout* row, QWidget* owner, const char* label, const char* name,
                      const std::function<void(const char*)>& exportAs) {
    for (const char* extension : {"csv", "png", "svg"}) {
        const QString upper = QString::fromLatin1(extension).toUpper();
        auto* b = new QPushButton(QString::fromLatin1(label) + upper + QStringLiteral("..."), owner);
        b->setObjectName(QString::fromLatin1(name) + upper.left(1) + QString::fromLatin1(extension + 1));
        QObject::connect(b, &QPushButton::clicked, owner, [exportAs, extension] { exportAs(extension); });
        row->addWidget(b);
    }
}

bool ExportThroughChooser(QWidget* parent, IFileChooser* files, IMessageSink* messages, const CExportRequest& r,
                          const char* extension, const std::function<bool(const QString&, QString*)>& save) {
    FileDialogRequest request;
    request.save = true;
    request.title = "Export " + r.strWhat + " as " + extension;
    request.defaultExt = extension;
    request.initialName = r.strInitialName + "." + extension;
    request.filter = r.strFilter.empty() ? std::string("*.") + extension : r.strFilter;
    request.startDir = r.strStartDir;
    CQtFileChooser qtChooser(parent);
    IFileChooser& chooser = files ? *files : qtChooser;
    const auto path = chooser.ChooseFile(request);
    if (!path || path->empty()) return false;
    QString error;
    if (save(QString::fromStdString(*path), &error)) return true;
    std::string what = r.strWhat;
    if (!what.empty()) what[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(what[0])));
    const std::string text = what + " could not be exported: " + error.toStdString();
    ShowFormMessage(messages, parent, text.c_str());
    return false;
}

bool ExportImageThroughChooser(QWidget* parent, IModalRunner* modals, IFileChooser* files, IMessageSink* messages,
                               CExportRequest request, QSize initial, const ImageSaver& save) {
    plot::ImageExportDialog options(initial.expandedTo(QSize(640, 400)), parent);
    if (RunModal(modals, options) != QDialog::Accepted)
        return false;
    request.strFilter = plot::kImageFilter;
    return ExportThroughChooser(parent, files, messages, request, "png", [&](const QString& path, QString* error) {
        return save(path, options.ChosenSize(), options.GridLines(), error);
    });
}
