# One warning set for every target of ours; third-party code is built without it.
add_library(mivora_warnings INTERFACE)
target_compile_options(mivora_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Werror=return-type)

if(WIN32)
  # Unicode Win32 API everywhere, no min/max macros, Windows 7 as the floor.
  add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()
