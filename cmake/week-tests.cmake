# The working week. Natively: the model that judges it, held to the monitor
# scenarios' own expectations. Under Wine (the 64-bit tree, where the driver
# is built): the week played to the program by the scripted spooler and checked through the
# window, every tab under every period and a saved date, and the database's
# rows against the model's; then a quit in the middle of the week.
if(NOT WIN32)
  add_test(NAME week_model COMMAND "${PROJECT_SOURCE_DIR}/tests/week/check-model")
  return()
endif()

if(TARGET pwdriver AND TARGET scripted_winspool)
  add_test(NAME shell_wine_week
    COMMAND "${PROJECT_SOURCE_DIR}/tests/wine/shell-tests" "${CMAKE_BINARY_DIR}" week week-quit)
  # Nine hours east of UTC the local day starts at 15:00 UTC, so a period
  # counted from UTC's midnight, or a row left in UTC, cannot pass.
  add_test(NAME shell_wine_week_tokyo
    COMMAND "${PROJECT_SOURCE_DIR}/tests/wine/shell-tests" "${CMAKE_BINARY_DIR}" week)
  # Each in a prefix and run folder of its own, so that they run beside
  # each other and the other suites.
  set_tests_properties(shell_wine_week PROPERTIES TIMEOUT 300 COST 75 ENVIRONMENT
    "PW_SHELL_WINE_DIR=${CMAKE_BINARY_DIR}/wine-week;PW_SHELL_RUN=${CMAKE_BINARY_DIR}/week-run")
  set_tests_properties(shell_wine_week_tokyo PROPERTIES TIMEOUT 300 COST 65 ENVIRONMENT
    "PW_SHELL_WINE_DIR=${CMAKE_BINARY_DIR}/wine-week-tokyo;PW_SHELL_RUN=${CMAKE_BINARY_DIR}/week-tokyo-run;PW_SHELL_TZ=Asia/Tokyo")
endif()
