# The source tarball, pelican-VERSION.tar.gz: the source tree without the
# version control and build folders. CPack writes it with the files' own
# times and owners; a step after it packs the same files again with the
# release's date as every file's time, names in sorted order and owner 0,
# so that the same tree gives the same bytes wherever and whenever it is
# packed.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_PACKAGE_FILE_NAME pelican-${PROJECT_VERSION})
# Anchored at the source folder, so that a tree unpacked below a folder
# called build still packs.
string(REGEX REPLACE "([][+.*()^$?|\\\\])" "\\\\\\1" source_root "${PROJECT_SOURCE_DIR}")
set(ignore
    "^${source_root}/\\.git(/|$)"
    "^${source_root}/build[^/]*/"
    "^${source_root}/out/"
    "\\.swp$"
    "~$")
# CPack reads its configuration as CMake code: each backslash twice.
string(REPLACE "\\" "\\\\" CPACK_SOURCE_IGNORE_FILES "${ignore}")
set(CPACK_PELICAN_RELEASE_EPOCH ${PELICAN_RELEASE_EPOCH})
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/ReproducibleTarball.cmake)
