#include "toolkit/repaint.h"

#include <QCoreApplication>

void RepaintPanels() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}
