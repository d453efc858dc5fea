# cmake -DNM=<nm> -DLIB=<libtouchsdk.so> -DHEADER=<touchsdk.h> -P CheckExports.cmake
# Fails unless the dynamic symbols defined by LIB are exactly the Tsd functions
# that HEADER declares.
execute_process(COMMAND ${NM} -D --defined-only --format=posix ${LIB}
                OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${LIB}")
endif()
string(REPLACE "\n" ";" lines "${out}")
set(actual "")
foreach(line IN LISTS lines)
    if(line MATCHES "^([^ @]+)(@[^ ]*)? ([A-Za-z]) ")
        list(APPEND actual "${CMAKE_MATCH_1}")
    endif()
endforeach()
list(SORT actual)

file(READ ${HEADER} header)
string(REGEX MATCHALL "TSD_API[^;(]*[ *](Tsd[A-Za-z]+)[ \n]*\\(" decls "${header}")
set(expected "")
foreach(decl IN LISTS decls)
    string(REGEX MATCH "(Tsd[A-Za-z]+)[ \n]*\\($" name "${decl}")
    list(APPEND expected "${CMAKE_MATCH_1}")
endforeach()
list(SORT expected)

set(extra ${actual})
set(missing ${expected})
if(expected)
    list(REMOVE_ITEM extra ${expected})
endif()
if(actual)
    list(REMOVE_ITEM missing ${actual})
endif()
list(LENGTH actual n_actual)
list(LENGTH expected n_expected)
# The count comes from the header alone; a header the pattern no longer
# matches must not pass as "nothing declared, nothing missing".
if(n_expected EQUAL 0)
    message(FATAL_ERROR "No Tsd function found in ${HEADER}")
endif()
if(extra OR missing OR NOT n_actual EQUAL n_expected)
    message(FATAL_ERROR "Export check failed for ${LIB}: ${n_actual} exported, "
                        "${n_expected} declared\n  unexpected: ${extra}\n  missing: ${missing}")
endif()
message(STATUS "Export check OK: ${n_actual} Tsd functions, nothing else")
