# Runs the package fuzzer for a bounded time from a corpus seeded with the
# real package; any crash, leak or sanitizer report fails the test.
file(MAKE_DIRECTORY ${CORPUS})
file(COPY_FILE ${SEED} ${CORPUS}/real_package ONLY_IF_DIFFERENT)
execute_process(
  COMMAND ${FUZZER} -max_total_time=15 -rss_limit_mb=1024 -timeout=10 -print_final_stats=1 ${CORPUS}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the fuzzer found a problem (exit ${result})")
endif()
