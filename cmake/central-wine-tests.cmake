# The central database under Wine: a PostgreSQL started for the run, and the
# shipped program, counting the scripted spooler's jobs, shipping to it
# through Wine's odbc32, unixODBC and psqlODBC. A prefix of its own, so it
# runs beside the other Wine suites.
if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64" OR NOT TARGET pagewarden OR NOT TARGET pwdriver)
  return()
endif()
# Two halves side by side, each with its own server, prefix and screenshots:
# the sources, their roles and certificates (the later cases of the first
# use the folder and the roles two-sources makes), and the shipping through
# outages, kills, refusals and silence (blocked-quit locks the tables the
# earlier cases of the second make).
set(PW_CENTRAL_TESTS "${PROJECT_SOURCE_DIR}/tests/central/central-tests")
add_test(NAME central_wine
  COMMAND "${PW_CENTRAL_TESTS}" "${CMAKE_BINARY_DIR}" no-section two-sources impostor recreated-file tls)
add_test(NAME central_wine_shipping
  COMMAND "${PW_CENTRAL_TESTS}" "${CMAKE_BINARY_DIR}" outage kill-and-restart refused stalled-quit blocked-quit)
set_tests_properties(central_wine_shipping PROPERTIES
  ENVIRONMENT "PW_CENTRAL_WINE_DIR=${CMAKE_BINARY_DIR}/wine-central-shipping;PW_CENTRAL_SHOTS=${CMAKE_BINARY_DIR}/central-shipping-shots")
# The longest suites start first.
set_tests_properties(central_wine PROPERTIES TIMEOUT 400 COST 120)
set_tests_properties(central_wine_shipping PROPERTIES TIMEOUT 400 COST 150)
