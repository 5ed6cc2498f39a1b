#include "UserSettings.h"

#include <QSettings>

#include "SolverOptions.h"

std::unique_ptr<QSettings> OpenUserSettings() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, kUserSettingsKey,
                                       kUserSettingsApp);
}

int UserElementOrder() {
    return ReadElementOrder(*OpenUserSettings());
}

void KeepUserElementOrder(int order) {
    auto settings = OpenUserSettings();
    WriteElementOrder(*settings, order);
    settings->sync();
}
