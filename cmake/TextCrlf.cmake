# Copies a text with CR LF line ends, so that Notepad shows it as it is meant:
#   cmake -DIN=README.md -DOUT=README.txt -P TextCrlf.cmake
# PAGES (optional, separated by "|") are appended after it, each under a
# line that names it as IN's links do (docs/on-windows.md), so that one text
# holds what the links lead to.
file(READ ${IN} text)
if(PAGES)
  string(REPLACE "|" ";" pages "${PAGES}")
  get_filename_component(base ${IN} DIRECTORY)
  foreach(page IN LISTS pages)
    file(RELATIVE_PATH name ${base} ${page})
    file(READ ${page} body)
    string(APPEND text "\n\n======== ${name} ========\n\n${body}")
  endforeach()
endif()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
