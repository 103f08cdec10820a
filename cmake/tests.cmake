# The same unit tests run natively and, built with mingw, under wine64.
# Natively the libraries Debian builds; for Windows from their sources.
if(WIN32)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(GTest REQUIRED)
endif()

file(GLOB PW_TEST_SOURCES CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/tests/*.cpp")
file(GLOB PW_TEST_SUPPORT CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/tests/support/*.cpp")
if(WIN32)
  # Checks of the source tree itself (fatal numbers, layers): once, natively.
  list(FILTER PW_TEST_SOURCES EXCLUDE REGEX "/(fatal_numbers|source_layers)_test\\.cpp$")
endif()

add_executable(unit_tests ${PW_TEST_SOURCES} ${PW_TEST_SUPPORT})
target_include_directories(unit_tests PRIVATE "${PROJECT_SOURCE_DIR}/tests")
target_link_libraries(unit_tests PRIVATE pwcore GTest::gtest GTest::gtest_main)
target_compile_definitions(unit_tests PRIVATE "PW_SOURCE_DIR=\"${PROJECT_SOURCE_DIR}\"" "PW_BINARY_DIR=\"${CMAKE_BINARY_DIR}\"")
add_dependencies(unit_tests languages)
# Every test file includes GoogleTest: parsed once, not once a file.
target_precompile_headers(unit_tests PRIVATE <gtest/gtest.h> <string> <vector>)
pw_warnings(unit_tests)
# Built as two large files rather than thirty: each test file spends seconds
# on the same declarations, and a fresh clone builds them twice (natively
# and for Windows). A fixture in a file's unnamed namespace is then one of
# an included file, which is no fault here.
set_target_properties(unit_tests PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 18)
target_compile_options(unit_tests PRIVATE -Wno-subobject-linkage)

if(WIN32)
  # Tests of the Win32 shell itself: folders, files, windows.
  file(GLOB PW_WIN32_TEST_SOURCES CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/tests/win32/*.cpp")
  # The scripted spooler's layouts are tested as winspool lays them out.
  target_sources(unit_tests PRIVATE ${PW_WIN32_TEST_SOURCES}
    "${PROJECT_SOURCE_DIR}/src/monitor/sim/scripted_layout_win32.cpp")
  target_link_libraries(unit_tests PRIVATE pwshell)
  # The test code itself is built unoptimised: it builds in half the time,
  # and the program's code it tests keeps its release flags in pwcore and pwshell.
  target_compile_options(unit_tests PRIVATE -O0)
  target_compile_options(gtest PRIVATE -O0)
  target_compile_options(gtest_main PRIVATE -O0)
  set(PW_EMULATOR "${PROJECT_SOURCE_DIR}/scripts/wine-exec")
  add_test(NAME unit_tests COMMAND "${PW_EMULATOR}" "$<TARGET_FILE:unit_tests>")
  set_tests_properties(unit_tests PROPERTIES TIMEOUT 600 COST 120)
  add_custom_command(TARGET unit_tests POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different "$<TARGET_FILE:sqlite3>" "$<TARGET_FILE_DIR:unit_tests>")
  include(cmake/wine-tests.cmake OPTIONAL)
  include(cmake/monitor-wine-tests.cmake OPTIONAL)
  include(cmake/central-wine-tests.cmake)
else()
  # SQLite 3.8.5 in a program of its own (two SQLite versions cannot share
  # one): the unit tests hand it files the job store wrote, to prove that an
  # older SQLite still reads and writes them.
  set(PW_OLD_SQLITE_DIR "${CMAKE_BINARY_DIR}/sqlite-3080500")
  execute_process(
    COMMAND "${PROJECT_SOURCE_DIR}/scripts/fetch-sqlite" "${PW_CACHE}" "${PW_OLD_SQLITE_DIR}" 3080500
    RESULT_VARIABLE fetch_old_result)
  if(NOT fetch_old_result EQUAL 0)
    message(FATAL_ERROR "The SQLite 3.8.5 amalgamation could not be obtained or failed its checksum")
  endif()
  add_executable(old_reader_check "${PROJECT_SOURCE_DIR}/tests/old_reader/old_reader_check.c"
    "${PW_OLD_SQLITE_DIR}/sqlite3.c")
  target_include_directories(old_reader_check PRIVATE "${PW_OLD_SQLITE_DIR}")
  target_compile_definitions(old_reader_check PRIVATE SQLITE_THREADSAFE=0 SQLITE_OMIT_LOAD_EXTENSION)
  # The amalgamation is 2014 code: its warnings are not ours to mend. It only
  # reads a few small files, so it is built unoptimised, in seconds.
  set_source_files_properties("${PW_OLD_SQLITE_DIR}/sqlite3.c" PROPERTIES COMPILE_OPTIONS "-w;-O0;-g0")
  set_source_files_properties("${PROJECT_SOURCE_DIR}/tests/old_reader/old_reader_check.c" PROPERTIES
    COMPILE_OPTIONS "-Wall;-Wextra;-Werror")
  target_link_libraries(old_reader_check PRIVATE m)
  add_dependencies(unit_tests old_reader_check)
  target_compile_definitions(unit_tests PRIVATE "PW_OLD_READER_CHECK=\"$<TARGET_FILE:old_reader_check>\"")

  # In three parts side by side: the month totals' tests, and the figures
  # against the plain query with the pending files cut at their limit, each
  # take about as long as all the others.
  set(PW_HEAVY_TESTS "StoreStatisticsExact.*:StorePendingFile.RowsAreCutIntoFilesWithinTheLimit")
  add_test(NAME unit_tests_totals COMMAND unit_tests --gtest_filter=StoreMonthTotals.*)
  add_test(NAME unit_tests_exact COMMAND unit_tests --gtest_filter=${PW_HEAVY_TESTS})
  add_test(NAME unit_tests COMMAND unit_tests --gtest_filter=-StoreMonthTotals.*:${PW_HEAVY_TESTS})
  set_tests_properties(unit_tests unit_tests_totals unit_tests_exact PROPERTIES TIMEOUT 300)
endif()

include(cmake/week-tests.cmake)
