# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads, so
# std::thread and std::mutex work). PONTIRO_MINGW_PREFIX points at the
# libraries tools/windows-toolchain.sh built (wxWidgets, libpng, GoogleTest).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_host x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_host}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_host}-g++-posix)
set(CMAKE_RC_COMPILER ${_host}-windres)
set(CMAKE_AR ${_host}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${_host}-ranlib CACHE FILEPATH "")

# try_compile projects see only the environment, so the prefix travels there.
if(PONTIRO_MINGW_PREFIX)
    set(ENV{PONTIRO_MINGW_PREFIX} "${PONTIRO_MINGW_PREFIX}")
else()
    set(PONTIRO_MINGW_PREFIX "$ENV{PONTIRO_MINGW_PREFIX}")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${_host} ${PONTIRO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained exe: the C and C++ runtimes and winpthread linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Release binaries ship without their symbol tables.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")

if(PONTIRO_MINGW_PREFIX AND EXISTS "${PONTIRO_MINGW_PREFIX}/bin/wx-config")
    set(wxWidgets_CONFIG_EXECUTABLE "${PONTIRO_MINGW_PREFIX}/bin/wx-config" CACHE FILEPATH "")
    set(wxWidgets_USE_STATIC ON CACHE BOOL "")
endif()

# Unit tests run under Wine, in a Wine prefix of the build tree's own and
# without a display. Tests that open windows bring their own: the wizard's
# end-to-end run (tests/wine) and the window's tests (tests/app, with an
# emulator of their own that starts an Xvfb).
get_filename_component(_pontiro_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${_pontiro_root}/tools/wine-run.sh;--prefix;${CMAKE_BINARY_DIR}/wineprefix;--headless")
