# A Debian package of everything `cmake --install` installs: the library, its
# headers, the CMake package and pelix-common.pc, the pelix tool with its man
# page, and the bundled data under share/pelix.
#   cmake -S . -B build/pkg -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DPELIX_BUILD_TESTS=OFF
#   cmake --build build/pkg --target package        (or: cd build/pkg && cpack -G DEB)
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "pelix-common")
set(CPACK_PACKAGE_VENDOR "pelix-common developers")
set(CPACK_PACKAGE_CONTACT "pelix-common developers <pelix@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Shared domain library of the Pelix maintenance terminal, with the pelix tool")
set(CPACK_PACKAGE_DESCRIPTION
    "Decodes and tracks fault map reports of Tolva GSM base stations, looks up fault codes, holds the monitor "
    "catalogue, loads station software onto flash cards and keeps the terminal's settings. The pelix command-line "
    "tool gives access to all of it.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "libs")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The run-time libraries follow from the binaries themselves.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The package installs where the build was configured to install, so that
# pelix-common.pc, the CMake package and the tool's compiled-in data folder
# agree with it: configure with -DCMAKE_INSTALL_PREFIX=/usr for a system
# package.
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES OFF)
include(CPack)
