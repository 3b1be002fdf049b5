# The two files every Debian package carries in /usr/share/doc/pelican,
# made at configure time from LICENSE and CHANGELOG.md so that neither text
# is kept twice.
set(PELICAN_DEBIAN_DIR ${PROJECT_BINARY_DIR}/debian)
file(MAKE_DIRECTORY ${PELICAN_DEBIAN_DIR})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)

# A list holds one line per element; the texts' own semicolons are kept
# aside while they are lists.
string(ASCII 1 semicolon)
function(pelican_read_lines path out)
  file(READ ${path} text)
  string(REPLACE ";" "${semicolon}" text "${text}")
  string(REPLACE "\n" ";" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# copyright, in the machine-readable format: the licence's own text under
# Debian's name for it, Expat.
pelican_read_lines(${PROJECT_SOURCE_DIR}/LICENSE license_lines)
set(holder "")
set(body "")
set(in_body FALSE)
foreach(line IN LISTS license_lines)
  string(REPLACE "${semicolon}" ";" line "${line}")
  if(line MATCHES "^Copyright \\(c\\) (.*)$")
    set(holder "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^Permission is hereby granted")
    set(in_body TRUE)
  endif()
  if(in_body)
    if(line STREQUAL "")
      string(APPEND body " .\n")
    else()
      string(APPEND body " ${line}\n")
    endif()
  endif()
endforeach()
string(REGEX REPLACE " \\.\n$" "" body "${body}")
file(WRITE ${PELICAN_DEBIAN_DIR}/copyright
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     "Upstream-Name: Pelican\n"
     "Upstream-Contact: ${PELICAN_MAINTAINER}\n"
     "Source: ${PELICAN_HOMEPAGE}\n\n"
     "Files: *\n"
     "Copyright: ${holder}\n"
     "License: Expat\n"
     "${body}")

# changelog, one Debian entry per release of CHANGELOG.md: a "### group"
# becomes a "*" item, its "- " items nested under it.
pelican_read_lines(${PROJECT_SOURCE_DIR}/CHANGELOG.md changelog_lines)
set(changelog "")
set(trailer "")
foreach(line IN LISTS changelog_lines)
  string(REPLACE "${semicolon}" ";" line "${line}")
  string(REPLACE "`" "" line "${line}")
  if(line MATCHES "^## \\[([^]]+)\\] - ([0-9-]+)$")
    set(version ${CMAKE_MATCH_1})
    pelican_date_epoch(${CMAKE_MATCH_2} epoch)
    pelican_format_epoch(${epoch} "%a, %d %b %Y %H:%M:%S +0000" date)
    string(APPEND changelog "${trailer}pelican (${version}) unstable; urgency=medium\n")
    set(trailer "\n -- ${PELICAN_MAINTAINER}  ${date}\n\n")
  elseif(trailer STREQUAL "")
    continue()  # the file's own introduction
  elseif(line MATCHES "^### (.*)$")
    string(APPEND changelog "\n  * ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^- (.*)$")
    string(APPEND changelog "    - ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^  (.*)$")
    string(APPEND changelog "      ${CMAKE_MATCH_1}\n")
  endif()
endforeach()
string(REGEX REPLACE "\n\n$" "\n" trailer "${trailer}")
file(WRITE ${PELICAN_DEBIAN_DIR}/changelog "${changelog}${trailer}")
