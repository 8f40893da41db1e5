# Shared build settings: wxWidgets targets, warnings, sanitizers and the
# helpers every subsystem folder uses to declare its libraries and tests.

# --- wxWidgets -------------------------------------------------------------
# Two interface targets: pontiro_wxbase (wxBase + wxNet, no display needed)
# and pontiro_wxgui (adds core and adv). wx headers are included as system
# headers so our -Werror does not trip over them.
function(_pontiro_wx_target name)
    add_library(${name} INTERFACE)
    target_include_directories(${name} SYSTEM INTERFACE ${wxWidgets_INCLUDE_DIRS})
    target_compile_definitions(${name} INTERFACE ${wxWidgets_DEFINITIONS})
    if(wxWidgets_CXX_FLAGS)
        separate_arguments(_flags UNIX_COMMAND "${wxWidgets_CXX_FLAGS}")
        target_compile_options(${name} INTERFACE ${_flags})
    endif()
    target_link_libraries(${name} INTERFACE ${wxWidgets_LIBRARIES})
endfunction()

find_package(wxWidgets 3.2 REQUIRED COMPONENTS net base)
_pontiro_wx_target(pontiro_wxbase)
unset(wxWidgets_LIBRARIES)
unset(wxWidgets_INCLUDE_DIRS)
unset(wxWidgets_DEFINITIONS)
unset(wxWidgets_CXX_FLAGS)
find_package(wxWidgets 3.2 REQUIRED COMPONENTS adv core net base)
_pontiro_wx_target(pontiro_wxgui)

find_package(Threads REQUIRED)

# --- warnings and sanitizers -----------------------------------------------
add_library(pontiro_options INTERFACE)
target_compile_options(pontiro_options INTERFACE -Wall -Wextra -Werror)
target_include_directories(pontiro_options INTERFACE ${PROJECT_SOURCE_DIR})

if(PONTIRO_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "PONTIRO_FUZZ needs clang (CC=clang CXX=clang++)")
    endif()
    # Everything is instrumented for coverage and ASan/UBSan; only the fuzz
    # executables link the libFuzzer driver.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -g -O1)
    add_link_options(-fsanitize=address,undefined)
elseif(PONTIRO_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g -O1)
    add_link_options(-fsanitize=address,undefined)
elseif(PONTIRO_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -g -O1)
    add_link_options(-fsanitize=thread)
elseif(NOT PONTIRO_SANITIZE STREQUAL "")
    message(FATAL_ERROR "PONTIRO_SANITIZE must be empty, address or thread")
endif()

# Suffix that keeps test names unique when all build trees are run together.
if(PONTIRO_FUZZ)
    set(PONTIRO_TEST_SUFFIX ".fuzz")
elseif(PONTIRO_SANITIZE STREQUAL "address")
    set(PONTIRO_TEST_SUFFIX ".asan")
elseif(PONTIRO_SANITIZE STREQUAL "thread")
    set(PONTIRO_TEST_SUFFIX ".tsan")
elseif(WIN32 AND CMAKE_CROSSCOMPILING)
    set(PONTIRO_TEST_SUFFIX ".win")
else()
    set(PONTIRO_TEST_SUFFIX "")
endif()

# pontiro_library(<name> SOURCES ... [LIBS ...]) - a static library of ours.
function(pontiro_library name)
    cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${A_SOURCES})
    target_link_libraries(${name} PUBLIC pontiro_options ${A_LIBS})
endfunction()

# pontiro_embed_file(<input> <symbol> <header> <output.cpp> [DEPENDS ...])
# Generates <output.cpp> defining <symbol>[] and <symbol>Size (std::size_t)
# with the bytes of <input>, as declared in <header>. DEPENDS names what
# makes <input> when the build does (a target).
function(pontiro_embed_file input symbol header output)
    cmake_parse_arguments(A "" "" "DEPENDS" ${ARGN})
    add_custom_command(OUTPUT "${output}"
        COMMAND ${CMAKE_COMMAND} "-DINPUT=${input}" "-DOUTPUT=${output}" "-DSYMBOL=${symbol}"
                "-DHEADER=${header}" -P "${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake"
        DEPENDS "${input}" ${A_DEPENDS} "${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake"
        COMMENT "Embedding ${symbol}"
        VERBATIM)
