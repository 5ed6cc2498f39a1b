#pragma once
// The solver options kept for the user across sessions: the element order through the
// thickness, stored in the per-user settings under "Solver/ElementOrder" as a whole number,
// 0 for automatic (the solvers choose per layer) and 1..kMaxElementOrder for a fixed order.

class QSettings;
class QVariant;

inline constexpr const char* kElementOrderKey = "Solver/ElementOrder";

// A stored value as an element order. Anything but a whole number from 1 to the solvers' limit
// (a hand-edited file, a value from a later version) reads as automatic, the safe choice.
int ElementOrderFromSetting(const QVariant& value);
int ReadElementOrder(const QSettings& settings);
// Keeps order, automatic for one the solvers would refuse.
void WriteElementOrder(QSettings& settings, int order);
