# Build-time check that the compiled type library carries the SYSKIND of the target: a
# 32-bit DLL whose library says win64 registers where the 32-bit IDE never looks.
#   cmake -DTLB=... -DBITS=32|64 -P cmake/check_typelib.cmake
cmake_minimum_required(VERSION 3.25)
file(READ ${TLB} header LIMIT 24 HEX)
string(SUBSTRING "${header}" 0 8 magic)
if(NOT magic STREQUAL "4d534654")
    message(FATAL_ERROR "${TLB} is not a compiled type library (magic ${magic})")
endif()
# The low nibble of the flags word at offset 0x14 is the SYSKIND: 1 win32, 3 win64.
string(SUBSTRING "${header}" 40 2 flags)
string(SUBSTRING "${flags}" 1 1 syskind)
if(BITS EQUAL 32)
    set(expected 1)
else()
    set(expected 3)
endif()
if(NOT syskind STREQUAL "${expected}")
    message(FATAL_ERROR "${TLB} has SYSKIND ${syskind}, the ${BITS}-bit build needs ${expected}")
endif()
