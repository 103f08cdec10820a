# Each bench/*.cpp is one program that prints its figures; bench/support holds
# what they share (the cached files, the baselines measured beside ours: a
# full-scan store and a rescanning monitor, the results file that `make
# bench` prints its table from).
file(GLOB PW_BENCH_SOURCES CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/bench/*.cpp")
file(GLOB PW_BENCH_SUPPORT CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/bench/support/*.cpp")
foreach(source IN LISTS PW_BENCH_SOURCES)
  get_filename_component(name "${source}" NAME_WE)
  add_executable(bench_${name} "${source}" ${PW_BENCH_SUPPORT})
  target_include_directories(bench_${name} PRIVATE "${PROJECT_SOURCE_DIR}/bench")
  target_link_libraries(bench_${name} PRIVATE pwcore)
  # Large files are built once and kept here between runs.
  target_compile_definitions(bench_${name} PRIVATE "PW_BENCH_DATA=\"${CMAKE_BINARY_DIR}/data\""
    "PW_BENCH_RESULTS=\"${CMAKE_BINARY_DIR}/results.tsv\"")
  pw_warnings(bench_${name})
endforeach()
