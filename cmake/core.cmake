# The station's core below Qt, alone: the log, the master store, the tester's reply decoders, the
# export file writer, the toolkit's and the port library's system side, the process-control
# statistics and the wave's features and judgement, with their tests. This is what the Windows build (cmake/mingw-w64.cmake,
# scripts/test-windows) builds and runs.
enable_testing()

add_subdirectory(log)
add_subdirectory(toolkit)
add_subdirectory(rs232)
add_subdirectory(quality)
add_subdirectory(values)
add_subdirectory(wave)

file(GLOB store_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/master/store*.cpp)
# The step of a replacement: the tests link the hook (tests/core).
list(FILTER store_sources EXCLUDE REGEX "store_step")
add_library(surge_core STATIC
  state/surge_state.cpp
  ${store_sources}
  instrument/setup_reply.cpp
  instrument/result_reply.cpp
  instrument/waveform.cpp
  export/excel_file.cpp
)
target_include_directories(surge_core PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(surge_core PUBLIC surge_toolkit_core surge_rs232_core PRIVATE surge_log)

# GoogleTest from Debian's sources, built with this build's compiler.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_subdirectory(tests/core)
