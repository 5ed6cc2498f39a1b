#pragma once
// The user's own settings store ("Local AppWizard-Generated Applications" / "Pemblar"): recent
// files, print-preview pages, and the element order new projects start with.

#include <memory>

class QSettings;

inline constexpr const char* kUserSettingsKey = "Local AppWizard-Generated Applications";
inline constexpr const char* kUserSettingsApp = "Pemblar";

std::unique_ptr<QSettings> OpenUserSettings();
// The element order the user chose last (0 automatic): where every new document starts.
int UserElementOrder();
void KeepUserElementOrder(int order);
