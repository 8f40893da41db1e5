# Lays out the Windows package and zips it (see CMakeLists.txt):
#   cmake -DEXE=Pontiro.exe -DCATALOGS=<dir> -DIMAGE=<embedded vdxrapi>
#         -DSTAGE=<dir> -DZIP=<file> -P makezip.cmake
# Its texts lie beside this script; the sample settings are packaging's.
cmake_minimum_required(VERSION 3.25)
set(_here "${CMAKE_CURRENT_LIST_DIR}")
file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${STAGE}")
file(COPY "${EXE}" DESTINATION "${STAGE}")
file(GLOB _langs LIST_DIRECTORIES true RELATIVE "${CATALOGS}" "${CATALOGS}/*")
foreach(_lang IN LISTS _langs)
    if(EXISTS "${CATALOGS}/${_lang}/lang.mo")
        file(COPY "${CATALOGS}/${_lang}/lang.mo" DESTINATION "${STAGE}/${_lang}")
    endif()
endforeach()

# Only a Windows CE ARM library lets docked devices be updated; with any
# other the package says it serves memory cards, and the build says so too.
include("${_here}/../../cmake/CheckDeviceImage.cmake")
pontiro_check_device_image("${IMAGE}" _why)
if(_why)
    message(WARNING "The package's device-side library cannot run on a device: ${_why}. "
        "The package serves memory-card updates; docked updates need a release built with "
        "-DPONTIRO_DEVICE_LIBRARY_IMAGE=<vdxrapi.dll for Windows CE on ARM>.")
    file(READ "${_here}/notes-card-only.txt" PONTIRO_DEVICE_NOTES)
else()
    file(READ "${_here}/notes-docked.txt" PONTIRO_DEVICE_NOTES)
endif()
# Windows line ends, so Notepad shows the files as they are meant.
function(_pontiro_write_text file text)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE "${file}" "${text}")
endfunction()
file(READ "${_here}/../Pontiro.ini" _ini)
_pontiro_write_text("${STAGE}/Pontiro.ini" "${_ini}")
file(READ "${_here}/readme.txt.in" _readme)
string(CONFIGURE "${_readme}" _readme @ONLY)
_pontiro_write_text("${STAGE}/readme.txt" "${_readme}")

get_filename_component(_parent "${STAGE}" DIRECTORY)
get_filename_component(_top "${STAGE}" NAME)
file(REMOVE "${ZIP}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${ZIP}" --format=zip "${_top}"
    WORKING_DIRECTORY "${_parent}" RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "zipping ${STAGE} failed")
endif()
