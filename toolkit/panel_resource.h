// Which file a panel resource is read from. The installed station reads its panel resource from
// the working directory only when the file there is this station's (a Qt Designer document);
// otherwise, as for a legacy station's own "surge.uir", from the installed copy, and the file
// in the working directory is left as it is.
#pragma once

#include <string>

namespace toolkit_internal {

struct ResourcePlaces {
    std::string program_dir;        // the running program's folder
    std::string installed_bin_dir;  // where the package installs the programs
    std::string installed_dir;      // where it installs the panel resource
};

// This program's places; the installed ones are compiled in (CMAKE_INSTALL_FULL_BINDIR and
// CMAKE_INSTALL_FULL_DATADIR/surge).
ResourcePlaces ProgramPlaces();

// `file` itself, unless the program runs from installed_bin_dir, `file` is a relative name and
// no Qt Designer document of that name lies in the working directory: then installed_dir/file.
std::string PanelResourceFile(const std::string& file, const ResourcePlaces& places);

}  // namespace toolkit_internal
