#include "SolverOptions.h"

#include <QSettings>
#include <QString>
#include <QVariant>

#include "SolverRun.h"

int ElementOrderFromSetting(const QVariant& value) {
    bool ok = false;
    const int order = value.toString().trimmed().toInt(&ok);
    return ok && IsFixedElementOrder(order) ? order : kAutomaticOrder;
}

int ReadElementOrder(const QSettings& settings) {
    return ElementOrderFromSetting(settings.value(QString::fromLatin1(kElementOrderKey)));
}

void WriteElementOrder(QSettings& settings, int order) {
    settings.setValue(QString::fromLatin1(kElementOrderKey), IsFixedElementOrder(order) ? order : kAutomaticOrder);
}
