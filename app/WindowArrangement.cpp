#include "WindowArrangement.h"

#include <algorithm>

namespace {

// How many steps fit before a window of size `size` would leave the area.
int StepsThatFit(const QSize& area, const QSize& size, int step) {
    if (step <= 0)
        return 1;
    const int free = std::min(area.width() - size.width(), area.height() - size.height());
    return std::max(1, free / step + 1);
}

}  // namespace

QRect DefaultChildGeometry(const QSize& area, int index, int step) {
    const QSize size(std::max(1, area.width() * 3 / 4), std::max(1, area.height() * 3 / 4));
    const int slot = std::max(0, index) % StepsThatFit(area, size, step);
    return QRect(QPoint(slot * step, slot * step), size);
}

std::vector<QRect> CascadeGeometries(const QSize& area, int count, int step) {
    std::vector<QRect> places;
    if (count <= 0)
        return places;
    const QSize least(std::max(1, area.width() / 2), std::max(1, area.height() / 2));
    const int room = std::max(0, step) * (count - 1);
    const QSize size(std::max(least.width(), area.width() - room), std::max(least.height(), area.height() - room));
    const int fitting = StepsThatFit(area, size, step);
    for (int i = 0; i < count; ++i) {
        const int slot = i % fitting;
        places.emplace_back(QPoint(slot * step, slot * step), size);
    }
    return places;
}
