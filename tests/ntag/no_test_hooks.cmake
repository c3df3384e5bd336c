# cmake -DSHIPPED=ntag -DTESTABLE=ntag_fault -P no_test_hooks.cmake
# Fails when the shipped ntag carries the text of a test hook, or the test build does not
# (then this check could not see one).
set(hook_text "[Tt][Ee][Ss][Tt] [Hh][Oo][Oo][Kk]")
file(STRINGS "${SHIPPED}" shipped REGEX "${hook_text}")
if(shipped)
  message(FATAL_ERROR "${SHIPPED} carries test hooks: ${shipped}")
endif()
file(STRINGS "${TESTABLE}" testable REGEX "${hook_text}")
if(NOT testable)
  message(FATAL_ERROR "no test hook text found in ${TESTABLE}; the check would miss one")
endif()
