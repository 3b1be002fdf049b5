# Run by CPack after it has written its packages: every .tar.gz among them
# is packed again from its own contents with fixed file times, sorted
# names, owner and group 0 and modes from the owner's bits, and compressed
# without a time stamp. The Debian package is left as CPack made it.
find_program(TAR tar REQUIRED)
find_program(GZIP gzip REQUIRED)
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.tar\\.gz$")
    continue()
  endif()
  set(work ${package}.unpacked)
  file(REMOVE_RECURSE ${work})
  file(MAKE_DIRECTORY ${work})
  execute_process(COMMAND ${TAR} -xzf ${package} -C ${work} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot unpack ${package}")
  endif()
  file(GLOB top RELATIVE ${work} ${work}/*)
  execute_process(
    COMMAND ${TAR} --sort=name --format=gnu --mtime=@${CPACK_PELICAN_RELEASE_EPOCH}
            --owner=0 --group=0 --numeric-owner --mode=u+rw,go=rX -cf - ${top}
    COMMAND ${GZIP} -9n
    WORKING_DIRECTORY ${work}
    OUTPUT_FILE ${package}.repacked
    RESULTS_VARIABLE statuses)
  if(NOT statuses STREQUAL "0;0")
    message(FATAL_ERROR "cannot pack ${package} again: ${statuses}")
  endif()
  file(RENAME ${package}.repacked ${package})
  file(REMOVE_RECURSE ${work})
  message(STATUS "${package}: file times of ${CPACK_PELICAN_RELEASE_EPOCH}, sorted names, owner 0")
endforeach()
