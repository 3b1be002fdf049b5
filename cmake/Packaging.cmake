# Installation and the Debian package: the two programs, the desktop entry,
# the icon and the manual pages.
include(GNUInstallDirs)

if(TARGET pelican)
  install(TARGETS pelican RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/resources/pelican.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/pelican.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
install(TARGETS pelican-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages are installed compressed, as Debian's policy asks.
find_program(GZIP_PROGRAM gzip)
foreach(page pelican.1 pelican-sim.1)
  set(source ${PROJECT_SOURCE_DIR}/docs/man/${page})
  if(GZIP_PROGRAM)
    set(packed ${PROJECT_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${packed}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
                       COMMAND ${GZIP_PROGRAM} -9nc ${source} > ${packed}
                       DEPENDS ${source} VERBATIM)
    list(APPEND packed_pages ${packed})
    install(FILES ${packed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  else()
    install(FILES ${source} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endforeach()
if(packed_pages)
  add_custom_target(manpages ALL DEPENDS ${packed_pages})
endif()

set(CPACK_PACKAGE_NAME pelican)
set(CPACK_PACKAGE_VENDOR "Pelican developers")
set(CPACK_PACKAGE_CONTACT "Pelican developers <pelican@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "flash programmer for Orca microcontrollers over their serial boot loader")
set(CPACK_PACKAGE_DESCRIPTION
    "Pelican programs the on-chip flash memory of Orca-family microcontrollers through the chip's
serial boot loader: it loads Motorola S-record files, passes the chip's ID check, erases,
blank-checks, programs and verifies the flash, reads the boot loader's status and version and
downloads boot programs, from a window with one button per operation or from a script.
It includes pelican-sim, a simulated board on a pseudo-terminal.")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the programs link (Qt among them) become the package's
# dependencies through dpkg-shlibdeps; the SVG icon needs Qt's image plug-in,
# which nothing links directly.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
set(CPACK_STRIP_FILES ON)
include(CPack)
