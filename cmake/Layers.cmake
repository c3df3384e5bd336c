# Each layer of src/, and each room of ntag/, is an include root of its own in
# the build folder (include/LAYER/LAYER links to src/LAYER), and a library
# exports only its layer's root. So a target sees the headers of its own layer
# and of the layers it links, and an include of a layer above fails to
# compile, while sources keep including "layer/file.hpp". tests/layers_check.sh
# judges what the compiler cannot: platform folders within a layer, the
# headers a layer offers those above it, and system headers.

# mivora_layer_headers(TARGET PATH [FOLDER]): TARGET exports the root that
# holds FOLDER/PATH (a layer's folder, or one header that stands alone);
# FOLDER is src unless given (ntag's rooms are layers of ntag/).
function(mivora_layer_headers target path)
  set(folder src)
  if(ARGC GREATER 2)
    set(folder ${ARGV2})
  endif()
  get_filename_component(root_name ${path} NAME_WE)
  set(root ${CMAKE_BINARY_DIR}/include/${root_name})
  get_filename_component(parent ${root}/${path} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder}/${path} ${root}/${path} SYMBOLIC)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# mivora_portable_library(TARGET): TARGET links the project's own libraries
# only, no toolkit and no platform library; checked once all targets exist.
function(mivora_portable_library target)
  set_property(GLOBAL APPEND PROPERTY MIVORA_PORTABLE_LIBRARIES ${target})
endfunction()

function(mivora_check_portable_libraries)
  get_property(targets GLOBAL PROPERTY MIVORA_PORTABLE_LIBRARIES)
  foreach(target ${targets})
    get_target_property(links ${target} LINK_LIBRARIES)
    if(NOT links)
      continue()
    endif()
    foreach(link ${links})
      if(NOT link MATCHES "^mivora_" OR NOT TARGET ${link})
        message(FATAL_ERROR "${target} is portable but links ${link}")
      endif()
    endforeach()
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL mivora_check_portable_libraries)
