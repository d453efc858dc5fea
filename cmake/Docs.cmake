# The HTML reference (target doc, Doxygen) and the section 3 manual pages.

find_program(DOXYGEN_EXECUTABLE doxygen)
if(DOXYGEN_EXECUTABLE)
    set(TSD_DOC_OUTPUT ${PROJECT_BINARY_DIR}/docs)
    configure_file(${PROJECT_SOURCE_DIR}/docs/Doxyfile.in ${TSD_DOC_OUTPUT}/Doxyfile @ONLY)
    add_custom_command(OUTPUT ${TSD_DOC_OUTPUT}/html/index.html
        COMMAND ${DOXYGEN_EXECUTABLE} ${TSD_DOC_OUTPUT}/Doxyfile
        DEPENDS ${TSD_DOC_OUTPUT}/Doxyfile ${PROJECT_SOURCE_DIR}/docs/reference.md
                ${PROJECT_SOURCE_DIR}/include/touchsdk.h ${PROJECT_SOURCE_DIR}/include/touchsdk.hpp
        VERBATIM)
    # Not part of ALL: a plain build needs no Doxygen.
    add_custom_target(doc DEPENDS ${TSD_DOC_OUTPUT}/html/index.html)
    install(DIRECTORY ${TSD_DOC_OUTPUT}/html DESTINATION ${CMAKE_INSTALL_DOCDIR}
        COMPONENT doc EXCLUDE_FROM_ALL OPTIONAL)
endif()

# libtouchsdk(3) and a page per family of functions, each function's name a
# link to its family's page, so that man TsdOpenTouchScreenA finds it.
include(${PROJECT_SOURCE_DIR}/cmake/ManPages.cmake)
tsd_man_page(${PROJECT_SOURCE_DIR}/docs/man3/libtouchsdk.3.scd development)
set(documented "")
foreach(family discovery handles hotplug modes callbacks calibration)
    set(source ${PROJECT_SOURCE_DIR}/docs/man3/libtouchsdk-${family}.3.scd)
    tsd_man_page(${source} development)
    # The functions a page documents are the ones its SYNOPSIS declares.
    file(STRINGS ${source} declared REGEX "^(void|TsdResult) ")
    foreach(line IN LISTS declared)
        string(REGEX MATCH "\\*Tsd[A-Za-z]+\\*\\(" function "${line}")
        string(REGEX REPLACE "[*(]" "" function "${function}")
        tsd_man_link(${function}.3 libtouchsdk-${family}.3 development)
        list(APPEND documented ${function})
    endforeach()
endforeach()
# A function added to the header without a page fails here, not in a user's
# man.
file(STRINGS ${PROJECT_SOURCE_DIR}/include/touchsdk.h exported REGEX "^TSD_API ")
foreach(line IN LISTS exported)
    string(REGEX MATCH "Tsd[A-Za-z]+\\(" function "${line}")
    string(REPLACE "(" "" function "${function}")
    if(NOT function IN_LIST documented)
        message(FATAL_ERROR "${function} has no section 3 manual page (docs/man3)")
    endif()
endforeach()
