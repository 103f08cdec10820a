# libFuzzer targets for the two readers of text a user or a test can shape:
# the language-file reader and the scenario reader. Built with clang into
# build/fuzz by `make fuzz`; never part of `make test` or of CI.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "The fuzz targets need clang's libFuzzer (the fuzz preset sets clang++)")
endif()

set(PW_FUZZ_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)

# Only what the two readers reach, instrumented for coverage; the tests'
# fatal report throws, so a malformed key ends in an exception the target
# catches instead of ending the fuzzer. The rest of the core (the store and
# SQLite) stays out: it would only dilute the coverage the fuzzer steers by.
add_library(pwfuzzed STATIC
  "${PROJECT_SOURCE_DIR}/src/common/failure.cpp"
  "${PROJECT_SOURCE_DIR}/src/common/fatal_report.cpp"
  "${PROJECT_SOURCE_DIR}/src/common/language_texts.cpp"
  "${PROJECT_SOURCE_DIR}/src/common/strings.cpp"
  "${PROJECT_SOURCE_DIR}/src/monitor/job_changes.cpp"
  "${PROJECT_SOURCE_DIR}/src/monitor/job_tracking.cpp"
  "${PROJECT_SOURCE_DIR}/src/monitor/recorded_jobs.cpp"
  "${PROJECT_SOURCE_DIR}/src/monitor/sim/scenario_reader.cpp"
  "${PROJECT_SOURCE_DIR}/src/monitor/sim/scripted_spooler.cpp"
  "${PROJECT_SOURCE_DIR}/src/monitor/sim/scripted_timeline.cpp"
  "${PROJECT_SOURCE_DIR}/tests/support/fatal_error.cpp"
  "${PROJECT_SOURCE_DIR}/tests/support/fuzz_entries.cpp")
target_include_directories(pwfuzzed PUBLIC "${PROJECT_SOURCE_DIR}/src" "${PROJECT_SOURCE_DIR}/tests")
target_compile_options(pwfuzzed PUBLIC ${PW_FUZZ_SANITIZERS} PRIVATE -fsanitize=fuzzer-no-link)
target_link_options(pwfuzzed PUBLIC ${PW_FUZZ_SANITIZERS})
pw_warnings(pwfuzzed)

foreach(reader language_file scenario)
  add_executable(${reader}_fuzzer "${PROJECT_SOURCE_DIR}/tests/fuzz/${reader}_fuzzer.cpp")
  target_link_libraries(${reader}_fuzzer PRIVATE pwfuzzed)
  target_compile_options(${reader}_fuzzer PRIVATE -fsanitize=fuzzer)
  target_link_options(${reader}_fuzzer PRIVATE -fsanitize=fuzzer)
  pw_warnings(${reader}_fuzzer)
endforeach()
