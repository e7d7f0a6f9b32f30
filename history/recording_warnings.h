// The recording's warnings to the operator: each shown after the running cycle, in the order told.
#pragma once

#include <string>

#include "values/tell_once.h"

namespace history {

void Tell(const std::string& text);
// Told only where `once` is due.
void Tell(TellOnce* once, const std::string& text);

}  // namespace history
