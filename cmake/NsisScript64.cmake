# The NSIS installer as a 64-bit program, like the pelican.exe it installs.
# makensis makes a 32-bit installer unless told otherwise; Windows then runs
# it under WOW64, where the Uninstall key lands in the 32-bit view of the
# registry, and Wine needs its 32-bit half to run it at all. CPack's NSIS
# generator has no setting for the target, so its own script is taken as
# CMake ships it and given, where it opens, the 64-bit stubs and plug-ins
# (which imply Unicode), and the 64-bit registry view on entering the
# installer and the uninstaller (a 64-bit installer has it already; saying
# so keeps the Uninstall key where Windows' list of programs reads it even
# if the target were changed back).
set(stock ${CMAKE_ROOT}/Modules/Internal/CPack/NSIS.template.in)
if(NOT EXISTS ${stock})
  message(FATAL_ERROR "CPack's NSIS script is not at ${stock}")
endif()
file(READ ${stock} script)
foreach(place "  RequestExecutionLevel admin\n" "Function .onInit\n" "Function un.onInit\n")
  string(FIND "${script}" "${place}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "CPack's NSIS script ${stock} has no line \"${place}\" to follow")
  endif()
endforeach()
string(REPLACE "  RequestExecutionLevel admin\n" "  RequestExecutionLevel admin\n  Target amd64-unicode\n" script "${script}")
string(REPLACE "Function .onInit\n" "Function .onInit\n  SetRegView 64\n" script "${script}")
string(REPLACE "Function un.onInit\n" "Function un.onInit\n  SetRegView 64\n" script "${script}")
# CPack looks for NSIS.template.in along CPACK_MODULE_PATH before its own.
file(WRITE ${PROJECT_BINARY_DIR}/nsis/NSIS.template.in "${script}")
set(CPACK_MODULE_PATH ${PROJECT_BINARY_DIR}/nsis ${CMAKE_MODULE_PATH})
