# The pictures (toolbar symbols, time-function drawings, the logo) are SVG.
# With Qt Svg they go into the resources as they are. Without it (the
# Windows build, which has only qtbase) each is rendered at build time to PNG
# at 1, 2, 4 and 8 times its size by rkt410-svg2png, a host tool on the
# host's Qt Svg: given as RKT_SVG2PNG when cross-building, built here
# otherwise.
if(NOT RKT_SVG AND NOT RKT_SVG2PNG)
  if(CMAKE_CROSSCOMPILING)
    message(FATAL_ERROR "Without Qt Svg the pictures need the host tool: pass -DRKT_SVG2PNG=path/to/rkt410-svg2png")
  endif()
  add_subdirectory(${PROJECT_SOURCE_DIR}/scripts/svg2png ${CMAKE_BINARY_DIR}/svg2png)
  set(RKT_SVG2PNG rkt410-svg2png)
endif()

function(rkt_add_pictures target name)
  cmake_parse_arguments(ARG "" "PREFIX;BASE" "FILES" ${ARGN})
  if(RKT_SVG)
    qt_add_resources(${target} ${name} PREFIX ${ARG_PREFIX} BASE ${ARG_BASE} FILES ${ARG_FILES})
    return()
  endif()
  set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/pictures/${name})
  set(pngs "")
  foreach(svg ${ARG_FILES})
    file(RELATIVE_PATH rel ${ARG_BASE} ${svg})
    string(REGEX REPLACE "\\.svg$" "" stem ${rel})
    set(outs "")
    foreach(scale 1 2 4 8)
      list(APPEND outs ${out_dir}/${stem}@${scale}x.png)
    endforeach()
    add_custom_command(OUTPUT ${outs}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
      COMMAND ${RKT_SVG2PNG} ${svg} ${out_dir}/${stem} 1 2 4 8
      DEPENDS ${svg} VERBATIM)
    list(APPEND pngs ${outs})
  endforeach()
  qt_add_resources(${target} ${name} PREFIX ${ARG_PREFIX} BASE ${out_dir} FILES ${pngs})
endfunction()
