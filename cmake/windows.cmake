# The Win32 shell: the tray program, Startfold, and the scripted winspool.drv
# of the tests.
set(PW_SEAM_SOURCES)
set(PW_SHELL_SOURCES)
set(PW_SCRIPTED_SPOOLER_SOURCES)
foreach(source IN LISTS PW_WIN32_SOURCES)
  get_filename_component(name "${source}" NAME)
  # Chosen at link time: the entry point, the fatal report, the spooler and
  # the service manager's calls of installing and removing the service.
  if(name MATCHES "^(main|fatal_report|spooler_.*|service_manager)_win32\\.cpp$")
    list(APPEND PW_SEAM_SOURCES "${source}")
  elseif(source MATCHES "/src/monitor/sim/")
    list(APPEND PW_SCRIPTED_SPOOLER_SOURCES "${source}")   # test tooling, never in the program
  else()
    list(APPEND PW_SHELL_SOURCES "${source}")
  endif()
endforeach()

add_library(pwshell STATIC ${PW_SHELL_SOURCES})
target_link_libraries(pwshell PUBLIC pwcore comctl32 comdlg32 winspool shell32 ole32 user32 gdi32 advapi32 kernel32)
target_compile_definitions(pwshell PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0600)
pw_warnings(pwshell)
# Nearly every file of the shell includes windows.h: parsed once.
target_precompile_headers(pwshell PRIVATE <windows.h> <string> <vector>)

set(PW_RESOURCES "${PROJECT_SOURCE_DIR}/src/resources/pagewarden.rc")
# windres does not report the icons it reads; name them so a new drawing rebuilds.
set_source_files_properties("${PW_RESOURCES}" PROPERTIES OBJECT_DEPENDS
  "${PROJECT_SOURCE_DIR}/src/resources/pagewarden16.ico;${PROJECT_SOURCE_DIR}/src/resources/pagewarden32.ico;${PROJECT_SOURCE_DIR}/src/resources/pagewarden.manifest")
set_source_files_properties("${PROJECT_SOURCE_DIR}/src/resources/startfold.rc" PROPERTIES OBJECT_DEPENDS
  "${PROJECT_SOURCE_DIR}/src/resources/startfold.ico")

# The event log message of the service's reports, compiled by windmc into a
# message table the event viewer reads from the program.
set(PW_MESSAGES_DIR "${CMAKE_BINARY_DIR}/messages")
set(PW_MESSAGES "${PW_MESSAGES_DIR}/service_messages.rc")
add_custom_command(OUTPUT "${PW_MESSAGES}" "${PW_MESSAGES_DIR}/MSG00409.bin"
  COMMAND ${CMAKE_COMMAND} -E make_directory "${PW_MESSAGES_DIR}"
  COMMAND ${PW_MINGW_ARCH}-w64-mingw32-windmc -r "${PW_MESSAGES_DIR}" -h "${PW_MESSAGES_DIR}"
          "${PROJECT_SOURCE_DIR}/src/resources/service_messages.mc"
  DEPENDS "${PROJECT_SOURCE_DIR}/src/resources/service_messages.mc"
  COMMENT "Compiling the service's event log message")
set_source_files_properties("${PW_MESSAGES}" PROPERTIES GENERATED TRUE
  OBJECT_DEPENDS "${PW_MESSAGES_DIR}/MSG00409.bin")

function(pw_tray_program target spooler)
  set(sources "${PROJECT_SOURCE_DIR}/src/shell/main_win32.cpp"
              "${PROJECT_SOURCE_DIR}/src/common/fatal_report_win32.cpp"
              "${PROJECT_SOURCE_DIR}/src/service/service_manager_win32.cpp"
              "${PROJECT_SOURCE_DIR}/src/monitor/${spooler}")
  foreach(source IN LISTS sources)
    if(NOT EXISTS "${source}")
      return()   # a seam not written yet: the program waits for it
    endif()
  endforeach()
  add_executable(${target} WIN32 ${sources} ${PW_RESOURCES} "${PW_MESSAGES}")
  target_link_libraries(${target} PRIVATE pwshell)
  target_link_options(${target} PRIVATE -municode -mwindows $<$<CONFIG:Release>:-s>)
  pw_warnings(${target})
  add_dependencies(${target} languages)
endfunction()

pw_tray_program(pagewarden spooler_winspool_win32.cpp)

# winspool.drv played from a scenario file, for the unmodified program under
# Wine. Only the 64-bit tree runs programs here; the package never holds it.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  add_library(scripted_winspool SHARED ${PW_SCRIPTED_SPOOLER_SOURCES}
    "${PROJECT_SOURCE_DIR}/src/monitor/sim/scripted_winspool.def")
  set_target_properties(scripted_winspool PROPERTIES PREFIX "" OUTPUT_NAME "winspool" SUFFIX ".drv")
  target_include_directories(scripted_winspool PRIVATE "${PROJECT_SOURCE_DIR}/src")
  target_compile_definitions(scripted_winspool PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  # The portable scenario reader only; nothing else of the program, and no spooler of course.
  target_link_libraries(scripted_winspool PRIVATE pwcore user32 kernel32 psapi)
  target_link_options(scripted_winspool PRIVATE -static-libstdc++ $<$<CONFIG:Release>:-s>)
  pw_warnings(scripted_winspool)
endif()

file(GLOB PW_STARTFOLD_SOURCES CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/src/startfold/*.cpp")
if(PW_STARTFOLD_SOURCES)
  add_executable(Startfold WIN32 ${PW_STARTFOLD_SOURCES} "${PROJECT_SOURCE_DIR}/src/resources/startfold.rc")
  target_compile_definitions(Startfold PRIVATE UNICODE _UNICODE)
  target_link_libraries(Startfold PRIVATE shell32 ole32 user32)
  target_link_options(Startfold PRIVATE -municode -mwindows $<$<CONFIG:Release>:-s>)
  pw_warnings(Startfold)
endif()
