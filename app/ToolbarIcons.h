#pragma once
// The pictures of toolbar 128 (16 x 15 pixels) and the program icon, drawn in code so they stay
// crisp and need no image files. Composite buttons are blue, FGM buttons magenta, with the same
// three shapes (open folder, node diagram, circular sign with "!"), so the families read apart.

#include <QColor>
#include <QIcon>
#include <QImage>

constexpr int kToolbarIconWidth = 16;
constexpr int kToolbarIconHeight = 15;

QColor CompositeIconColor();
QColor FGMIconColor();

// The button picture of a toolbar command; a null image for an id without a button.
QImage ToolbarImage(int id);
QIcon ToolbarIcon(int id);
// The application icon (main window, About box): a layered plate with its response curve.
QIcon ApplicationIcon();
QImage ApplicationImage(int size);
