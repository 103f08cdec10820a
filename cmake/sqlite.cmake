# One SQLite everywhere: the pinned amalgamation, verified by scripts/fetch-sqlite.
# A DLL with its import library on Windows, a static library for the native tests.
set(PW_SQLITE_DIR "${CMAKE_BINARY_DIR}/sqlite")
execute_process(
  COMMAND "${PROJECT_SOURCE_DIR}/scripts/fetch-sqlite" "${PW_CACHE}" "${PW_SQLITE_DIR}"
  RESULT_VARIABLE fetch_result)
if(NOT fetch_result EQUAL 0)
  message(FATAL_ERROR "The SQLite amalgamation could not be obtained or failed its checksum")
endif()

# SQLITE_REPLACE_INVALID_UTF: a surrogate without its partner, in a name the
# spooler gave, becomes U+FFFD in a file of UTF-8 instead of eating the
# character after it.
set(PW_SQLITE_DEFINITIONS SQLITE_THREADSAFE=1 SQLITE_DEFAULT_FOREIGN_KEYS=0 SQLITE_OMIT_LOAD_EXTENSION SQLITE_TEMP_STORE=2
  SQLITE_REPLACE_INVALID_UTF)
if(WIN32)
  add_library(sqlite3 SHARED "${PW_SQLITE_DIR}/sqlite3.c")
  set_target_properties(sqlite3 PROPERTIES PREFIX "" OUTPUT_NAME sqlite3
    IMPORT_PREFIX "lib" IMPORT_SUFFIX ".dll.a")
  target_compile_definitions(sqlite3 PRIVATE "SQLITE_API=__declspec(dllexport)")
  target_link_options(sqlite3 PRIVATE $<$<CONFIG:Release>:-s>)
else()
  add_library(sqlite3 STATIC "${PW_SQLITE_DIR}/sqlite3.c")
  target_link_libraries(sqlite3 PUBLIC ${CMAKE_DL_LIBS})
endif()
target_compile_definitions(sqlite3 PRIVATE ${PW_SQLITE_DEFINITIONS})
# The native tree builds the unit tests only, in Debug: there the library is
# built lightly optimised and without debug information, in a third of the
# time. The Windows trees (the package, the Wine tests and benchmarks) and
# the benchmarks' own tree get -O2.
if(NOT WIN32 AND NOT PW_BENCH)
  target_compile_options(sqlite3 PRIVATE -w -O1 -g0)
else()
  target_compile_options(sqlite3 PRIVATE -w -O2)
endif()
target_include_directories(sqlite3 SYSTEM PUBLIC "${PW_SQLITE_DIR}")
