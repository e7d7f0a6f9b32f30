# The version: project(... VERSION) in the root CMakeLists.txt, and the git commit built, read at
# every build. Included from the root, it defines
#   surge_version          an INTERFACE library: #include "version/version.h" gives
#                          SURGE_VERSION ("1.0.0"), SURGE_COMMIT ("abc1234", "abc1234-dirty" with
#                          changed tracked files, "unknown" outside git) and SURGE_VERSION_TEXT
#                          ("1.0.0 (abc1234)");
#   surge_stamp_version(target)  the program's name and version in its log's first line.
# Run as a script (cmake -P) it writes those files, each only when its content changes, so that
# a build at the same commit rebuilds nothing. It also writes version.cmake for the package:
# SURGE_PACKAGE_VERSION "1.0.0+N.gabc1234" (N commits: dpkg orders snapshots by it; ".dirty"
# with changed files; "1.0.0" outside git), SURGE_COMMIT and SURGE_COMMIT_TIME (seconds since
# 1970).

if(CMAKE_SCRIPT_MODE_FILE)
  set(commit unknown)
  set(package_version ${VERSION})
  set(commit_time "")
  execute_process(COMMAND git -C ${SOURCE_DIR} rev-parse --short=7 HEAD
    OUTPUT_VARIABLE hash OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed ERROR_QUIET)
  if(NOT failed)
    execute_process(COMMAND git -C ${SOURCE_DIR} rev-list --count HEAD
      OUTPUT_VARIABLE count OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    execute_process(COMMAND git -C ${SOURCE_DIR} log -1 --format=%ct
      OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    # A file touched but not changed is no change: refresh the index's view first.
    execute_process(COMMAND git -C ${SOURCE_DIR} update-index -q --refresh
      OUTPUT_QUIET ERROR_QUIET)
    execute_process(COMMAND git -C ${SOURCE_DIR} diff-index --quiet HEAD --
      RESULT_VARIABLE changed OUTPUT_QUIET ERROR_QUIET)
    set(commit ${hash})
    set(package_version ${VERSION}+${count}.g${hash})
    if(changed)
      string(APPEND commit -dirty)
      string(APPEND package_version .dirty)
    endif()
  endif()
  file(CONFIGURE OUTPUT ${OUTPUT_DIR}/version/version.h @ONLY CONTENT
"// Written by cmake/version.cmake at build time.
#pragma once

#define SURGE_VERSION \"${VERSION}\"
#define SURGE_COMMIT \"${commit}\"
#define SURGE_VERSION_TEXT \"${VERSION} (${commit})\"
")
  file(CONFIGURE OUTPUT ${OUTPUT_DIR}/version/version.cmake @ONLY CONTENT
"set(SURGE_PACKAGE_VERSION \"${package_version}\")
set(SURGE_COMMIT \"${commit}\")
set(SURGE_COMMIT_TIME \"${commit_time}\")
")
  return()
endif()

set(SURGE_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
set(SURGE_VERSION_FILE ${SURGE_GENERATED_DIR}/version/version.cmake)
add_custom_target(surge_version_files ALL
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DOUTPUT_DIR=${SURGE_GENERATED_DIR}
    -DVERSION=${PROJECT_VERSION} -P ${CMAKE_CURRENT_LIST_FILE}
  BYPRODUCTS ${SURGE_GENERATED_DIR}/version/version.h ${SURGE_VERSION_FILE}
  COMMENT "Reading the commit"
  VERBATIM)

add_library(surge_version INTERFACE)
target_include_directories(surge_version INTERFACE ${SURGE_GENERATED_DIR})
add_dependencies(surge_version surge_version_files)


# The version only the programs that carry it include: a new commit relinks them, not the tests.
# surge_stamp_version(target): the program's name and version in its log's first line.
function(surge_stamp_version target)
  set(stamp surge_stamp_${target})
  surge_folder_root(log log_root)
  add_library(${stamp} OBJECT ${log_root}/log/program_stamp.cpp)
  target_include_directories(${stamp} PRIVATE ${log_root})
  target_compile_definitions(${stamp} PRIVATE SURGE_PROGRAM="${target}")
  target_link_libraries(${stamp} PRIVATE surge_log surge_version)
  set_target_properties(${stamp} PROPERTIES AUTOMOC OFF)
  target_link_libraries(${target} PRIVATE ${stamp} surge_log)
endfunction()
