#!/bin/sh
# Builds the Windows serial back end's test program with the MinGW-w64
# compiler alone, without the cross build: build-win-serial/win32_serial_test.exe.
# Usage: tests/wine/build-serial-test.sh [output folder]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:-$root/build-win-serial}
cxx=${CXX_MINGW:-x86_64-w64-mingw32-g++-posix}
gtest=/usr/src/googletest/googletest
mkdir -p "$out"
flags="-std=c++20 -O1 -g -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX"
warn="-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Werror"
# GoogleTest once; it does not change.
for part in gtest-all gtest_main; do
    [ -f "$out/$part.o" ] || $cxx $flags -I"$gtest/include" -I"$gtest" -c "$gtest/src/$part.cc" -o "$out/$part.o"
done
objects=""
for source in src/link/win32/Win32SerialDevice.cpp src/link/win32/Win32PortList.cpp \
              src/link/win32/PortOpenError.cpp src/link/SerialComm.cpp src/link/IoController.cpp \
              src/protocol/Protocol.cpp src/sys/win32/WideText.cpp tests/wine/HandBuiltClock.cpp \
              tests/link/win32/Win32SerialDeviceTest.cpp; do
    object="$out/$(echo "$source" | tr / _).o"
    $cxx $flags $warn -I"$root/src" -I"$gtest/include" -c "$root/$source" -o "$object"
    objects="$objects $object"
done
$cxx -static -o "$out/win32_serial_test.exe" $objects "$out/gtest_main.o" "$out/gtest-all.o"
echo "$out/win32_serial_test.exe"
