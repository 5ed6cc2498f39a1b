#pragma once
// The icon list of the parameter forms' "Output" trees: eleven 16 x 15 pictures, white being
// transparent, in the order of TreeImage (LayerTree.h).

#include <QList>
#include <QPixmap>

inline constexpr int kTreeIconWidth = 16;
inline constexpr int kTreeIconHeight = 15;

// Built anew on every call, as each opening of a form builds its own list.
QList<QPixmap> LoadTreeIconList();
