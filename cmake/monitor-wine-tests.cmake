# The simulation build played from scenario files under Wine: the rows in
# pgwarden.db against the expected ones, exit code 0, and a prompt end when
# the quit comes while the spooler is unreachable. Needs pagewarden_sim.
if(TARGET pagewarden_sim)
  set(PW_SCENARIOS "${PROJECT_SOURCE_DIR}/tests/scenarios")
  foreach(scenario worked-example mixed-200 stop-while-unreachable)
    add_test(NAME monitor_scenario_${scenario}
      COMMAND "${PW_SCENARIOS}/check-scenario" "${PW_SCENARIOS}/${scenario}.txt"
              "${PW_SCENARIOS}/${scenario}.expected" 20)
    set_tests_properties(monitor_scenario_${scenario} PROPERTIES
      ENVIRONMENT "PW_SIM_DIR=${CMAKE_BINARY_DIR}"
      TIMEOUT 120
      # One Wine prefix: run-scenario restarts its server, so no two at once.
      RESOURCE_LOCK pw_wine_prefix)
  endforeach()
endif()
