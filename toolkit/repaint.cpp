#include "toolkit/repaint.h"

#include <QCoreApplication>

namespace {

bool input_held = false;

}  // namespace

void RepaintPanels() {
    if (QCoreApplication::instance() != nullptr) {
        input_held = true;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

void MarkInputHeld() {
    input_held = true;
}

bool TakeInputHeld() {
    const bool held = input_held;
    input_held = false;
    return held;
}
