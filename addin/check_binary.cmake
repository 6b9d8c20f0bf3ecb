# Build-time check of qvn.dll: the export directory names the library "qvn.dll" and exports
# exactly the five entry points by their ordinals and undecorated names, and the library
# imports only DLLs that every Windows system has; nothing test-only and no thread-local object
# with a destructor is in it.
#   cmake -DOBJDUMP=... [-DNM=...] -DDLL=... -P check_binary.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "objdump failed on ${DLL}")
endif()

set(problems "")

if(NOT dump MATCHES "Name[ \t]+[0-9a-fA-F]+[ \t]+qvn\\.dll")
    string(APPEND problems "  the export directory does not name the library qvn.dll\n")
endif()

# The name table lists each exported name with its unbiased ordinal:
# "[Ordinal/Name Pointer] Table" followed by lines like "\t[   0] DllCanUnloadNow".
string(REGEX MATCH "Ordinal Base[ \t]+([0-9]+)" base_line "${dump}")
set(base ${CMAKE_MATCH_1})
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" names_at)
set(exports "")
if(names_at GREATER -1 AND base)
    string(SUBSTRING "${dump}" ${names_at} -1 names)
    string(REGEX MATCHALL "\n\t\\[ *[0-9]+\\] [^\n]+" rows "${names}")
    foreach(row IN LISTS rows)
        string(REGEX REPLACE "^\n\t\\[ *([0-9]+)\\] ([^\n]+)$" "\\1;\\2" parts "${row}")
        list(GET parts 0 index)
        list(GET parts 1 name)
        math(EXPR ordinal "${index} + ${base}")
        list(APPEND exports "${ordinal} ${name}")
    endforeach()
endif()
# The name table is in name order; the comparison is by ordinal.
list(SORT exports COMPARE NATURAL)
set(expected "1 DllCanUnloadNow;2 DllGetClassObject;3 DllRegisterServer;4 DllUnregisterServer;5 DllInstall")
if(NOT exports STREQUAL expected)
    string(APPEND problems "  exports are [${exports}], expected [${expected}]\n")
endif()

set(system_dlls advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll
    ole32.dll oleaut32.dll shell32.dll shlwapi.dll user32.dll uxtheme.dll version.dll)
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
set(imported "")
foreach(line IN LISTS imports)
    string(REGEX REPLACE "DLL Name: *" "" name "${line}")
    string(STRIP "${name}" name)
    string(TOLOWER "${name}" lower)
    list(APPEND imported "${lower}")
    if(NOT lower IN_LIST system_dlls AND NOT lower MATCHES "^api-ms-win-")
        string(APPEND problems "  imports ${name}, which is not a Windows system DLL\n")
    endif()
endforeach()

# Nothing test-only ships: the faults the leak checks put in on purpose live in a build of the
# window library that only the tests link. The symbol table (kept in these builds) tells.
if(NM)
    execute_process(COMMAND ${NM} ${DLL} OUTPUT_VARIABLE symbols RESULT_VARIABLE nm_rc)
    if(nm_rc EQUAL 0 AND symbols MATCHES "DeliberateLeak")
        string(APPEND problems "  holds the test-only deliberate leaks of the builder window\n")
    endif()
    # A thread-local object with a destructor registers it with __cxa_thread_atexit. mingw-w64
    # may free the object's storage before that destructor runs when the thread ends, so the
    # IDE's thread would crash now and then as it ends, or call into the DLL after its unload.
    if(nm_rc EQUAL 0 AND symbols MATCHES "__cxa_thread_atexit")
        string(APPEND problems "  holds a thread-local object with a destructor "
                               "(__cxa_thread_atexit)\n")
    endif()
endif()

message(STATUS "qvn.dll (${DLL}) exports: ${exports}")
message(STATUS "qvn.dll (${DLL}) imports: ${imported}")
if(problems)
    message(FATAL_ERROR "qvn.dll check failed:\n${problems}")
endif()
