# The central database under Wine: a PostgreSQL started for the run, and the
# shipped program, counting the scripted spooler's jobs, shipping to it
# through Wine's odbc32, unixODBC and psqlODBC. A prefix of its own, so it
# runs beside the other Wine suites.
if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64" OR NOT TARGET pagewarden OR NOT TARGET pwdriver)
  return()
endif()
add_test(NAME central_wine COMMAND "${PROJECT_SOURCE_DIR}/tests/central/central-tests" "${CMAKE_BINARY_DIR}")
set_tests_properties(central_wine PROPERTIES TIMEOUT 400 COST 160) # the longest suites start first
