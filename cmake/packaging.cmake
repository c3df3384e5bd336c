# What makes the shipped programs reproducible: no build folder's path may
# reach a binary (debug info, __FILE__, the build id computed over both), so
# two clones in two folders build the same bytes. The time stamps come from
# SOURCE_DATE_EPOCH, which scripts/package sets from the last commit.
add_compile_options(
  -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.
  -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
# A Windows linker writes the time of the link into the program's header.
if(WIN32)
  add_link_options(-Wl,--no-insert-timestamp)
endif()
