# Extracts the translatable texts of the wizard's code and fails when a
# catalog lacks one of them, or holds it only untranslated or fuzzy.
#   -DSOURCE_DIR -DWORK_DIR -DXGETTEXT -DMSGCMP -DLANGUAGES=de;es;fr
file(GLOB _sources RELATIVE ${SOURCE_DIR}
    ${SOURCE_DIR}/app/*.cpp ${SOURCE_DIR}/app/*.h
    ${SOURCE_DIR}/sync/*.cpp ${SOURCE_DIR}/sync/*.h)
list(SORT _sources)
file(MAKE_DIRECTORY ${WORK_DIR})
set(_pot ${WORK_DIR}/extracted.pot)
execute_process(
    COMMAND ${XGETTEXT} --language=C++ --from-code=UTF-8 --keyword=_ --keyword=wxTRANSLATE
            --keyword=wxGetTranslation --keyword=wxPLURAL:1,2 --force-po --omit-header
            -o ${_pot} ${_sources}
    WORKING_DIRECTORY ${SOURCE_DIR}
    RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "xgettext failed on the sources")
endif()
file(STRINGS ${_pot} _ids REGEX "^msgid ")
list(LENGTH _ids _count)
if(_count LESS 10)
    message(FATAL_ERROR "only ${_count} texts extracted: the extraction is broken")
endif()
message(STATUS "${_count} translatable texts in the code")

set(_failed)
foreach(_lang IN LISTS LANGUAGES)
    execute_process(
        COMMAND ${MSGCMP} ${SOURCE_DIR}/app/po/${_lang}.po ${_pot}
        RESULT_VARIABLE _rc
        ERROR_VARIABLE _err)
    if(NOT _rc EQUAL 0)
        message(SEND_ERROR "catalog ${_lang} is incomplete:\n${_err}")
        list(APPEND _failed ${_lang})
    endif()
endforeach()
if(_failed)
    message(FATAL_ERROR "incomplete catalogs: ${_failed}")
endif()
