# The Windows programs: icon and version information from a resource script,
# and no console window behind the window program.
set(RKT_ICO ${CMAKE_BINARY_DIR}/rkt410.ico)
add_custom_command(OUTPUT ${RKT_ICO}
  COMMAND ${RKT_SVG2PNG} --ico ${PROJECT_SOURCE_DIR}/resources/icons/rkt410.svg ${RKT_ICO} 16 20 24 32 40 48 64 256
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/icons/rkt410.svg VERBATIM)
add_custom_target(rkt_windows_icon DEPENDS ${RKT_ICO})

function(rkt_windows_program target description)
  cmake_parse_arguments(ARG "WINDOW" "" "" ${ARGN})
  set(RKT_TARGET ${target})
  set(RKT_DESCRIPTION ${description})
  set(rc ${CMAKE_BINARY_DIR}/windows/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/resources/windows/program.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${RKT_ICO})
  target_sources(${target} PRIVATE ${rc})
  add_dependencies(${target} rkt_windows_icon)
  if(ARG_WINDOW)
    set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
  endif()
endfunction()