endfunction()

# pontiro_gtest(<name> SOURCES ... [LIBS ...] [LABELS ...] [TIMEOUT s] [ENV ...])
# One CTest test per GoogleTest executable. Label "threaded" puts the test
# into the ThreadSanitizer run; label "gui" marks tests that need a display
# (./run provides Xvfb). In the TSan tree only threaded tests are built.
function(pontiro_gtest name)
    cmake_parse_arguments(A "" "TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
    if(PONTIRO_SANITIZE STREQUAL "thread" AND NOT "threaded" IN_LIST A_LABELS)
        return()
    endif()
    find_package(GTest REQUIRED)
    add_executable(${name} ${A_SOURCES})
    target_link_libraries(${name} PRIVATE pontiro_options ${A_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
    add_test(NAME ${name}${PONTIRO_TEST_SUFFIX} COMMAND ${name})
    if(NOT A_TIMEOUT)
        set(A_TIMEOUT 600)
    endif()
    set(_env "PONTIRO_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
             "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1"
             "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
             "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
             "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp"
             ${A_ENV})
    set_tests_properties(${name}${PONTIRO_TEST_SUFFIX} PROPERTIES
        LABELS "${A_LABELS}" TIMEOUT ${A_TIMEOUT} ENVIRONMENT "${_env}")
endfunction()

# pontiro_fuzzer(<name> SOURCES ... [LIBS ...] [SECONDS n]) - a libFuzzer
# target, run by CTest for a bounded time from its seed corpus in
# fuzz/corpus/<name> (copied to a scratch folder so runs leave the tree clean).
set(PONTIRO_FUZZ_SECONDS 30 CACHE STRING "Seconds each fuzz target runs in the test suite")
function(pontiro_fuzzer name)
    cmake_parse_arguments(A "" "SECONDS" "SOURCES;LIBS" ${ARGN})
    if(NOT PONTIRO_FUZZ)
        return()
    endif()
    if(NOT A_SECONDS)
        set(A_SECONDS ${PONTIRO_FUZZ_SECONDS})
    endif()
    add_executable(${name} ${A_SOURCES})
    target_link_libraries(${name} PRIVATE pontiro_options ${A_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set(_work "${CMAKE_CURRENT_BINARY_DIR}/${name}.corpus")
    add_test(NAME ${name}${PONTIRO_TEST_SUFFIX}
        COMMAND ${CMAKE_COMMAND}
            -DFUZZER=$<TARGET_FILE:${name}>
            -DSEEDS=${PROJECT_SOURCE_DIR}/fuzz/corpus/${name}
            -DWORK=${_work}
            -DSECONDS=${A_SECONDS}
            -P ${PROJECT_SOURCE_DIR}/cmake/RunFuzzer.cmake)
    math(EXPR _timeout "${A_SECONDS} * 3 + 60")
    set_tests_properties(${name}${PONTIRO_TEST_SUFFIX} PROPERTIES
        LABELS "fuzz" TIMEOUT ${_timeout}
        ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endfunction()

# pontiro_wine_prefix(<folder>)
# In the Windows cross build, the build itself makes this Wine prefix, so
# that no test under Wine spends its time limit making it.
function(pontiro_wine_prefix folder)
    if(NOT (WIN32 AND CMAKE_CROSSCOMPILING))
        return()
    endif()
    get_filename_component(_name "${folder}" NAME)
    add_custom_command(OUTPUT "${folder}/.pontiro-ready"
        COMMAND "${PROJECT_SOURCE_DIR}/tools/wine-run.sh" --prefix "${folder}" --prepare
        COMMENT "Making the Wine prefix ${_name}"
        VERBATIM)
    add_custom_target(pontiro_${_name} ALL DEPENDS "${folder}/.pontiro-ready")
endfunction()
