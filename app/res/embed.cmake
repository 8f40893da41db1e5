# Writes a C++ file that holds a file's bytes as an array.
#   cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DSYMBOL=<name> -P embed.cmake
# Defines `const unsigned char <name>[]` and `const std::size_t <name>Size`.
file(READ "${INPUT}" _hex HEX)
string(LENGTH "${_hex}" _digits)
math(EXPR _size "${_digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
# Break the one long line every 16 bytes.
string(REGEX REPLACE "((0x..,){16})" "\\1\n    " _bytes "${_bytes}")
get_filename_component(_name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${_name} by the build; do not edit.
#include <cstddef>

extern const unsigned char ${SYMBOL}[];
extern const std::size_t ${SYMBOL}Size;

const unsigned char ${SYMBOL}[] = {
    ${_bytes}
};
const std::size_t ${SYMBOL}Size = ${_size};
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
