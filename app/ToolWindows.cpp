#include "ToolWindows.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QBoxLayout>
#include <QPushButton>
#include <QVariant>
#include <QWidget>

#include <algorithm>

namespace {

constexpr const char* kToolWindowProperty = "pemblarToolWindow";

QAccessibleInterface* ToolWindowAccessible(const QString&, QObject* object) {
    if (object && object->isWidgetType() && object->property(kToolWindowProperty).toBool())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

}  // namespace

QRect ToolWindowGeometry(const QRect& area, const QRect& screen, QSize size, int index, int step) {
    const QRect room = area.intersected(screen).isEmpty() ? screen : area.intersected(screen);
    // Room for a few steps, so that windows opened one after another stand apart.
    const int margin = 4 * std::max(step, 0);
    size = size.boundedTo(QSize(std::max(room.width() - margin, room.width() / 2),
                                std::max(room.height() - margin, room.height() / 2)));
    // Steps while the window still fits below and to the right; then from the top again.
    const int fit = std::min(room.width() - size.width(), room.height() - size.height());
    const int steps = step > 0 ? std::max(1, fit / step + 1) : 1;
    const int offset = (index % steps) * step;
    return QRect(room.topLeft() + QPoint(offset, offset), size);
}

QString DistinctTitle(const QString& title, const std::vector<QString>& taken) {
    QString candidate = title;
    for (int n = 2; std::find(taken.begin(), taken.end(), candidate) != taken.end(); ++n)
        candidate = QStringLiteral("%1 (%2)").arg(title).arg(n);
    return candidate;
}

void MarkAsToolWindow(QWidget* window) {
    static const bool installed = [] {
        QAccessible::installFactory(ToolWindowAccessible);
        return true;
    }();
    (void)installed;
    window->setProperty(kToolWindowProperty, true);
    // An interface made before (for a window already shown) is made again, now as a window.
    if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(window);
        made && made->role() != QAccessible::Window)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

QPushButton* AddToolButton(QWidget* owner, QBoxLayout* row, const QString& text, const char* name,
                           const QString& tip, std::function<void()> clicked) {
    auto* b = new QPushButton(text, owner);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(tip);
    QObject::connect(b, &QPushButton::clicked, owner, std::move(clicked));
    row->addWidget(b);
    return b;
}
