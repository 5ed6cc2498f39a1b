#pragma once
// Export from a window: the user is asked for a file (through the window's chooser, or a file
// dialog parented to the window), the content written by `save`, and a failure told in a sentence.

#include <QSize>
#include <QString>
#include <functional>
#include <string>

#include "UiServices.h"

class IModalRunner;
class QWidget;

struct CExportRequest {
    std::string strWhat;         // "the dispersion curves": "Export the dispersion curves as png"
    std::string strInitialName;  // "dispersion": offered as "dispersion.png"
    std::string strStartDir;
    std::string strFilter{};     // the chooser's filter; empty: "*.<extension>"
};

// False when the user cancelled or the write failed (and was told).
bool ExportThroughChooser(QWidget* parent, IFileChooser* files, IMessageSink* messages, const CExportRequest& request,
                          const char* extension, const std::function<bool(const QString& path, QString* error)>& save);

// A picture of a plot: its size (starting from `initial`) and grid lines asked first in the image
// dialog every plot window shares (through modals, over parent), then the file through the
// chooser (PNG or SVG by its ending), then save(path, size, gridLines, error).
using ImageSaver = std::function<bool(const QString& path, QSize size, bool gridLines, QString* error)>;
bool ExportImageThroughChooser(QWidget* parent, IModalRunner* modals, IFileChooser* files, IMessageSink* messages,
                               CExportRequest request, QSize initial, const ImageSaver& save);

// What a plot window's two export buttons do: "csv" the table through saveCsv, anything else a
// picture through ExportImageThroughChooser (starting from the size `initial`).
bool ExportTableOrImage(QWidget* parent, IModalRunner* modals, IFileChooser* files, IMessageSink* messages,
                        const CExportRequest& request, const char* extension, QSize initial,
                        const std::function<bool(const QString& path, QString* error)>& saveCsv,
                        const ImageSaver& saveImage);
