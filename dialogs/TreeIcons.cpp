#include "TreeIcons.h"

#include <QBitmap>
#include <QString>

#include "LayerTree.h"

namespace {

const char* const kIconFiles[TreeImage::kCount] = {
    ":/dialogs/icons/tree_131_folder_closed.xpm", ":/dialogs/icons/tree_132_folder_open.xpm",
    ":/dialogs/icons/tree_134_constants.xpm",     ":/dialogs/icons/tree_138_cyan.xpm",
    ":/dialogs/icons/tree_139_yellow.xpm",        ":/dialogs/icons/tree_140_green.xpm",
    ":/dialogs/icons/tree_142_properties.xpm",    ":/dialogs/icons/tree_143_magenta.xpm",
    ":/dialogs/icons/tree_144_blue.xpm",          ":/dialogs/icons/tree_148_material.xpm",
    ":/dialogs/icons/tree_133_page.xpm",
};

}  // namespace

// The resources live in a static library; nothing else would pull them into the program.
// (Outside any namespace, as the resource initialiser's declaration requires.)
static void InitTreeIconResources() {
    Q_INIT_RESOURCE(TreeIcons);
}

QList<QPixmap> LoadTreeIconList() {
    InitTreeIconResources();
    QList<QPixmap> icons;
    for (const char* file : kIconFiles) {
        QPixmap picture(QString::fromLatin1(file));
        if (picture.isNull()) {
            picture = QPixmap(kTreeIconWidth, kTreeIconHeight);
            picture.fill(Qt::white);
        }
        picture.setMask(picture.createMaskFromColor(Qt::white));
        icons.append(picture);
    }
    return icons;
}
