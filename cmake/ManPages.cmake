# Man pages are written in scdoc and turned into roff at build time when
# scdoc is found; without it the build goes on and installs none.
find_program(SCDOC_EXECUTABLE scdoc)

# tsd_man_page(<source.N.scd> [COMPONENT]): builds <name>.N and installs it
# in section N, with the tools or with the install component named.
function(tsd_man_page source)
    set(component tools)
    if(ARGC GREATER 1)
        set(component ${ARGV1})
    endif()
    if(NOT SCDOC_EXECUTABLE)
        return()
    endif()
    get_filename_component(page ${source} NAME_WLE)
    string(REGEX REPLACE ".*\\." "" section ${page})
    set(output ${CMAKE_CURRENT_BINARY_DIR}/${page})
    add_custom_command(OUTPUT ${output}
        COMMAND ${SCDOC_EXECUTABLE} < ${source} > ${output}
        DEPENDS ${source} VERBATIM)
    add_custom_target(man-${page} ALL DEPENDS ${output})
    install(FILES ${output} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section}
        COMPONENT ${component})
endfunction()

# tsd_man_link(<name.N> <page.N> COMPONENT): man name finds page, through a
# symbolic link beside it (Debian's policy prefers links to .so requests).
function(tsd_man_link name page component)
    if(NOT SCDOC_EXECUTABLE)
        return()
    endif()
    string(REGEX REPLACE ".*\\." "" section ${name})
    set(link ${CMAKE_CURRENT_BINARY_DIR}/man-links/${name})
    file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/man-links)
    file(CREATE_LINK ${page} ${link} SYMBOLIC)
    install(FILES ${link} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section}
        COMPONENT ${component})
endfunction()
