// The main window's output: saving and printing the composite.
#include "unitMain.h"

#include "ui_unitMain.h"

void TFormMain::btnImagenSaveClick() {
    if (Photo.isNull())
        return;
}

void TFormMain::btnPrintClick() {
    if (Photo.isNull())
        return;
}
