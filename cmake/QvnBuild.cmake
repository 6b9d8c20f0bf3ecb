# Shared build settings: warnings, static Windows runtime, tests under Wine.

# Warnings as errors for our own targets only (GoogleTest and friends keep their own flags).
function(qvn_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# The Windows headers as our code uses them: the wide-character functions, no rarely used
# parts, no min/max macros, and the system version the binaries run on. Nothing on Linux.
function(qvn_windows_defines target)
    if(WIN32)
        target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                                     _WIN32_WINNT=0x0601)
    endif()
endfunction()

if(WIN32)
    # Link the C++ runtime and winpthread statically so shipped binaries import only
    # Windows system DLLs.
    add_link_options(-static -static-libgcc -static-libstdc++)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(QVN_WIN_BITS 32)
    else()
        set(QVN_WIN_BITS 64)
    endif()
endif()

# True when the test programs of this build are built and registered with ctest: natively, and
# under Wine for both Windows builds (the 32-bit programs need wine32:i386, which
# scripts/install-deps installs; scripts/test skips them where 32-bit programs cannot run).
set(QVN_CAN_RUN_TESTS ON)

macro(qvn_setup_testing)
    if(WIN32)
        # Debian ships GoogleTest as sources; build them with the cross compiler.
        set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
        add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
        if(NOT TARGET GTest::gtest)
            add_library(GTest::gtest ALIAS gtest)
            add_library(GTest::gtest_main ALIAS gtest_main)
            add_library(GTest::gmock ALIAS gmock)
        endif()
        set(QVN_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
        set(QVN_WINE_LAUNCHER ${CMAKE_SOURCE_DIR}/cmake/wine-run)
        set(CMAKE_CROSSCOMPILING_EMULATOR ${QVN_WINE_LAUNCHER};${QVN_WINEPREFIX})
    else()
        find_package(GTest REQUIRED)
    endif()
    include(GoogleTest)
endmacro()

# One test program per folder, discovered when ctest runs so that no Wine process runs
# during the build. Windows tests share the prefix's registry, so they run one at a time.
function(qvn_add_test_program target)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    qvn_warnings(${target})
    qvn_windows_defines(${target})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS})
    # Eight test files to a compiled unit: the system, WRL and GoogleTest headers are most of
    # each test file's compile time, and are then read once for the eight.
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    if(QVN_CAN_RUN_TESTS)
        if(WIN32)
            gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 300
                                 PROPERTIES RESOURCE_LOCK wineprefix TIMEOUT ${ARG_TIMEOUT})
        else()
            gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT ${ARG_TIMEOUT})
        endif()
    endif()
endfunction()

if(WIN32)
    # The system IDL files (oaidl.idl, ocidl.idl ...) that widl imports, from libwine-dev.
    set(QVN_WINE_IDL_DIR /usr/include/wine/wine/windows)
    # stdole2.tlb, which every type library imports, in the bitness of this build where Wine
    # ships it.
    if(QVN_WIN_BITS EQUAL 32 AND EXISTS /usr/lib/x86_64-linux-gnu/wine/i386-windows/stdole2.tlb)
        set(QVN_STDOLE_DIR /usr/lib/x86_64-linux-gnu/wine/i386-windows)
    else()
        set(QVN_STDOLE_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
    endif()
endif()

# One IDL file through widl: the compiled type library (checked for this build's SYSKIND),
# its C header <stem>.h and its identifiers <stem>_i.c, all in OUTPUT_DIR.
#   qvn_add_typelib(<idl> TLB <file name> OUTPUT_DIR <dir> [IMPORT_DIRS <dir>...]
#                   [DEPENDS <file or target>...] [COMMENT <text>]
#                   [LIBRARY_ONLY] [HEADER_DEFINES <name>...])
# IMPORT_DIRS are searched for imported IDL files and for the libraries importlib() names.
# LIBRARY_ONLY builds the library file alone (for a library whose C names would repeat another
# header's); HEADER_DEFINES are preprocessor names defined for the header and identifiers only.
function(qvn_add_typelib idl)
    cmake_parse_arguments(ARG "LIBRARY_ONLY" "TLB;OUTPUT_DIR;COMMENT" "IMPORT_DIRS;DEPENDS;HEADER_DEFINES"
                          ${ARGN})
    if(NOT ARG_TLB OR NOT ARG_OUTPUT_DIR)
        message(FATAL_ERROR "qvn_add_typelib(${idl}): TLB and OUTPUT_DIR are required")
    endif()
    get_filename_component(stem ${idl} NAME_WE)
    set(out ${ARG_OUTPUT_DIR})
    file(MAKE_DIRECTORY ${out})
    set(flags -I${QVN_WINE_IDL_DIR} -L${QVN_STDOLE_DIR})
    foreach(dir IN LISTS ARG_IMPORT_DIRS)
        list(APPEND flags -I${dir} -L${dir})
    endforeach()
    set(outputs ${out}/${ARG_TLB})
    set(header_commands)
    if(NOT ARG_LIBRARY_ONLY)
        set(header_flags ${flags})
        foreach(name IN LISTS ARG_HEADER_DEFINES)
            list(APPEND header_flags -D${name})
        endforeach()
        list(APPEND outputs ${out}/${stem}.h ${out}/${stem}_i.c)
        set(header_commands
            COMMAND ${QVN_WIDL} ${header_flags} -h -o ${out}/${stem}.h ${idl}
            COMMAND ${QVN_WIDL} ${header_flags} -u -o ${out}/${stem}_i.c ${idl})
    endif()
    add_custom_command(
        OUTPUT ${outputs}
        COMMAND ${QVN_WIDL} ${flags} -t -o ${out}/${ARG_TLB} ${idl}
        COMMAND ${CMAKE_COMMAND} -DTLB=${out}/${ARG_TLB} -DBITS=${QVN_WIN_BITS}
                -P ${CMAKE_SOURCE_DIR}/cmake/check_typelib.cmake
        ${header_commands}
        DEPENDS ${idl} ${CMAKE_SOURCE_DIR}/cmake/check_typelib.cmake ${ARG_DEPENDS}
        COMMENT "widl: ${ARG_COMMENT}"
        VERBATIM)
endfunction()

# QVN_OTHER_BUILD_DLL: the other Windows build's qvn.dll (a wide string literal, Wine's path of
# the sibling build tree), for the tests that put both builds side by side.
function(qvn_define_other_build_dll target)
    get_filename_component(builds ${CMAKE_BINARY_DIR} DIRECTORY)
    if(QVN_WIN_BITS EQUAL 64)
        set(other_dll "Z:${builds}/win32/bin/qvn.dll")
    else()
        set(other_dll "Z:${builds}/win64/bin/qvn.dll")
    endif()
    string(REPLACE "/" "\\\\" other_dll "${other_dll}")
    target_compile_definitions(${target} PRIVATE QVN_OTHER_BUILD_DLL=L"${other_dll}")
endfunction()
