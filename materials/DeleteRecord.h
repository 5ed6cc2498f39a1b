#pragma once
// Asks before the material table is changed (form 136).

#include "ConfirmForm.h"

class CDeleteRecord : public CConfirmForm {
public:
    static constexpr const char* kText = "Delete this record from the material set?";
    explicit CDeleteRecord(QWidget* parent = nullptr) : CConfirmForm(parent, kText, QSize(186, 84)) {}
};
