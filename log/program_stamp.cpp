// The program's name and version for its log's first line, set before main. Built for each
// packaged program with SURGE_PROGRAM its name (surge_stamp_version in cmake/version.cmake).
#include "log/log.h"
#include "version/version.h"

namespace {

[[maybe_unused]] const bool STAMPED =
    (surge_log::SetProgram(SURGE_PROGRAM " " SURGE_VERSION_TEXT), true);

}  // namespace
