# Installs the build into a scratch prefix and checks that a Linux desktop
# finds everything where it looks: cmake -DBUILD_DIR=... -DPREFIX=... -P this.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

set(missing "")
set(languages "")
foreach(l eng fra ita esp nld pol)
  string(TOUPPER ${l} ext)
  list(APPEND languages share/rkt410/RKT_LANG.${ext} share/doc/rkt410/help/rkt${l}/index.html)
endforeach()
foreach(f bin/rkt410 bin/rkt410-cli bin/rkt410-sim ${languages}
          share/applications/rkt410.desktop share/icons/hicolor/scalable/apps/rkt410.svg
          share/mime/packages/rkt410.xml
          share/doc/rkt410/help/rktger/index.html
          share/doc/rkt410/copyright share/doc/rkt410/changelog.gz share/man/man1/rkt410.1.gz
          share/man/man1/rkt410-cli.1.gz share/man/man1/rkt410-sim.1.gz)
  if(NOT EXISTS "${PREFIX}/${f}")
    list(APPEND missing ${f})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "not installed: ${missing}")
endif()

# The installed language files are UTF-8 with the byte-order mark, as Debian
# wants its text; the letters survive the conversion from Windows-1252.
foreach(l ENG FRA ITA ESP NLD POL)
  file(READ "${PREFIX}/share/rkt410/RKT_LANG.${l}" head LIMIT 3 HEX)
  if(NOT head STREQUAL "efbbbf")
    message(FATAL_ERROR "share/rkt410/RKT_LANG.${l} is not UTF-8 with its byte-order mark")
  endif()
endforeach()
file(STRINGS "${PREFIX}/share/rkt410/RKT_LANG.FRA" name REGEX "^Language=" ENCODING UTF-8)
if(NOT name STREQUAL "Language=Français")
  message(FATAL_ERROR "RKT_LANG.FRA names its language '${name}' once installed")
endif()

# The desktop entry must name the installed program and icon.
file(STRINGS "${PREFIX}/share/applications/rkt410.desktop" exec REGEX "^Exec=")
file(STRINGS "${PREFIX}/share/applications/rkt410.desktop" icon REGEX "^Icon=")
string(REGEX REPLACE "^Exec=([^ ]+).*" "\\1" program "${exec}")
string(REGEX REPLACE "^Icon=" "" icon "${icon}")
if(NOT EXISTS "${PREFIX}/bin/${program}")
  message(FATAL_ERROR "the desktop entry starts '${program}', which is not installed")
endif()
if(NOT EXISTS "${PREFIX}/share/icons/hicolor/scalable/apps/${icon}.svg")
  message(FATAL_ERROR "the desktop entry's icon '${icon}' is not installed")
endif()
file(REMOVE_RECURSE "${PREFIX}")
