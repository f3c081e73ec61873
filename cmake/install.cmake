# Installs the four libraries with their soname links, the mif program, the
# headers a host needs, a pkg-config file and a CMake package.
include(CMakePackageConfigHelpers)

set(MIF_INSTALL_INCLUDEDIR include/zfmif)
set(MIF_INSTALL_CMAKEDIR lib/cmake/zfmif)

# The installed program finds the filter and the host libraries beside it.
set_target_properties(mif PROPERTIES INSTALL_RPATH "$ORIGIN/../lib")
set_target_properties(zfmif zkkrn zkdrw zvkrn PROPERTIES INSTALL_RPATH "$ORIGIN")

install(TARGETS zfmif zkkrn zkdrw zvkrn EXPORT zfmifTargets
        LIBRARY DESTINATION lib
        INCLUDES DESTINATION ${MIF_INSTALL_INCLUDEDIR})
install(TARGETS mif RUNTIME DESTINATION bin)
install(FILES ${MIF_API_DIR}/hostapi.h ${MIF_API_DIR}/Mif.h DESTINATION ${MIF_INSTALL_INCLUDEDIR})
install(EXPORT zfmifTargets NAMESPACE zfmif:: DESTINATION ${MIF_INSTALL_CMAKEDIR})

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/zfmifConfig.cmake.in
  ${CMAKE_BINARY_DIR}/zfmifConfig.cmake INSTALL_DESTINATION ${MIF_INSTALL_CMAKEDIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/zfmifConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/zfmifConfig.cmake ${CMAKE_BINARY_DIR}/zfmifConfigVersion.cmake
        DESTINATION ${MIF_INSTALL_CMAKEDIR})
configure_file(${CMAKE_CURRENT_LIST_DIR}/zfmif.pc.in ${CMAKE_BINARY_DIR}/zfmif.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/zfmif.pc DESTINATION lib/pkgconfig)
