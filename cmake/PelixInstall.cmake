# Installs the library, its public headers and the PelixCommon CMake package:
#   find_package(PelixCommon REQUIRED)
#   target_link_libraries(app PRIVATE PelixCommon::common)
include(CMakePackageConfigHelpers)

install(TARGETS pelix_common EXPORT PelixCommonTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
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

# pkg-config file for build systems other than CMake. Its prefix is relative
# to its own folder (${pcfiledir}), so it stays right under any install prefix.
set(PELIX_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    message(FATAL_ERROR "pelix-common.pc needs CMAKE_INSTALL_${dir} relative to the prefix")
  endif()
  set(PELIX_PC_${dir} ${CMAKE_INSTALL_${dir}})
endforeach()
file(RELATIVE_PATH PELIX_PC_TO_PREFIX /prefix/${PELIX_PC_DIR} /prefix)
string(REGEX REPLACE "/$" "" PELIX_PC_TO_PREFIX "${PELIX_PC_TO_PREFIX}")
configure_file(cmake/pelix-common.pc.in ${CMAKE_CURRENT_BINARY_DIR}/pelix-common.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/pelix-common.pc DESTINATION ${PELIX_PC_DIR})
