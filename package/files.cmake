# The release package's files, written down once. The zip's install rules, the package check,
# the setup program's staging, its File and Delete lines (package_files.nsh) and the lists the
# installer and journey tests check against (package_files.h) are all made from this list.
# Each entry is path|machine|source:
#   path     where the file sits in the package and in the folder the setup program fills,
#            with forward slashes
#   machine  the PE machine of a program, i386 or x86-64, which the package check and the
#            staging's strip go by; empty for a text file
#   source   the target of this tree that makes it, or the file it is copied from
# The order is the order in which the setup program checks and deletes the files.
# QVN_PACKAGE_X64_DLL and the configured readme exist in the win32 tree only, which is the one
# that makes the package; the win64 tree reads just the paths and machines.
set(QVN_PACKAGE_FILES
    "QVN.dll|i386|qvn"
    "x64/QVN.dll|x86-64|${QVN_PACKAGE_X64_DLL}"
    "QVNInstall.exe|i386|QVNInstall"
    "QVNRemove.exe|i386|QVNRemove"
    "readme.txt||${CMAKE_CURRENT_BINARY_DIR}/readme.txt")

# Splits one entry into <prefix>_path, _machine, _source, _folder (relative, "" for the top
# folder) and _name.
function(qvn_package_file entry prefix)
    string(REPLACE "|" ";" parts "${entry}")
    list(LENGTH parts count)
    if(NOT count EQUAL 3)
        message(FATAL_ERROR "package/files.cmake: \"${entry}\" is not path|machine|source")
    endif()
    list(GET parts 0 path)
    list(GET parts 1 machine)
    list(GET parts 2 source)
    if(NOT machine MATCHES "^(i386|x86-64|)$")
        message(FATAL_ERROR "package/files.cmake: ${path}: machine \"${machine}\" is neither "
                            "i386, x86-64 nor empty")
    endif()
    get_filename_component(folder "${path}" DIRECTORY)
    get_filename_component(name "${path}" NAME)
    set(${prefix}_path "${path}" PARENT_SCOPE)
    set(${prefix}_machine "${machine}" PARENT_SCOPE)
    set(${prefix}_source "${source}" PARENT_SCOPE)
    set(${prefix}_folder "${folder}" PARENT_SCOPE)
    set(${prefix}_name "${name}" PARENT_SCOPE)
endfunction()

# The file a source names: a target's output file (a generator expression) or the file itself.
function(qvn_package_source_file source out)
    if(TARGET "${source}")
        set(${out} "$<TARGET_FILE:${source}>" PARENT_SCOPE)
    else()
        set(${out} "${source}" PARENT_SCOPE)
    endif()
endfunction()

# package/package_files.h in this tree's build folder, for the tests that check an installation
# against the package: each file's path with backslashes and its machine. Included as
# "package/package_files.h" through the interface library qvn_package_files.
function(qvn_write_package_files_header)
    set(rows "")
    foreach(entry IN LISTS QVN_PACKAGE_FILES)
        qvn_package_file("${entry}" file)
        string(REPLACE "/" "\\\\" windows_path "${file_path}")
        string(APPEND rows "    {L\"${windows_path}\", \"${file_machine}\"},\n")
    endforeach()
    file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/package/package_files.h @ONLY CONTENT [[
// Made by CMake from package/files.cmake, the one list of the release package's files.
#pragma once

namespace qvn::package {

struct PackageFile {
    const wchar_t* path; // in the package and the install folder
    const char* machine; // "i386" or "x86-64" for a program, "" for a text file
};

inline constexpr PackageFile kPackageFiles[] = {
@rows@};

} // namespace qvn::package
]])
    add_library(qvn_package_files INTERFACE)
    target_include_directories(qvn_package_files INTERFACE ${CMAKE_BINARY_DIR})
endfunction()
