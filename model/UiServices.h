#pragma once
// What document code needs from the person in front of it, as small interfaces.
// The window layer implements them with Qt; tests implement them with scripted fakes.

#include <functional>
#include <optional>
#include <string>
#include <vector>

// A modal message box captioned "Pemblar" with an exclamation sign and an OK button.
class IMessageSink {
public:
    virtual ~IMessageSink() = default;
    virtual void ShowMessage(const std::string& text) = 0;
};

struct FileDialogRequest {
    bool save = false;             // false: an open dialog
    std::string title;             // window title
    std::string defaultExt;        // without the dot, "dat"
    std::string initialName;       // "*.dat"
    std::string filter;            // "*.dat"
    std::string startDir;          // absolute directory the dialog starts in
    bool hideReadOnly = true;
};

// A file chooser; no value when the user cancels. The answer is an absolute path.
class IFileChooser {
public:
    virtual ~IFileChooser() = default;
    virtual std::optional<std::string> ChooseFile(const FileDialogRequest& request) = 0;
};

// "Every view of the document redraws."
class IViewNotifier {
public:
    virtual ~IViewNotifier() = default;
    virtual void UpdateAllViews() = 0;
};

struct ProcessRequest {
    std::string program;                 // a path ("./lumdex") or a name looked up on PATH
    std::vector<std::string> arguments;
    std::string workingDirectory;        // absolute
};

struct ProcessOutcome {
    enum class Status { Finished, FailedToStart, Crashed, Cancelled };
    Status status = Status::FailedToStart;
    int exitCode = -1;
    std::string errorText;               // why it did not start, or the signal it died of
    std::vector<std::string> lastLines;  // the last lines it printed, where it says why it failed
};

// Starts a child process without a shell and waits for it. A window implementation shows
// progress and offers Cancel while keeping the program repainting.
class IProcessRunner {
public:
    virtual ~IProcessRunner() = default;
    virtual ProcessOutcome Run(const ProcessRequest& request) = 0;
};

// The set a document carries; null members fall back to silent defaults.
struct CDocServices {
    IMessageSink* messages = nullptr;
    IFileChooser* files = nullptr;
    IViewNotifier* views = nullptr;
    IProcessRunner* processes = nullptr;
};
