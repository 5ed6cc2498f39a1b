#pragma once
// Asks before the material table is changed (form 137).

#include "ConfirmForm.h"

class CUpdateRecord : public CConfirmForm {
public:
    static constexpr const char* kText = "Update this record in the material set?";
    explicit CUpdateRecord(QWidget* parent = nullptr) : CConfirmForm(parent, kText, QSize(186, 76)) {}
};
