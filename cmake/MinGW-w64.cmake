# Cross build for 64-bit Windows with Debian's MinGW-w64 (the posix thread
# model, so that std::thread and std::mutex work). Programs built with it run
# under Wine here, and ctest starts them through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PELICAN_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PELICAN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PELICAN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PELICAN_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${PELICAN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
find_program(PELICAN_WINE NAMES wine wine64)
if(PELICAN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PELICAN_WINE})
endif()
