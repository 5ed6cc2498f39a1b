#pragma once
// The "Study..." and "Open study..." commands: the form (filled with what it showed last, or
// from a study file), the study file beside the project (never replaced unasked when it says
// something else), the run of pemblar-study through the progress window (Cancel stops it; on
// Slurm it also cancels the jobs), and the results window.

#include <functional>
#include <optional>
#include <string>

#include "DocumentStudy.h"

class COstrelDoc;
class IModalRunner;
class QWidget;
class CStudyWindow;

struct StudyLaunchHooks {
    // Shows the form, the questions (an existing study file or study; a question box answered
    // QMessageBox::Yes, No or Cancel) and the results window's export dialogs; null: exec().
    IModalRunner* modals = nullptr;
    // Shows a case's wave field (its file and a window title) in the program's wave-field window.
    std::function<void(const std::string& path, const std::string& title)> openField;
};

// What the form showed last for a document, offered again the next time.
struct StudyFormMemory {
    std::optional<DocumentStudyChoice> choice;
    std::optional<StudyDefinition> base;  // the study file "Open study..." read
};

// Returns the results window it made (owned by Qt, deleted on close), or null. The window is not
// shown yet: the caller places it first, so that it never appears in one place and jumps to another.
// elementOrder: the solvers' --order for every case (0 leaves the choice to them).
CStudyWindow* OnStudy(COstrelDoc& doc, QWidget* parent, const StudyLaunchHooks& hooks = {}, int elementOrder = 0,
                      StudyFormMemory* memory = nullptr);

// Asks for a study file (doc.m_services.files), makes it what the form shows next, and opens
// its results window when it has results, or else the form to run it.
CStudyWindow* OnOpenStudy(COstrelDoc& doc, QWidget* parent, const StudyLaunchHooks& hooks, int elementOrder,
                          StudyFormMemory& memory);

// The results window of a started study, not yet shown; null (after a message, unless
// quietWhenEmpty) when it has none yet.
CStudyWindow* ShowStudyResults(COstrelDoc& doc, const std::string& studyDir, QWidget* parent, bool quietWhenEmpty,
                               const StudyLaunchHooks& hooks = {});

// Where pemblar-study is: $PEMBLAR_STUDY when set, else beside the program, in the build tree's
// study/, or on PATH.
std::string StudyProgramPath();
