# qvn_check_imports(target): after every build of `target`, lists the DLLs it imports (with
# objdump -p) and fails the build when one of them is not part of every Windows system, so a
# shipped binary never needs a runtime DLL beside it.
#
#   include(<this file>)       then   qvn_check_imports(MyProgram)
#
# The same file is the checking script:
#   cmake -DQVN_CHECK_OBJDUMP=<objdump> -DQVN_CHECK_BINARY=<file> -P check_imports.cmake

# DLLs every supported Windows (7 and later) ships in its system directory. The C++ runtime,
# libgcc and winpthread are not among them: Windows binaries link those statically.
set(QVN_SYSTEM_DLLS
    advapi32.dll bcrypt.dll comctl32.dll comdlg32.dll crypt32.dll dbghelp.dll gdi32.dll
    imm32.dll kernel32.dll msvcrt.dll ntdll.dll ole32.dll oleaut32.dll psapi.dll rpcrt4.dll
    secur32.dll setupapi.dll shell32.dll shlwapi.dll user32.dll userenv.dll uxtheme.dll
    version.dll winmm.dll ws2_32.dll)

if(CMAKE_SCRIPT_MODE_FILE)
    cmake_minimum_required(VERSION 3.25)
    if(NOT QVN_CHECK_OBJDUMP OR NOT QVN_CHECK_BINARY)
        message(FATAL_ERROR "check_imports: QVN_CHECK_OBJDUMP and QVN_CHECK_BINARY are required")
    endif()
    execute_process(COMMAND ${QVN_CHECK_OBJDUMP} -p ${QVN_CHECK_BINARY}
                    OUTPUT_VARIABLE dump ERROR_VARIABLE dump_error RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "check_imports: ${QVN_CHECK_OBJDUMP} -p ${QVN_CHECK_BINARY} failed: "
                            "${dump_error}")
    endif()
    string(REGEX MATCHALL "DLL Name:[^\n]*" lines "${dump}")
    set(imported "")
    set(foreign "")
    foreach(line IN LISTS lines)
        string(REGEX REPLACE "^DLL Name:[ \t]*" "" name "${line}")
        string(STRIP "${name}" name)
        string(TOLOWER "${name}" lower)
        list(APPEND imported ${lower})
        # The api-ms-win-* names are the system's own API sets.
        if(NOT lower IN_LIST QVN_SYSTEM_DLLS AND NOT lower MATCHES "^api-ms-win-")
            list(APPEND foreign ${name})
        endif()
    endforeach()
    get_filename_component(file_name ${QVN_CHECK_BINARY} NAME)
    if(NOT imported)
        message(FATAL_ERROR "check_imports: found no import table in ${file_name}")
    endif()
    list(JOIN imported ", " imported_text)
    if(foreign)
        list(JOIN foreign ", " foreign_text)
        message(FATAL_ERROR "check_imports: ${file_name} imports ${foreign_text}, which "
                            "Windows does not ship; link them statically.\n"
                            "  all imports: ${imported_text}")
    endif()
    message(STATUS "check_imports: ${file_name} imports only system DLLs: ${imported_text}")
    return()
endif()

include_guard(GLOBAL)

function(qvn_check_imports target)
    if(NOT QVN_OBJDUMP)
        message(FATAL_ERROR "qvn_check_imports(${target}): QVN_OBJDUMP is not set")
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -DQVN_CHECK_OBJDUMP=${QVN_OBJDUMP}
                -DQVN_CHECK_BINARY=$<TARGET_FILE:${target}> -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
        COMMENT "Checking the imports of ${target}"
        VERBATIM)
endfunction()
