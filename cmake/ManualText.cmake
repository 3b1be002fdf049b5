# Renders a manual page as plain text with CR LF line ends:
#   cmake -DGROFF=groff -DPAGE=pelican.1 -DOUT=pelican-manual.txt -P ManualText.cmake
execute_process(COMMAND ${GROFF} -man -Tascii -P-cbou ${PAGE} OUTPUT_VARIABLE text RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "groff failed on ${PAGE}")
endif()
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
