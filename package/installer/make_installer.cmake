# Makes qvn-<version>-setup.exe: stages the package's five files as they are installed,
# stripped as the zip's are, and has makensis pack them. Run by the win32 tree's `installer`
# target with -D for every variable named below.
#   X64_DLL QVN_DLL INSTALL_EXE REMOVE_EXE README  the files
#   STRIP STRIP_X86_64  the strip programs of the two bitnesses
#   MAKENSIS SCRIPT ICON VERSION VERSION4 STAGE OUTFILE
if(NOT EXISTS "${X64_DLL}")
    message(FATAL_ERROR "the 64-bit qvn.dll is missing: ${X64_DLL}; the setup program ships it "
                        "as x64\\QVN.dll. Build the win64 preset first: "
                        "cmake --preset win64 && cmake --build --preset win64 --target qvn")
endif()
if(NOT MAKENSIS)
    message(FATAL_ERROR "makensis was not found; install the nsis package (scripts/install-deps)")
endif()

file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${STAGE}/x64")
function(stage from to strip)
    file(COPY_FILE "${from}" "${STAGE}/${to}")
    if(strip)
        execute_process(COMMAND ${strip} "${STAGE}/${to}" RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "${strip} failed on ${STAGE}/${to}")
        endif()
    endif()
endfunction()
stage("${QVN_DLL}" QVN.dll "${STRIP}")
stage("${X64_DLL}" x64/QVN.dll "${STRIP_X86_64}")
stage("${INSTALL_EXE}" QVNInstall.exe "${STRIP}")
stage("${REMOVE_EXE}" QVNRemove.exe "${STRIP}")
stage("${README}" readme.txt "")

# -WX: a warning of makensis (an unused function, a misspelt variable) fails the build.
execute_process(
    COMMAND ${MAKENSIS} -V2 -WX -NOCD "-DVERSION=${VERSION}" "-DVERSION4=${VERSION4}"
            "-DOUTFILE=${OUTFILE}" "-DICON=${ICON}" "-DSTAGE=${STAGE}" "${SCRIPT}"
    RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "makensis could not make ${OUTFILE}")
endif()
message(STATUS "made ${OUTFILE}")
