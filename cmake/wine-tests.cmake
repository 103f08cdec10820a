# Tests of the tray program as a whole: it runs under wine64 in a virtual
# desktop and pwdriver.exe works it from outside. Only the 64-bit tree runs
# them; Wine here is 64-bit.
if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  return()
endif()

# The driver's common ground and one file of scenarios per part of the program.
file(GLOB PW_DRIVER_SOURCES CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/tests/driver/*.cpp")
add_executable(pwdriver ${PW_DRIVER_SOURCES})
target_include_directories(pwdriver PRIVATE "${PROJECT_SOURCE_DIR}/tests" "${PROJECT_SOURCE_DIR}/src")
target_compile_definitions(pwdriver PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
# It reads the program's database as another program would.
target_link_libraries(pwdriver PRIVATE sqlite3 comctl32 shell32 user32 gdi32 advapi32)
target_link_options(pwdriver PRIVATE -municode)
target_compile_options(pwdriver PRIVATE -O0) # test code: built fast, not run fast
target_precompile_headers(pwdriver PRIVATE "${PROJECT_SOURCE_DIR}/tests/driver/driver_win32.h")
pw_warnings(pwdriver)

if(TARGET pagewarden)
  add_dependencies(pwdriver pagewarden)
  add_test(NAME shell_wine COMMAND "${PROJECT_SOURCE_DIR}/tests/wine/shell-tests" "${CMAKE_BINARY_DIR}")
  # The statistics view, worked by the driver: jobs recorded by the
  # scripted spooler, the periods, tabs and date picker, an empty database,
  # the tray click timed on 100000 jobs (printed, not judged), copy and
  # export, and the view on three years of jobs: header clicks, grouped
  # digits, the status bar's totals and the month chart, and "/report" beside
  # the tray program, its CSV against the window's copy. The screenshots stay
  # in shell-tests-run/shots of the build tree.
  add_test(NAME shell_wine_statistics
    COMMAND "${PROJECT_SOURCE_DIR}/tests/wine/shell-tests" "${CMAKE_BINARY_DIR}"
            statistics-empty statistics tray-click-time report-damaged-database report-from-a-recorder
            export-totals statistics-view statistics-odd-pages jobs-log
            report-command report-no-database)
  # The secondary windows: the saved-dates window (its controls, adding,
  # refusing, deleting, and counting from a saved date with the scripted
  # spooler's jobs), the about window and its links, and windows closed out of
  # the order they were opened in, and the language window on private copies
  # of the program's folder.
  add_test(NAME shell_wine_windows
    COMMAND "${PROJECT_SOURCE_DIR}/tests/wine/shell-tests" "${CMAKE_BINARY_DIR}"
            dates-window dates-add dates-delete about-window about-link-fails windows-out-of-order
            language-choose language-first language-twin language-held language-vanished dates-warning-busy)
  if(TARGET scripted_winspool)
    add_dependencies(pwdriver scripted_winspool)
    # The service, played through the scripted spooler: installed, counting
    # with no tray program, stopped while its recorders wait, beside a tray
    # program, the counting handed over and back with jobs in flight, a
    # damaged database, a program folder Users may write refused, the data
    # folder's list and a database moved there, and counting beside a mutex
    # another process holds. A prefix and run folder of its own (the service is
    # registered in the prefix), so it runs beside the other suites.
    add_test(NAME shell_wine_service
      COMMAND "${PROJECT_SOURCE_DIR}/tests/wine/shell-tests" "${CMAKE_BINARY_DIR}"
              service-install service-stop-while-writing service-beside-tray service-handover
              service-damaged-database service-folders service-squatter)
    set_tests_properties(shell_wine_service PROPERTIES TIMEOUT 420 COST 60 RESOURCE_LOCK pw_wine_service
      ENVIRONMENT "PW_SHELL_WINE_DIR=${CMAKE_BINARY_DIR}/wine-service;PW_SHELL_RUN=${CMAKE_BINARY_DIR}/service-tests-run")
  endif()
  # The program under load: 3,000 jobs at once, 500 more and clicks while
  # another program holds the file, a quit under that lock and the pending
  # file it leaves, a damaged pending file, a file of 600,000 jobs of an
  # earlier version prepared while the window answers. A prefix and a folder of its own,
  # so that it runs beside the other suites.
  add_test(NAME shell_wine_load
    COMMAND "${PROJECT_SOURCE_DIR}/tests/wine/shell-tests" "${CMAKE_BINARY_DIR}"
            load-bursts-and-lock load-quit-under-lock load-damaged-pending load-old-file)
  set_tests_properties(shell_wine_load PROPERTIES TIMEOUT 600 COST 110 ENVIRONMENT
    "PW_SHELL_WINE_DIR=${CMAKE_BINARY_DIR}/wine-load;PW_SHELL_RUN=${CMAKE_BINARY_DIR}/load-run")
  # The statistics and the secondary windows each in a prefix and a run
  # folder of their own, beside the others; the rest of shell-tests shares
  # one. COST: about the seconds each takes, so the longest start first.
  set_tests_properties(shell_wine PROPERTIES TIMEOUT 900 COST 40 RESOURCE_LOCK pw_wine_shell)
  set_tests_properties(shell_wine_statistics PROPERTIES TIMEOUT 300 COST 65 ENVIRONMENT
    "PW_SHELL_WINE_DIR=${CMAKE_BINARY_DIR}/wine-statistics;PW_SHELL_RUN=${CMAKE_BINARY_DIR}/statistics-run")
  set_tests_properties(shell_wine_windows PROPERTIES TIMEOUT 300 COST 50 ENVIRONMENT
    "PW_SHELL_WINE_DIR=${CMAKE_BINARY_DIR}/wine-windows;PW_SHELL_RUN=${CMAKE_BINARY_DIR}/windows-run")
endif()

# Startfold, worked by the same driver in the same prefix: the Startup folder
# opened in a folder window, and the failure box with the folder made
# unavailable. The screenshots stay in shell-tests-run/shots.
if(TARGET Startfold)
  add_dependencies(pwdriver Startfold)
  add_test(NAME startfold_wine
    COMMAND "${PROJECT_SOURCE_DIR}/tests/wine/shell-tests" "${CMAKE_BINARY_DIR}" startfold-opens startfold-failure)
  set_tests_properties(startfold_wine PROPERTIES TIMEOUT 300 COST 8 RESOURCE_LOCK pw_wine_shell)
endif()
