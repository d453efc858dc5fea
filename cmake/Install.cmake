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

# The prefix is the one the install really uses (cmake --install --prefix
# included), so it is filled in at install time: a system install then gives
# /usr paths that pkg-config drops as its defaults. A staged install
# (DESTDIR) is used through PKG_CONFIG_SYSROOT_DIR, as any other library's.
set(TSD_PC_PREFIX "@TSD_PC_PREFIX@")
foreach(kind LIBDIR INCLUDEDIR)
    if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
        set(TSD_PC_${kind} "${CMAKE_INSTALL_${kind}}")
    else()
        set(TSD_PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
    endif()
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/cmake/touchsdk.pc.in ${PROJECT_BINARY_DIR}/touchsdk.pc.in @ONLY)
install(CODE "
    set(TSD_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    configure_file(\"${PROJECT_BINARY_DIR}/touchsdk.pc.in\" \"${PROJECT_BINARY_DIR}/touchsdk.pc\" @ONLY)
    " COMPONENT development)
install(FILES ${PROJECT_BINARY_DIR}/touchsdk.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

# The C++ interface is header-only over the C functions.
install(FILES ${PROJECT_SOURCE_DIR}/include/touchsdk.hpp
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
