# Writes a C++ file that holds a file's bytes as an array:
#   cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DSYMBOL=<name> -DHEADER=<header> -P EmbedFile.cmake
# Defines `const unsigned char <name>[]` and `const std::size_t <name>Size`,
# which HEADER (included as "<header>") declares. Run through
# pontiro_embed_file() (PontiroBuild.cmake).
file(READ "${INPUT}" _hex HEX)
string(LENGTH "${_hex}" _digits)
math(EXPR _size "${_digits} / 2")
if(_size EQUAL 0)
    message(FATAL_ERROR "${INPUT} is empty")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
# Break the one long line every 16 bytes (CMake's expressions have no {n}).
string(REPEAT "0x..," 16 _line)
string(REGEX REPLACE "(${_line})" "\\1\n    " _bytes "${_bytes}")
get_filename_component(_name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${_name} by the build; do not edit.
#include \"${HEADER}\"

const unsigned char ${SYMBOL}[] = {
    ${_bytes}
};
const std::size_t ${SYMBOL}Size = ${_size};
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
