# GoogleTest is built from Debian's sources with our own compiler and flags,
# so the native, sanitizer and MinGW builds all get a matching copy.
include(CTest)
if(BUILD_TESTING)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  include(GoogleTest)
endif()

# mivora_add_gtest(NAME SOURCES ... LIBS ... [LOCK NAME]): one test binary. Natively every
# test case becomes a CTest test; under Wine each binary is one CTest test,
# because starting Wine once per case would dominate the run.
function(mivora_add_gtest name)
  cmake_parse_arguments(arg "" "LOCK" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBS} GTest::gtest_main mivora_warnings)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  else()
    # LOCK: tests that share something of the machine (an X server's display numbers) run
    # one at a time.
    set(lock)
    if(arg_LOCK)
      set(lock RESOURCE_LOCK ${arg_LOCK})
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 300 ${lock})
  endif()
endfunction()
