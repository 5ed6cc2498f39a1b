#pragma once
// What the main window needs of the application object, so that the two do not include each
// other: the printer every view shares, the recent-file list the File menus show, opening a
// dropped file, and the application's own commands at the end of the routing chain.

#include "CommandTarget.h"

class CRecentFileList;
class IModalRunner;
class QPrinter;
class QString;

class IFrameApplication {
public:
    virtual ~IFrameApplication() = default;
    // The application's own commands, last in the routing chain.
    virtual ICommandTarget* AppCommands() = 0;
    virtual QPrinter& Printer() = 0;
    // What every window's modal dialogs are shown through (null: QDialog::exec).
    virtual IModalRunner* ModalRunner() const = 0;
    virtual const CRecentFileList& RecentFileList() const = 0;
    // The generic open route for a file dropped on the main window.
    virtual void OpenDroppedFile(const QString& path) = 0;
};
