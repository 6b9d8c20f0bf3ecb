# Makes the release zip of an already built tree in a scratch folder and checks that it
# holds exactly the expected files in one top folder, and that qvn.dll is of the tree's own
# bitness. Run by ctest: cmake -DBUILD_DIR=... -DPACKAGE_NAME=... -DEXPECTED=a,b,c
#                              -DOBJDUMP=... -P check_package.cmake
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
foreach(name IN LISTS expected)
    list(APPEND wanted ${PACKAGE_NAME}/${name})
endforeach()
list(SORT wanted)
if(NOT found STREQUAL wanted)
    message(FATAL_ERROR "the zip holds\n  ${found}\nbut should hold exactly\n  ${wanted}")
endif()

# A package of the wrong bitness would fail only on the user's machine.
if(PACKAGE_NAME MATCHES "win32$")
    set(format "pei-i386")
else()
    set(format "pei-x86-64")
endif()
foreach(name qvn.dll QVNInstall.exe QVNRemove.exe)
    execute_process(COMMAND ${OBJDUMP} -f ${out}/unpacked/${PACKAGE_NAME}/${name}
                    OUTPUT_VARIABLE header RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0 OR NOT header MATCHES "file format ${format}")
        message(FATAL_ERROR "${name} in the zip is not ${format}:\n${header}")
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
