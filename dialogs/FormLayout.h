#pragma once
// Building blocks of the parameter forms' layouts: labelled edits, groups, the load-type and
// direction radio groups, the structure model, the arrow buttons and OK / Cancel.

#include <QSize>
#include <array>
#include <functional>
#include <initializer_list>

class CRadioSet;
class QBoxLayout;
class QDialog;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLayout;
class QLineEdit;
class QVBoxLayout;
class QWidget;

namespace FormLayout {

QLineEdit* Edit(QWidget* parent, int id);
QLabel* Label(QWidget* parent, const char* text, QWidget* buddy = nullptr);
QGroupBox* Group(QWidget* parent, const char* title);
QHBoxLayout* Row(std::initializer_list<QWidget*> widgets);

// A heading with the fields "from" and "to" one above the other.
QLayout* TimeWindow(QWidget* parent, const char* heading, QLineEdit* from, QLineEdit* to);

// "Type of the line load": ids of the buttons for codes 1 to 5 ("H(t)", "Deta(t)", "Exp(iwt)",
// "Any f(t)", "Sin(wt)"); codes 1-3 run down the left column, 4-5 down the right one.
QGroupBox* LoadTypeGroup(QWidget* parent, CRadioSet& set, const std::array<int, 5>& ids);

// "Direction": the "Load :" column (1036-1038, codes 1-3) and the "Output :" column
// (1042-1044). With captions the buttons stand beside "X", "Y", "Z" and "U", "V", "W".
QGroupBox* DirectionGroup(QWidget* parent, CRadioSet& load, CRadioSet& output, bool captions);

// "Structure Model": "Plate" (1059, code 1) disables the radius field, "Shell" (1060, code 0)
// enables it; "Radius" with its field.
QGroupBox* StructureGroup(QWidget* parent, CRadioSet& set, QLineEdit* radius);

// "----->" (1025) and, lower down, "<-----" (1026).
QVBoxLayout* ArrowButtons(QWidget* parent, std::function<void()> add,
                          std::function<void()> remove);

// "OK" (1, the default button) and "Cancel" (2).
QHBoxLayout* OkCancel(QDialog* dialog);

// A size given in dialog units of the form's font.
QSize DialogUnits(const QWidget* widget, int width, int height);

}  // namespace FormLayout
