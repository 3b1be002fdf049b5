# The release: its number is the CMake project's version, its date the one
# CHANGELOG.md gives that version. Everything that names the release (the
# manual pages, the Debian changelog, the AppStream metadata, the file times
# in the source tarball) takes them from here, so a release changes two
# lines: project(... VERSION) and the changelog's heading.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG.md release_heading
     REGEX "^## \\[${PROJECT_VERSION}\\] - [0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]$")
if(NOT release_heading)
  message(FATAL_ERROR "CHANGELOG.md has no heading \"## [${PROJECT_VERSION}] - YYYY-MM-DD\" "
                      "for the project's version")
endif()
string(REGEX REPLACE ".* - " "" PELICAN_RELEASE_DATE "${release_heading}")

# Seconds since 1970 at midnight UTC of an ISO date (days from the civil
# calendar, counted in eras of 400 years from March 1st).
function(pelican_date_epoch iso out)
  string(REGEX MATCH "^([0-9]+)-0?([0-9]+)-0?([0-9]+)$" _ "${iso}")
  set(y ${CMAKE_MATCH_1})
  set(m ${CMAKE_MATCH_2})
  set(d ${CMAKE_MATCH_3})
  if(m LESS_EQUAL 2)
    math(EXPR y "${y} - 1")
    math(EXPR mp "${m} + 9")
  else()
    math(EXPR mp "${m} - 3")
  endif()
  math(EXPR era "${y} / 400")
  math(EXPR yoe "${y} - ${era} * 400")
  math(EXPR doy "(153 * ${mp} + 2) / 5 + ${d} - 1")
  math(EXPR doe "${yoe} * 365 + ${yoe} / 4 - ${yoe} / 100 + ${doy}")
  math(EXPR days "${era} * 146097 + ${doe} - 719468")
  math(EXPR seconds "${days} * 86400")
  set(${out} ${seconds} PARENT_SCOPE)
endfunction()

# string(TIMESTAMP) formats SOURCE_DATE_EPOCH when it is set: the release's
# date in the forms a manual page and a Debian changelog want.
function(pelican_format_epoch epoch format out)
  set(saved "$ENV{SOURCE_DATE_EPOCH}")
  set(ENV{SOURCE_DATE_EPOCH} ${epoch})
  string(TIMESTAMP text "${format}" UTC)
  set(ENV{SOURCE_DATE_EPOCH} "${saved}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

pelican_date_epoch(${PELICAN_RELEASE_DATE} PELICAN_RELEASE_EPOCH)
pelican_format_epoch(${PELICAN_RELEASE_EPOCH} "%B %Y" PELICAN_RELEASE_MONTH)
