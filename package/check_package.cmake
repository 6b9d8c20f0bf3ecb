# Makes the release zip of an already built tree in a scratch folder and checks that it
# holds exactly the expected files in one top folder, each program of its bitness.
# Run by ctest: cmake -DBUILD_DIR=... -DPACKAGE_NAME=... -DEXPECTED=file:machine,...
#                     -DOBJDUMP=... [-DOBJDUMP_X86_64=...] -P check_package.cmake
# (machine: i386 or x86-64 for a program, empty for a text file).
set(out ${BUILD_DIR}/package/check)
file(REMOVE_RECURSE ${out})
file(MAKE_DIRECTORY ${out})
# The package target would first build the whole tree; a test only packs what is built. The
# same install rules fill a folder, and CPack packs that folder with the tree's own settings.
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${out}/root --strip
                RESULT_VARIABLE rc OUTPUT_VARIABLE log ERROR_VARIABLE log TIMEOUT 100)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the install rules failed (${rc}); build the tree first:\n${log}")
endif()
execute_process(COMMAND cpack --config ${BUILD_DIR}/CPackConfig.cmake -B ${out}
                        -D CPACK_INSTALL_CMAKE_PROJECTS=
                        -D "CPACK_INSTALLED_DIRECTORIES=${out}/root;."
                RESULT_VARIABLE rc OUTPUT_VARIABLE log ERROR_VARIABLE log TIMEOUT 100)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cpack failed (${rc}):\n${log}")
endif()
set(zip ${out}/${PACKAGE_NAME}.zip)
if(NOT EXISTS ${zip})
    file(GLOB made ${out}/*.zip)
    message(FATAL_ERROR "cpack made no ${PACKAGE_NAME}.zip (made: ${made})")
endif()

file(MAKE_DIRECTORY ${out}/unpacked)
file(ARCHIVE_EXTRACT INPUT ${zip} DESTINATION ${out}/unpacked)
file(GLOB_RECURSE found RELATIVE ${out}/unpacked ${out}/unpacked/*)
list(SORT found)
string(REPLACE "," ";" expected "${EXPECTED}")
set(wanted "")
foreach(entry IN LISTS expected)
    string(REGEX REPLACE ":.*$" "" name "${entry}")
    list(APPEND wanted ${PACKAGE_NAME}/${name})
endforeach()
list(SORT wanted)
if(NOT found STREQUAL wanted)
    message(FATAL_ERROR "the zip holds\n  ${found}\nbut should hold exactly\n  ${wanted}")
endif()

# A program of the wrong bitness would fail only on the user's machine.
foreach(entry IN LISTS expected)
    string(REGEX REPLACE ":.*$" "" name "${entry}")
    string(FIND "${entry}" ":" colon)
    math(EXPR colon "${colon} + 1")
    string(SUBSTRING "${entry}" ${colon} -1 machine)
    if(machine STREQUAL "")
        continue()
    endif()
    # Each binutils reads the PE files of its own machine.
    set(tool ${OBJDUMP})
    if(machine STREQUAL "x86-64" AND OBJDUMP_X86_64)
        set(tool ${OBJDUMP_X86_64})
    endif()
    execute_process(COMMAND ${tool} -f ${out}/unpacked/${PACKAGE_NAME}/${name}
                    OUTPUT_VARIABLE header RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0 OR NOT header MATCHES "file format pei-${machine}")
        message(FATAL_ERROR "${name} in the zip is not pei-${machine}:\n${header}")
    endif()
    # Debugging information would make the download many times larger than the program.
    execute_process(COMMAND ${tool} -h ${out}/unpacked/${PACKAGE_NAME}/${name}
                    OUTPUT_VARIABLE sections RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0 OR sections MATCHES "[.]debug_")
        message(FATAL_ERROR "${name} in the zip is not stripped:\n${sections}")
    endif()
endforeach()

file(READ ${out}/unpacked/${PACKAGE_NAME}/readme.txt readme)
string(FIND "${readme}" "QVNInstall.exe" install_step)
# Read as hex: a text read would drop the carriage returns.
file(READ ${out}/unpacked/${PACKAGE_NAME}/readme.txt readme_hex HEX)
string(REGEX MATCH "^(..)*0d0a" crlf "${readme_hex}")
if(install_step EQUAL -1 OR NOT crlf)
    message(FATAL_ERROR "readme.txt lacks the install steps or its CR LF line ends")
endif()
file(SIZE ${zip} size)
message(STATUS "${PACKAGE_NAME}.zip: ${size} bytes, ${found}")
