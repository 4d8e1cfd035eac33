# Runs makensis on the setup script with both modules (cmake -P; the setup
# target passes every variable). Refuses a missing module or helper, or one of
# the wrong machine type, which would make a setup program whose registration
# fails.

# The machine field of a PE file's header, or "" when FILE is not one.
function(pe_machine file out)
    set(${out} "" PARENT_SCOPE)
    file(READ "${file}" dos LIMIT 64 HEX)
    if(NOT dos MATCHES "^4d5a")
        return()
    endif()
    # e_lfanew, little-endian, at offset 60.
    string(SUBSTRING "${dos}" 120 8 le)
    string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" be "${le}")
    math(EXPR offset "0x${be}")
    file(READ "${file}" header OFFSET ${offset} LIMIT 6 HEX)
    if(header MATCHES "^50450000(....)$")
        string(REGEX REPLACE "(..)(..)" "\\2\\1" machine "${CMAKE_MATCH_1}")
        set(${out} "${machine}" PARENT_SCOPE)
    endif()
endfunction()

foreach(entry "DLL32;014c;32-bit (i386);${MODULE};GD_SETUP_DLL32"
              "HELPER32;014c;32-bit (i386);glimmerdeck-user-register.exe;GD_SETUP_HELPER32"
              "DLL64;8664;64-bit (x86-64);${MODULE}"
              "HELPER64;8664;64-bit (x86-64);glimmerdeck-user-register.exe")
    list(GET entry 0 var)
    list(GET entry 1 want)
    list(GET entry 2 kind)
    list(GET entry 3 name)
    if(NOT EXISTS "${${var}}")
        # The 32-bit files come from the other tree, and can be pointed at.
        set(remedy "Build this tree's ${name} first.")
        list(LENGTH entry fields)
        if(fields EQUAL 5)
            list(GET entry 4 setting)
            set(remedy "Build the i686 tree first (scripts/test does), or point ${setting} at a 32-bit ${name} (cmake -D${setting}=PATH).")
        endif()
        message(FATAL_ERROR "The setup program needs the ${kind} ${name}, which is not at ${${var}}. ${remedy}")
    endif()
    pe_machine("${${var}}" machine)
    if(NOT machine STREQUAL want)
        message(FATAL_ERROR "${${var}} is not a ${kind} Windows module (machine '${machine}').")
    endif()
endforeach()

# Made again when an input file is newer, or when the inputs themselves
# changed (another 32-bit module, a new version): those are kept in STAMP.
set(arguments
    "-DGD_PRODUCT=${PRODUCT}" "-DGD_VERSION=${VERSION}" "-DGD_PUBLISHER=${PUBLISHER}"
    "-DGD_COPYRIGHT=${COPYRIGHT}" "-DGD_MODULE=${MODULE}"
    "-DGD_DLL32=${DLL32}" "-DGD_DLL64=${DLL64}" "-DGD_HELPER32=${HELPER32}" "-DGD_HELPER64=${HELPER64}"
    "-DGD_ICON=${ICON}" "-DGD_OUTFILE=${OUTPUT}")
set(stale FALSE)
if(EXISTS "${STAMP}")
    file(READ "${STAMP}" previous)
endif()
if(NOT previous STREQUAL "${arguments}")
    set(stale TRUE)
endif()
foreach(input "${DLL32}" "${DLL64}" "${HELPER32}" "${HELPER64}" "${ICON}" "${SCRIPT}" "${CMAKE_CURRENT_LIST_FILE}")
    if(NOT EXISTS "${OUTPUT}" OR "${input}" IS_NEWER_THAN "${OUTPUT}")
        set(stale TRUE)
    endif()
endforeach()
if(NOT stale)
    return()
endif()

message(STATUS "Making ${OUTPUT}")
file(REMOVE "${OUTPUT}" "${STAMP}")
execute_process(COMMAND "${MAKENSIS}" -V2 -WX -NOCD ${arguments} "${SCRIPT}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    file(REMOVE "${OUTPUT}")
    message(FATAL_ERROR "makensis failed on ${SCRIPT} (exit code ${result})")
endif()
file(WRITE "${STAMP}" "${arguments}")
