# Warnings, sanitizers and the cross-target alignment checks.

function(tsd_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wshadow -Wconversion -Wsign-conversion
        $<$<BOOL:${TSD_WERROR}>:-Werror>)
    # A float* to unaligned data faults on armhf and mips: refuse to build it.
    if(CMAKE_CROSSCOMPILING)
        target_compile_options(${target} PRIVATE
            -Werror=address-of-packed-member -Werror=cast-align=strict)
    endif()
endfunction()

if(TSD_SANITIZE STREQUAL "address")
    # No vptr check: it probes memory through a pipe, so in a test that has
    # used up every descriptor on purpose it reports a valid object invalid.
    add_compile_options(-fsanitize=address,undefined -fno-sanitize=vptr
                        -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
elseif(TSD_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT TSD_SANITIZE STREQUAL "")
    message(FATAL_ERROR "TSD_SANITIZE must be empty, 'address' or 'thread'")
endif()
