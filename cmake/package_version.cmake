# Read by CPack when it makes the package: the version with the commit, as this build read it.
include(${CPACK_SURGE_VERSION_FILE})
set(CPACK_PACKAGE_VERSION ${SURGE_PACKAGE_VERSION})
set(CPACK_DEBIAN_PACKAGE_VERSION ${SURGE_PACKAGE_VERSION})
