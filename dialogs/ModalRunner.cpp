#include "ModalRunner.h"

#include <QDialog>

int RunModal(IModalRunner* runner, QDialog& dialog) {
    return runner ? runner->RunModal(dialog) : dialog.exec();
}
