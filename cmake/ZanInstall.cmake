# Installation as a C++ user expects it, beside the module, the headers (src/api) and zan
# (src/cli): a CMake package (find_package(zanclient) gives zanclient::headers, the imported
# module zanclient::module and the variable ZANCLIENT_MODULE) and a pkg-config file
# (zanclient.pc: Cflags, and the variable module= the module's path). Both are relocatable:
# they find the prefix from their own place, so `cmake --install --prefix P` works.
include(CMakePackageConfigHelpers)

set(ZAN_CMAKE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zanclient)
set(ZAN_MODULE_INSTALL_PATH ${CMAKE_INSTALL_LIBDIR}/ZANClient.so)
set(ZAN_EXECUTABLE_INSTALL_PATH ${CMAKE_INSTALL_BINDIR}/zan)

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/zanclient-config.cmake.in
                              ${PROJECT_BINARY_DIR}/zanclient-config.cmake
                              INSTALL_DESTINATION ${ZAN_CMAKE_INSTALL_DIR}
                              PATH_VARS CMAKE_INSTALL_INCLUDEDIR ZAN_MODULE_INSTALL_PATH ZAN_EXECUTABLE_INSTALL_PATH)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zanclient-config-version.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zanclient-config.cmake ${PROJECT_BINARY_DIR}/zanclient-config-version.cmake
        DESTINATION ${ZAN_CMAKE_INSTALL_DIR})

# zanclient.pc lives in <libdir>/pkgconfig; its prefix is found relative to that place.
file(RELATIVE_PATH ZAN_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" ZAN_PC_TO_PREFIX "${ZAN_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/zanclient.pc.in ${PROJECT_BINARY_DIR}/zanclient.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zanclient.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
