#pragma once
// Asks before the material table is changed (form 135).

#include "ConfirmForm.h"

class CAddRecord : public CConfirmForm {
public:
    // Two blanks before "to": the form has always read so.
    static constexpr const char* kText = "Add this new record  to the material set?";
    explicit CAddRecord(QWidget* parent = nullptr) : CConfirmForm(parent, kText, QSize(186, 78)) {}
};
