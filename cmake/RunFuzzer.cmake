# Runs one libFuzzer target for a bounded time on a scratch copy of its seeds.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
if(EXISTS "${SEEDS}")
    file(GLOB _seeds "${SEEDS}/*")
    if(_seeds)
        file(COPY ${_seeds} DESTINATION "${WORK}")
    endif()
endif()
execute_process(
    COMMAND "${FUZZER}" -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048
            -print_final_stats=1 "${WORK}"
    RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "fuzzer ${FUZZER} failed (exit ${rc})")
endif()
