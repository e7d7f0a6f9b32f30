# The Debian package surge_VERSION_amd64.deb (CPack's DEB generator): the programs, the panel
# resource, the launcher, the desktop entry and icon, the autostart entry, the plant view's web
# folder, settings file and systemd unit, the manual pages, the copyright and changelog. `cmake --build BUILD --target package` or scripts/package.

set(SURGE_PACKAGE_MAINTAINER
  "Surge station maintainers <maintainers@users.noreply.c-seed-e2e3b134.example>"
  CACHE STRING "The package's maintainer, name and address")

# The programs the package carries, each installed and stamped with the version where the build
# has it. A new tool: its name here, and its manual page in packaging/man/NAME.1.
set(SURGE_PACKAGED_TOOLS surge surge-sim surge-users surge-audit surge-report surge-plant)

set(package_dir ${CMAKE_BINARY_DIR}/package-files)
set(man_pages "")
foreach(tool IN LISTS SURGE_PACKAGED_TOOLS)
  if(NOT TARGET ${tool})
    continue()
  endif()
  surge_stamp_version(${tool})
  install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  if(EXISTS ${CMAKE_SOURCE_DIR}/packaging/man/${tool}.1)
    list(APPEND man_pages ${tool})
  endif()
endforeach()
list(APPEND man_pages surge-station)

# The launcher runs the installed station in its working folder.
set(SURGE_INSTALLED_STATION ${CMAKE_INSTALL_FULL_BINDIR}/surge)
configure_file(${CMAKE_SOURCE_DIR}/packaging/surge-station.in ${package_dir}/surge-station @ONLY)
install(PROGRAMS ${package_dir}/surge-station DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES app/surge.uir packaging/surge-autostart.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/surge)
install(FILES packaging/surge.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/surge.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES packaging/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/surge)

# The plant view: its pages' scripts and style with uPlot (scripts/web-deps puts it there; its
# licence goes into the copyright), its settings file where surge-plant looks by default, a
# conffile the package's postinst gives to the group surge-plant, and its unit, not enabled.
install(DIRECTORY plant/web/ DESTINATION ${CMAKE_INSTALL_DATADIR}/surge/plant
  PATTERN LICENSE EXCLUDE)
install(FILES packaging/plant/plant.ini DESTINATION /etc/surge)
install(FILES packaging/plant/surge-plant.service DESTINATION /lib/systemd/system)

# Made at build time: the icon's picture, the compressed manual pages and the changelog.
set(made ${package_dir}/surge.png ${package_dir}/changelog.gz)
add_custom_command(OUTPUT ${package_dir}/surge.png
  COMMAND rsvg-convert -w 256 -h 256 -o ${package_dir}/surge.png
    ${CMAKE_SOURCE_DIR}/packaging/surge.svg
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/surge.svg
  VERBATIM)
install(FILES ${package_dir}/surge.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
foreach(page IN LISTS man_pages)
  set(out ${package_dir}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${CMAKE_SOURCE_DIR}/packaging/man/${page}.1 -DOUTPUT=${out}
      -P ${CMAKE_SOURCE_DIR}/cmake/package_files.cmake
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/man/${page}.1 ${CMAKE_SOURCE_DIR}/cmake/package_files.cmake
    VERBATIM)
  list(APPEND made ${out})
  install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_command(OUTPUT ${package_dir}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -DVERSION_FILE=${SURGE_VERSION_FILE} -DOUTPUT=${package_dir}/changelog.gz
    "-DMAINTAINER=${SURGE_PACKAGE_MAINTAINER}" -P ${CMAKE_SOURCE_DIR}/cmake/package_files.cmake
  DEPENDS ${SURGE_VERSION_FILE} ${CMAKE_SOURCE_DIR}/cmake/package_files.cmake
  VERBATIM)
install(FILES ${package_dir}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/surge)
add_custom_target(surge_package_files ALL DEPENDS ${made})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME surge)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_CONTACT ${SURGE_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "operator's station of an impulse winding tester")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "The station talks to the impulse (surge) winding tester over RS-232: it\n\
registers masters, runs inspections and shows their verdict, keeps the\n\
inspection history and exports the last inspection to a spreadsheet.\n\
surge-sim simulates the tester on a pseudo-terminal.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the station loads at run time, which dpkg-shlibdeps cannot see in the programs: the
# Korean font, the Qt SQL drivers of the history and the Qt platform plugins.
# adduser makes the plant view's system user.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "fonts-nanum, libqt6sql6-sqlite, libqt6sql6-psql, qt6-qpa-plugins, adduser")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/plant/conffiles
  ${CMAKE_SOURCE_DIR}/packaging/plant/postinst ${CMAKE_SOURCE_DIR}/packaging/plant/prerm
  ${CMAKE_SOURCE_DIR}/packaging/plant/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
  GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)
set(CPACK_THREADS 2)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The version with the commit, read when the package is made (cmake/package_version.cmake).
set(CPACK_SURGE_VERSION_FILE ${SURGE_VERSION_FILE})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/package_version.cmake)
include(CPack)
