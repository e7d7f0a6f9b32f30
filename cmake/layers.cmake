# The walls between the layers. A library's files are compiled from a folder of the build tree
# that holds its own folder alone, file by file (build/folder_roots/<folder>/<folder>/...: a link
# to each source file), so they find no other folder, not even by a relative path
# ("../app/surge.h" is not there). What the library's users may include is a second root that
# holds links to its public headers only (build/public_roots/<library>/<folder>/...).

# The root of `folder`, made once per configuration: a real folder of links to its files.
function(surge_folder_root folder out)
  set(root ${CMAKE_BINARY_DIR}/folder_roots/${folder})
  get_property(made GLOBAL PROPERTY surge_folder_root_${folder})
  if(NOT made)
    file(REMOVE_RECURSE ${root})
    file(GLOB_RECURSE files RELATIVE ${CMAKE_SOURCE_DIR}/${folder} CONFIGURE_DEPENDS
      ${CMAKE_SOURCE_DIR}/${folder}/*.h ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
    foreach(file ${files})
      get_filename_component(dir ${root}/${folder}/${file} DIRECTORY)
      file(MAKE_DIRECTORY ${dir})
      file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder}/${file} ${root}/${folder}/${file} SYMBOLIC)
    endforeach()
    set_property(GLOBAL PROPERTY surge_folder_root_${folder} TRUE)
  endif()
  set(${out} ${root} PARENT_SCOPE)
endfunction()

# surge_library(name folder [OBJECT] SOURCES file... [PUBLIC_HEADERS header...]): a static (or
# object) library of `folder`'s files (paths relative to the folder), compiled from the folder's
# root; its users include "<folder>/<header>" for the public headers alone.
function(surge_library name folder)
  cmake_parse_arguments(arg "OBJECT" "" "SOURCES;PUBLIC_HEADERS" ${ARGN})
  surge_folder_root(${folder} root)
  list(TRANSFORM arg_SOURCES PREPEND ${root}/${folder}/)
  if(arg_OBJECT)
    add_library(${name} OBJECT ${arg_SOURCES})
  else()
    add_library(${name} STATIC ${arg_SOURCES})
  endif()
  target_include_directories(${name} PRIVATE ${root})
  set(public ${CMAKE_BINARY_DIR}/public_roots/${name})
  file(REMOVE_RECURSE ${public})
  file(MAKE_DIRECTORY ${public}/${folder})
  foreach(header ${arg_PUBLIC_HEADERS})
    get_filename_component(dir ${public}/${folder}/${header} DIRECTORY)
    file(MAKE_DIRECTORY ${dir})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder}/${header} ${public}/${folder}/${header} SYMBOLIC)
  endforeach()
  target_include_directories(${name} INTERFACE ${public})
  set_target_properties(${name} PROPERTIES AUTOMOC OFF)
endfunction()

# The sources of `folder` (relative to it) that match `patterns`, for a library of them all.
function(surge_folder_sources out folder)
  file(GLOB sources RELATIVE ${CMAKE_SOURCE_DIR}/${folder} CONFIGURE_DEPENDS ${ARGN})
  set(${out} ${sources} PARENT_SCOPE)
endfunction()
