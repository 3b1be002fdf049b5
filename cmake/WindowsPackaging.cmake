# The Windows packages: a zip to unpack anywhere and an NSIS installer with a
# Start-menu entry and an uninstaller. Both hold pelican.exe (static: nothing
# else is needed beside it), the README with its pages, the change log, the
# licence and the manual as text.
include(${CMAKE_CURRENT_LIST_DIR}/Release.cmake)

if(TARGET pelican)
  install(TARGETS pelican RUNTIME DESTINATION .)
endif()

# The manual page rendered as plain text with Windows line ends, so that
# Notepad shows it as it is meant.
find_program(PELICAN_GROFF groff)
configure_file(${PROJECT_SOURCE_DIR}/docs/man/pelican.1.in ${PROJECT_BINARY_DIR}/man/pelican.1 @ONLY)
set(manual ${PROJECT_BINARY_DIR}/pelican-manual.txt)
if(PELICAN_GROFF)
  add_custom_command(OUTPUT ${manual}
                     COMMAND ${CMAKE_COMMAND} -DGROFF=${PELICAN_GROFF} -DPAGE=${PROJECT_BINARY_DIR}/man/pelican.1
                             -DOUT=${manual} -P ${CMAKE_CURRENT_LIST_DIR}/ManualText.cmake
                     DEPENDS ${PROJECT_BINARY_DIR}/man/pelican.1 ${CMAKE_CURRENT_LIST_DIR}/ManualText.cmake VERBATIM)
  add_custom_target(manual_text ALL DEPENDS ${manual})
  install(FILES ${manual} DESTINATION .)
endif()
# The README and the change log as .txt with Windows line ends: Windows has
# no program that opens a .md file. README.txt holds the README's pages after
# it, so that the text the Start menu opens holds what its links lead to.
include(${CMAKE_CURRENT_LIST_DIR}/DocPages.cmake)
set(readme_pages)
foreach(page IN LISTS PELICAN_DOC_PAGES)
  list(APPEND readme_pages ${PROJECT_SOURCE_DIR}/docs/${page}.md)
endforeach()
string(REPLACE ";" "|" readme_pages_arg "${readme_pages}")
set(texts)
foreach(name README CHANGELOG)
  set(text ${PROJECT_BINARY_DIR}/${name}.txt)
  set(pages_arg)
  set(pages_depends)
  if(name STREQUAL README)
    set(pages_arg -DPAGES=${readme_pages_arg})
    set(pages_depends ${readme_pages})
  endif()
  add_custom_command(OUTPUT ${text}
                     COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/${name}.md ${pages_arg} -DOUT=${text}
                             -P ${CMAKE_CURRENT_LIST_DIR}/TextCrlf.cmake
                     DEPENDS ${PROJECT_SOURCE_DIR}/${name}.md ${pages_depends} ${CMAKE_CURRENT_LIST_DIR}/TextCrlf.cmake
                     VERBATIM)
  list(APPEND texts ${text})
endforeach()
add_custom_target(windows_texts ALL DEPENDS ${texts})
install(FILES ${texts} DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

set(CPACK_PACKAGE_NAME pelican)
set(CPACK_PACKAGE_VENDOR "The Pelican developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Flash programmer for Orca microcontrollers over their serial boot loader")
set(CPACK_PACKAGE_FILE_NAME pelican-${PROJECT_VERSION}-windows-x64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Pelican)
# A 64-bit program, installed by a 64-bit installer (NsisScript64.cmake):
# under "Program Files", not "Program Files (x86)".
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR ZIP)
find_program(PELICAN_MAKENSIS makensis)
if(PELICAN_MAKENSIS)
  list(APPEND CPACK_GENERATOR NSIS)
endif()
set(CPACK_STRIP_FILES ON)
# The Start-menu entry "Pelican" starts the window program; the uninstaller
# is registered with Windows' list of programs. pelican.exe lies at the
# root of the installation folder: CPack's NSIS script would otherwise point
# the entry at bin\pelican.exe.
set(CPACK_PACKAGE_EXECUTABLES pelican Pelican)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_DISPLAY_NAME Pelican)
set(CPACK_NSIS_PACKAGE_NAME Pelican)
set(CPACK_NSIS_INSTALLED_ICON_NAME pelican.exe)
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/resources/pelican.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/resources/pelican.ico)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# 1.0's installer was a 32-bit program: over such an installation its key
# would stay in the 32-bit view (a second "Pelican" in Windows' list of
# programs, its uninstaller gone with the first) and its .md texts would
# keep the folder from being removed.
# CPackConfig.cmake holds the text as written here and is read again by
# cpack: hence the doubled backslashes, and NSIS's single quotes.
set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS "
  SetRegView 32
  DeleteRegKey SHCTX 'Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Pelican'
  DeleteRegKey SHCTX 'Software\\\\The Pelican developers\\\\Pelican'
  DeleteRegKey /ifempty SHCTX 'Software\\\\The Pelican developers'
  SetRegView 64
  Delete '$INSTDIR\\\\README.md'
  Delete '$INSTDIR\\\\CHANGELOG.md'")
# The manual's entry only when there is a manual to open.
if(PELICAN_GROFF)
  set(CPACK_NSIS_MENU_LINKS pelican-manual.txt "Pelican manual")
endif()
list(APPEND CPACK_NSIS_MENU_LINKS README.txt "Pelican README")
include(${CMAKE_CURRENT_LIST_DIR}/NsisScript64.cmake)
set(CPACK_NSIS_URL_INFO_ABOUT "https://pelican.example.org")
include(CPack)
