# Tests that run the tools as a person would, against emulated screens.
#
# On a board target every program built here runs under qemu-user. ctest
# puts CMAKE_CROSSCOMPILING_EMULATOR before a program named as the test's
# COMMAND, but a script started by a test, and tsd-emulate starting the
# program under test, must do it themselves: without binfmt_misc the host
# kernel cannot start a foreign ELF. They find the words to put first in
# TSD_EMULATE_EXEC_PREFIX (empty on a native build).
list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " TSD_EXEC_PREFIX)

# tsd_add_tool_test(NAME COMMAND...): labelled `tools`; a generous bound,
# since under qemu the programs run at about a tenth of native speed.
function(tsd_add_tool_test name)
    add_test(NAME ${name} COMMAND ${ARGN})
    set_tests_properties(${name} PROPERTIES LABELS tools TIMEOUT 300
                         ENVIRONMENT "TSD_EMULATE_EXEC_PREFIX=${TSD_EXEC_PREFIX}")
endfunction()
