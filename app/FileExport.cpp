#include "FileExport.h"

#include "ImageExportDialog.h"
#include "ModalRunner.h"
#include "QtUiServices.h"

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

bool ExportTableOrImage(QWidget* parent, IModalRunner* modals, IFileChooser* files, IMessageSink* messages,
                        const CExportRequest& request, const char* extension, QSize initial,
                        const std::function<bool(const QString&, QString*)>& saveCsv, const ImageSaver& saveImage) {
    if (std::string(extension) == "csv")
        return ExportThroughChooser(parent, files, messages, request, extension, saveCsv);
    return ExportImageThroughChooser(parent, modals, files, messages, request, initial, saveImage);
}
