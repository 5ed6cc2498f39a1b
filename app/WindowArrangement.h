#pragma once
// Where document windows go when they are not maximised: the place a new window is restored
// to, and the overlapping layout of Cascade. Pure geometry, so it is tested without windows.

#include <QRect>
#include <QSize>
#include <vector>

// The restored place of the index-th new window in an area: three quarters of the area across
// and down, stepped down and right by one title bar per window and starting again at the top
// left when the next step would leave the area.
QRect DefaultChildGeometry(const QSize& area, int index, int step);

// Cascade: count windows, each one title bar (step) below and right of the one before, all of
// one size that leaves room for the steps, but never smaller than half the area (a long row
// of windows starts again at the top left instead). The last window is the front one.
std::vector<QRect> CascadeGeometries(const QSize& area, int count, int step);
