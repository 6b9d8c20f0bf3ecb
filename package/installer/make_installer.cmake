# Makes qvn-<version>-setup.exe: stages the package's files as they are installed, stripped
# as the zip's are, and has makensis pack them. Run by the win32 tree's `installer` target
# with -D for every variable named below.
#   FILES             a script that sets PACKAGE_FILES, the package's list with each file's
#                     source resolved: path|machine|file
#   X64_DLL           the 64-bit add-in, which the win64 tree makes
#   PACKAGE_FILES_NSH the script's lines that name the files, made from the same list
#   STRIP STRIP_X86_64  the strip programs of the two bitnesses
#   MAKENSIS SCRIPT ICON VERSION VERSION4 STAGE OUTFILE
# A script run with -P has no policies set; an entry's empty machine must stay a list element.
cmake_minimum_required(VERSION 3.25)
if(NOT EXISTS "${X64_DLL}")
    message(FATAL_ERROR "the 64-bit qvn.dll is missing: ${X64_DLL}; the setup program ships it "
                        "as x64\\QVN.dll. Build the win64 preset first: "
                        "cmake --preset win64 && cmake --build --preset win64 --target qvn")
endif()
if(NOT MAKENSIS)
    message(FATAL_ERROR "makensis was not found; install the nsis package (scripts/install-deps)")
endif()

include("${FILES}")
file(REMOVE_RECURSE "${STAGE}")
foreach(entry IN LISTS PACKAGE_FILES)
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 to)
    list(GET parts 1 machine)
    list(GET parts 2 from)
    set(strip "")
    if(machine STREQUAL "x86-64")
        set(strip "${STRIP_X86_64}")
    elseif(machine)
        set(strip "${STRIP}")
    endif()
    get_filename_component(folder "${STAGE}/${to}" DIRECTORY)
    file(MAKE_DIRECTORY "${folder}")
    file(COPY_FILE "${from}" "${STAGE}/${to}")
    if(strip)
        execute_process(COMMAND ${strip} "${STAGE}/${to}" RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "${strip} failed on ${STAGE}/${to}")
        endif()
    endif()
endforeach()

# -WX: a warning of makensis (an unused function, a misspelt variable) fails the build.
execute_process(
    COMMAND ${MAKENSIS} -V2 -WX -NOCD "-DVERSION=${VERSION}" "-DVERSION4=${VERSION4}"
            "-DOUTFILE=${OUTFILE}" "-DICON=${ICON}" "-DSTAGE=${STAGE}"
            "-DPACKAGE_FILES=${PACKAGE_FILES_NSH}" "${SCRIPT}"
    RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "makensis could not make ${OUTFILE}")
endif()
message(STATUS "made ${OUTFILE}")
