# The include root of a library below the station: a folder in the build tree that holds only a
# link to the library's own source folder, so that `#include "toolkit/toolkit.h"` reads as it
# does everywhere while the station's folders (app/, master/...) are not there to be included.
# surge_include_root(target folder): `target` includes "<folder>/..." and passes that on.
function(surge_include_root target folder)
  set(root ${CMAKE_BINARY_DIR}/include_roots/${folder})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${root})
endfunction()
