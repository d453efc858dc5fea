# Installs like a system library: versioned .so with its SONAME link, the
# development link, the header, a pkg-config file and a CMake package.
install(TARGETS touchsdk EXPORT touchsdkTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT development
    PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
install(EXPORT touchsdkTargets NAMESPACE touchsdk::
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/touchsdk COMPONENT development)

include(CMakePackageConfigHelpers)
file(WRITE ${PROJECT_BINARY_DIR}/touchsdkConfig.cmake
    "include(\${CMAKE_CURRENT_LIST_DIR}/touchsdkTargets.cmake)\n")
write_basic_package_version_file(${PROJECT_BINARY_DIR}/touchsdkConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/touchsdkConfig.cmake
              ${PROJECT_BINARY_DIR}/touchsdkConfigVersion.cmake
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/touchsdk COMPONENT development)

# Relocatable: the prefix is found from the .pc file's own place, so an
# install with --prefix or DESTDIR chosen at install time stays right.
file(RELATIVE_PATH TSD_PC_TO_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
configure_file(${PROJECT_SOURCE_DIR}/cmake/touchsdk.pc.in ${PROJECT_BINARY_DIR}/touchsdk.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/touchsdk.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)
