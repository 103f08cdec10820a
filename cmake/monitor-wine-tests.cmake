# The simulation build played from scenario files under Wine: the rows in
# pgwarden.db against the expected ones, exit code 0, and a prompt end when
# the quit comes while the spooler is unreachable or a print server is slow.
# Needs pagewarden_sim.
if(TARGET pagewarden_sim)
  set(PW_SCENARIOS "${PROJECT_SOURCE_DIR}/tests/scenarios")
  # NAME SCENARIO EXPECTED TIME_ZONE [MAX_SECONDS]
  function(pw_wine_scenario name scenario expected zone)
    set(limit ${ARGN})
    add_test(NAME monitor_scenario_${name}
      COMMAND "${PW_SCENARIOS}/check-scenario" "${PW_SCENARIOS}/${scenario}.txt"
              "${PW_SCENARIOS}/${expected}.expected" ${limit})
    set_tests_properties(monitor_scenario_${name} PROPERTIES
      ENVIRONMENT "PW_SIM_DIR=${CMAKE_BINARY_DIR};TZ=${zone}"
      TIMEOUT 120
      # One Wine prefix: run-scenario restarts its server, so no two at once.
      RESOURCE_LOCK pw_wine_prefix)
  endfunction()

  foreach(scenario worked-example mixed-200 jobs-fail info-fails no-printers printer-returns
                   reused-job-id stale-job-count huge-page-count bom-names)
    pw_wine_scenario(${scenario} ${scenario} ${scenario} UTC)
  endforeach()
  pw_wine_scenario(stop-while-unreachable stop-while-unreachable stop-while-unreachable UTC 20)
  # Four servers of 3 s each after the quit: reading them all would take 12 s.
  pw_wine_scenario(quit-while-slow quit-while-slow quit-while-slow UTC 9)
  # Local time for real: a zone east of UTC without daylight saving, and one
  # crossing both daylight-saving changes of the year.
  pw_wine_scenario(tz-gmt-minus-1 tz-dst tz-dst.gmt-minus-1 Etc/GMT-1)
  pw_wine_scenario(tz-new-york tz-dst tz-dst.new-york America/New_York)
endif()
