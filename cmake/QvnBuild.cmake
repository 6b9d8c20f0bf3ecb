# Shared build settings: warnings, static Windows runtime, tests under Wine.

# Warnings as errors for our own targets only (GoogleTest and friends keep their own flags).
function(qvn_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
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
    target_link_libraries(${target} PRIVATE ${ARG_LIBS})
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
