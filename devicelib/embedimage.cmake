# Writes the bytes of INPUT as the program's g_deviceLibraryImage into OUTPUT.
file(READ "${INPUT}" _hex HEX)
string(LENGTH "${_hex}" _digits)
math(EXPR _size "${_digits} / 2")
if(_size EQUAL 0)
    message(FATAL_ERROR "device library image ${INPUT} is empty")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" _bytes "${_bytes}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT}; do not edit.
#include \"devicelib/devicelibraryimage.h\"

const unsigned char g_deviceLibraryImage[] = {
${_bytes}
};
const std::uint32_t g_deviceLibraryImageSize = ${_size};
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
