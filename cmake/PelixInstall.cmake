# Installs the library, its public headers and the PelixCommon CMake package:
#   find_package(PelixCommon REQUIRED)
#   target_link_libraries(app PRIVATE PelixCommon::common)
include(CMakePackageConfigHelpers)

install(TARGETS pelix_common EXPORT PelixCommonTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/pelix DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(PELIX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/PelixCommon)
install(EXPORT PelixCommonTargets NAMESPACE PelixCommon:: DESTINATION ${PELIX_CMAKE_DIR})
configure_package_config_file(cmake/PelixCommonConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/PelixCommonConfig.cmake INSTALL_DESTINATION ${PELIX_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/PelixCommonConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/PelixCommonConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/PelixCommonConfigVersion.cmake
        DESTINATION ${PELIX_CMAKE_DIR})

# pkg-config file for build systems other than CMake.
configure_file(cmake/pelix-common.pc.in ${CMAKE_CURRENT_BINARY_DIR}/pelix-common.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/pelix-common.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
