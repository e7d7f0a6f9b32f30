// Reading panels out of the panel resource (a Qt Designer document).
#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "toolkit/internal.h"

namespace toolkit_internal {

// Builds the panel with `resource_id` from `file` (or from the installed copy: panel_resource.h)
// as a window of its own, or returns nullptr and a negative status (-1 file unreadable, -2 no
// such panel).
std::unique_ptr<QWidget> BuildPanel(const char* file, int resource_id, int* status);

// The control kind a widget of the resource stands for.
Kind KindOf(QWidget* widget);
const char* KindName(Kind kind);

}  // namespace toolkit_internal
