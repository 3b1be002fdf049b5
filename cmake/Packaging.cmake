# Installation and the Debian package: the two programs, the desktop entry
# with its AppStream metadata, the icons, the manual pages, the shell
# completion, the package's copyright and changelog, the README and its
# pages; and the source tarball.
include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/Release.cmake)

# The project's public home and contact. Placeholders until it has its own;
# a distribution's packager puts their own contact here.
set(PELICAN_HOMEPAGE "https://pelican.example.org" CACHE STRING
    "Home page: the package's Homepage, the AppStream URLs and the screenshots under docs/")
set(PELICAN_MAINTAINER "The Pelican developers <pelican@example.org>" CACHE STRING
    "Maintainer of the Debian package")
set(PELICAN_APPSTREAM_ID "org.example.Pelican" CACHE STRING "AppStream component id")

include(${CMAKE_CURRENT_LIST_DIR}/DebianFiles.cmake)
set(docdir ${CMAKE_INSTALL_DATADIR}/doc/pelican)

if(TARGET pelican)
  install(TARGETS pelican RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/resources/pelican.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  configure_file(${PROJECT_SOURCE_DIR}/resources/pelican.metainfo.xml.in
                 ${PROJECT_BINARY_DIR}/${PELICAN_APPSTREAM_ID}.metainfo.xml @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${PELICAN_APPSTREAM_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/pelican.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  # Rendered once from the SVG: rsvg-convert -w N -h N pelican.svg -o NxN/pelican.png
  foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/${size}x${size}/pelican.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  install(FILES ${PROJECT_SOURCE_DIR}/resources/completion/pelican
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endif()
install(TARGETS pelican-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages carry the release's number and date. They, and the
# changelog, are installed compressed, as Debian's policy asks.
find_program(GZIP_PROGRAM gzip)
function(pelican_install_packed source destination)
  if(GZIP_PROGRAM)
    get_filename_component(name ${source} NAME)
    set(packed ${PROJECT_BINARY_DIR}/packed/${name}.gz)
    add_custom_command(OUTPUT ${packed}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packed
                       COMMAND ${GZIP_PROGRAM} -9nc ${source} > ${packed}
                       DEPENDS ${source} VERBATIM)
    set_property(GLOBAL APPEND PROPERTY pelican_packed ${packed})
    install(FILES ${packed} DESTINATION ${destination})
  else()
    install(FILES ${source} DESTINATION ${destination})
  endif()
endfunction()
foreach(page pelican.1 pelican-sim.1)
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.in ${PROJECT_BINARY_DIR}/man/${page} @ONLY)
  pelican_install_packed(${PROJECT_BINARY_DIR}/man/${page} ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
pelican_install_packed(${PELICAN_DEBIAN_DIR}/changelog ${docdir})
install(FILES ${PELICAN_DEBIAN_DIR}/copyright DESTINATION ${docdir})
# The README and its pages, with the pictures they show, as they lie in the
# source tree, so that the links between them hold.
include(${CMAKE_CURRENT_LIST_DIR}/DocPages.cmake)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${docdir})
foreach(page IN LISTS PELICAN_DOC_PAGES)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/${page}.md DESTINATION ${docdir}/docs)
endforeach()
file(GLOB pictures ${PROJECT_SOURCE_DIR}/docs/*.png)
install(FILES ${pictures} DESTINATION ${docdir}/docs)
file(GLOB pictures ${PROJECT_SOURCE_DIR}/docs/windows/*.png)
install(FILES ${pictures} DESTINATION ${docdir}/docs/windows)
# An example udev rule for one adapter: the user's access, ModemManager kept away.
install(FILES ${PROJECT_SOURCE_DIR}/docs/udev/60-pelican.rules DESTINATION ${docdir}/examples)
get_property(packed_files GLOBAL PROPERTY pelican_packed)
if(packed_files)
  add_custom_target(packed_docs ALL DEPENDS ${packed_files})
endif()

set(CPACK_PACKAGE_NAME pelican)
set(CPACK_PACKAGE_VENDOR "The Pelican developers")
set(CPACK_PACKAGE_CONTACT "${PELICAN_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "flash programmer for Orca microcontrollers over their serial boot loader")
# Lines of at most 80 columns, as dpkg and apt show them.
set(CPACK_PACKAGE_DESCRIPTION
    "Pelican programs the on-chip flash memory of Orca-family microcontrollers
through the chip's serial boot loader: it loads Motorola S-record, Intel HEX
and binary files, passes the chip's ID check, erases, blank-checks, programs
and verifies the flash, reads the boot loader's status and version, and
downloads boot programs, from a window with one button per operation or from
a script. It includes pelican-sim, a simulated board on a pseudo-terminal.")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PELICAN_HOMEPAGE}")
# The shared libraries the programs link (Qt among them) become the package's
# dependencies through dpkg-shlibdeps; the SVG icon needs Qt's image plug-in,
# which nothing links directly.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
# --store reaches a line's database through an ODBC driver, which only the
# stations that use one need.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "odbc-postgresql, libsqliteodbc")
set(CPACK_STRIP_FILES ON)

include(${CMAKE_CURRENT_LIST_DIR}/SourcePackage.cmake)
include(CPack)
