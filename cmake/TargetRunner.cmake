# How a test starts a program built here. On a board target every such
# program runs under qemu-user, through the target's own loader
# (CMAKE_CROSSCOMPILING_EMULATOR). ctest puts that in front of a program
# named as a test's COMMAND, but not in front of one that tsd-emulate or a
# test script starts: without binfmt_misc the host kernel cannot start a
# foreign ELF, so such commands carry the runner themselves.
#   TSD_TARGET_RUNNER   the runner's words, a list for COMMAND arguments
#                       (empty on a native build)
# tsd_target_command(VAR TARGET): the command that starts TARGET's program,
# as one string, for scripts that split a command at spaces.
set(TSD_TARGET_RUNNER ${CMAKE_CROSSCOMPILING_EMULATOR})

function(tsd_target_command var target)
    list(JOIN TSD_TARGET_RUNNER " " runner)
    if(runner)
        string(APPEND runner " ")
    endif()
    set(${var} "${runner}$<TARGET_FILE:${target}>" PARENT_SCOPE)
endfunction()
