#include <QCursor>
#include <QGuiApplication>

#include "toolkit/repaint.h"
#include "toolkit/toolkit.h"

int SetMouseCursor(int cursor) {
    if (cursor != VAL_DEFAULT_CURSOR && cursor != VAL_HOUR_GLASS_CURSOR) {
        return -1;
    }
    while (QGuiApplication::overrideCursor() != nullptr) {
        QGuiApplication::restoreOverrideCursor();
    }
    if (cursor == VAL_HOUR_GLASS_CURSOR) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    RepaintPanels();
    return 0;
}
