# Each bench/*.cpp is one program that prints its figures; bench/win32/*.cpp
# are Windows-only measurements.
file(GLOB PW_BENCH_SOURCES CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/bench/*.cpp")
foreach(source IN LISTS PW_BENCH_SOURCES)
  get_filename_component(name "${source}" NAME_WE)
  add_executable(bench_${name} "${source}" "${PROJECT_SOURCE_DIR}/bench/support/fatal_error.cpp")
  target_include_directories(bench_${name} PRIVATE "${PROJECT_SOURCE_DIR}/bench")
  target_link_libraries(bench_${name} PRIVATE pwcore)
  pw_warnings(bench_${name})
endforeach()
