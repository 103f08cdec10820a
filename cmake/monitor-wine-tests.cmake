# The shipped program played from scenario files under Wine, through the
# scripted winspool.drv: the rows in pgwarden.db against the expected ones,
# exit code 0, and a prompt end when the quit comes while the spooler is
# unreachable, a print server is slow or the monitor waits on its change
# handles. Each zone's scenarios run one after the other in a prefix of
# their own, beside the other Wine suites.
if(TARGET scripted_winspool AND TARGET pagewarden)
  set(PW_SCENARIOS "${PROJECT_SOURCE_DIR}/tests/scenarios")
  # Every scenario file with rows expected in UTC; NAME:MAX_SECONDS bounds
  # the time from the scripted quit to the program's end, far below what a
  # stop that waited would take.
  file(GLOB PW_SCENARIO_FILES CONFIGURE_DEPENDS "${PW_SCENARIOS}/*.expected")
  set(PW_UTC_SCENARIOS)
  foreach(expected IN LISTS PW_SCENARIO_FILES)
    get_filename_component(name "${expected}" NAME_WE)
    get_filename_component(full "${expected}" NAME)
    if(NOT full STREQUAL "${name}.expected")
      continue()   # a zone's own expectation (tz-dst.new-york.expected)
    endif()
    if(name STREQUAL "stop-while-unreachable")
      set(name "${name}:15")
    elseif(name STREQUAL "quit-while-slow")
      set(name "${name}:25")   # three servers of 15 s each after the quit would take 45 s
    elseif(name STREQUAL "quit-while-watching")
      set(name "${name}:25")   # a stop that missed the quit waits for ever
    endif()
    list(APPEND PW_UTC_SCENARIOS "${name}")
  endforeach()

  set(PW_SCENARIO_ENV "PW_BUILD_DIR=${CMAKE_BINARY_DIR}" "PW_WINE_DIR=${CMAKE_BINARY_DIR}/wine-scenarios")
  add_test(NAME monitor_scenarios_utc COMMAND "${PW_SCENARIOS}/check-scenarios" ${PW_UTC_SCENARIOS})
  # Local time for real: a zone east of UTC without daylight saving, and one
  # crossing both daylight-saving changes of the year.
  add_test(NAME monitor_scenarios_zones
    COMMAND bash -c "TZ=Etc/GMT-1 '${PW_SCENARIOS}/check-scenarios' tz-dst@tz-dst.gmt-minus-1 && TZ=America/New_York '${PW_SCENARIOS}/check-scenarios' tz-dst@tz-dst.new-york")
  set_tests_properties(monitor_scenarios_utc PROPERTIES ENVIRONMENT "${PW_SCENARIO_ENV};TZ=UTC" COST 65)
  set_tests_properties(monitor_scenarios_zones PROPERTIES ENVIRONMENT "${PW_SCENARIO_ENV}")
  set_tests_properties(monitor_scenarios_utc monitor_scenarios_zones PROPERTIES
    TIMEOUT 600 RESOURCE_LOCK pw_wine_scenarios)
  # Some of them through the service instead (run-scenario --service), in a
  # prefix of its own where the service is registered and removed each time:
  # one job, two hundred, jobs told by change notifications only, a printer
  # that returns with a job already counted, and one in New York time.
  add_test(NAME monitor_scenarios_service
    COMMAND bash -c "'${PW_SCENARIOS}/check-scenarios' --service worked-example mixed-200 fast-jobs printer-returns && TZ=America/New_York '${PW_SCENARIOS}/check-scenarios' --service tz-dst@tz-dst.new-york")
  set_tests_properties(monitor_scenarios_service PROPERTIES
    ENVIRONMENT "PW_BUILD_DIR=${CMAKE_BINARY_DIR};PW_WINE_DIR=${CMAKE_BINARY_DIR}/wine-service-scenarios;TZ=UTC"
    TIMEOUT 300 COST 35 RESOURCE_LOCK pw_wine_service_scenarios)
endif()
