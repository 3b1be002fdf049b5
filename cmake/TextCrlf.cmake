# Copies a text with CR LF line ends, so that Notepad shows it as it is meant:
#   cmake -DIN=README.md -DOUT=README.txt -P TextCrlf.cmake
file(READ ${IN} text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
