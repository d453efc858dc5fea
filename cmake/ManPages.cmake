# Man pages are written in scdoc and turned into roff at build time when
# scdoc is found; without it the build goes on and installs none.
find_program(SCDOC_EXECUTABLE scdoc)

# tsd_man_page(<source.1.scd> [COMPONENT]): builds <name>.1 and installs it
# with the tools, or with the install component named.
function(tsd_man_page source)
    set(component tools)
    if(ARGC GREATER 1)
        set(component ${ARGV1})
    endif()
    if(NOT SCDOC_EXECUTABLE)
        return()
    endif()
    get_filename_component(page ${source} NAME_WLE)
    set(output ${CMAKE_CURRENT_BINARY_DIR}/${page})
    add_custom_command(OUTPUT ${output}
        COMMAND ${SCDOC_EXECUTABLE} < ${source} > ${output}
        DEPENDS ${source} VERBATIM)
    add_custom_target(man-${page} ALL DEPENDS ${output})
    install(FILES ${output} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
endfunction()
