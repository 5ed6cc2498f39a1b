#pragma once
// The "Study..." command: the form, the study file beside the project, the run of
// pemblar-study through the progress window (Cancel stops it; on Slurm it also cancels the
// jobs), and the results window.

#include <functional>
#include <string>

class COstrelDoc;
class QDialog;
class QString;
class QWidget;
class CStudyWindow;

struct StudyLaunchHooks {
    std::function<int(QDialog&)> runForm;   // null: exec(); tests play the user here
    std::function<int(const QString& text)> ask;  // the exists-already question; null: a message box
};

// Returns the results window it opened (owned by Qt, deleted on close), or null.
// elementOrder: the solvers' --order for every case (0 leaves the choice to them).
CStudyWindow* OnStudy(COstrelDoc& doc, QWidget* parent, const StudyLaunchHooks& hooks = {}, int elementOrder = 0);

// Where pemblar-study is: $PEMBLAR_STUDY when set, else beside the program, in the build tree's
// study/, or on PATH.
std::string StudyProgramPath();
