# Compiler flags shared by every target of the project.
add_compile_options(-Wall -Wextra -Wpedantic)
if(TAVRELA_WERROR)
    add_compile_options(-Werror)
endif()

if(TAVRELA_SANITIZE)
    # vptr checks give false reports across Qt's shared libraries; everything else halts.
    set(_san -fsanitize=address,undefined -fno-sanitize=vptr -fno-sanitize-recover=all
             -fno-omit-frame-pointer)
    add_compile_options(${_san})
    add_link_options(${_san})
endif()

if(TAVRELA_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "TAVRELA_FUZZ needs clang (libFuzzer): configure with CXX=clang++")
    endif()
    # Coverage feedback inside our libraries, not only in the fuzz programs themselves. The
    # sanitizer runtime supplies the coverage hooks to the programs that are not fuzzers;
    # without it they would not link, so then only the fuzz programs are instrumented.
    if(TAVRELA_SANITIZE)
        add_compile_options(-fsanitize=fuzzer-no-link)
    endif()
endif()

# tavrela_fuzz_target(NAME SOURCES... LIBS...): a libFuzzer program plus a short smoke run in
# CTest over its seed corpus (fuzz/<name>/corpus when present).
function(tavrela_fuzz_target name)
    cmake_parse_arguments(F "" "CORPUS;RUNS" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${F_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    if(NOT F_RUNS)
        set(F_RUNS 20000)
    endif()
    set(_corpus_args)
    if(F_CORPUS AND EXISTS ${F_CORPUS})
        # Work on a copy so the smoke run never writes into the source tree.
        set(_work ${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus)
        file(COPY ${F_CORPUS}/ DESTINATION ${_work})
        set(_corpus_args ${_work})
    endif()
    if(TAVRELA_TESTS)
        add_test(NAME ${name}_smoke
                 COMMAND ${name} -runs=${F_RUNS} -max_len=65536 -rss_limit_mb=2048 ${_corpus_args})
        set_tests_properties(${name}_smoke PROPERTIES LABELS fuzz TIMEOUT 300)
    endif()
endfunction()

# tavrela_boundary(TARGET): fail the configure when a pure library links Qt GUI modules.
function(tavrela_pure_library target)
    cmake_parse_arguments(P "ALLOW_QT_CORE" "" "" ${ARGN})
    get_target_property(_libs ${target} LINK_LIBRARIES)
    if(NOT _libs)
        return()
    endif()
    foreach(_l IN LISTS _libs)
        if(_l MATCHES "Qt6::(Gui|Widgets|OpenGL|OpenGLWidgets|Sql)")
            message(FATAL_ERROR "${target} is a pure library and must not link ${_l}")
        endif()
        if(_l MATCHES "Qt6::" AND NOT P_ALLOW_QT_CORE)
            message(FATAL_ERROR "${target} is a pure library and must not link ${_l}")
        endif()
    endforeach()
endfunction()

# tavrela_test(NAME SOURCES... LIBS... [QT] [SOUND]): one GoogleTest executable, its cases found
# when CTest runs (not at build time, so tests that need a display or services still build
# anywhere). QT gives it a main() that creates a QApplication first; SOUND makes its cases take
# turns on the test sound server.
function(tavrela_test name)
    cmake_parse_arguments(T "QT;SOUND" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(T_QT)
        find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Test)
        add_executable(${name} ${T_SOURCES} ${PROJECT_SOURCE_DIR}/tests/common/qt_test_main.cpp)
        target_link_libraries(${name} PRIVATE GTest::gtest GTest::gmock Qt6::Widgets Qt6::Test)
    else()
        add_executable(${name} ${T_SOURCES})
        target_link_libraries(${name} PRIVATE GTest::gtest_main GTest::gmock)
    endif()
    target_link_libraries(${name} PRIVATE ${T_LIBS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/common)
    target_compile_definitions(${name} PRIVATE
        TAVRELA_SOURCE_DIR="${PROJECT_SOURCE_DIR}" TAVRELA_BINARY_DIR="${PROJECT_BINARY_DIR}")
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    # Tests that show windows take turns on the shared virtual X server: a window of one test
    # can otherwise cover another test's window, which then never counts as exposed. Tests
    # that play into or record the shared sound server's sink take turns too: two tones played
    # at once arrive mixed, and one busy-machine test would starve the other.
    set(_locks)
    if(T_QT)
        list(APPEND _locks x11_display)
    endif()
    if(T_SOUND)
        list(APPEND _locks pulse_sink)
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                         PROPERTIES TIMEOUT ${T_TIMEOUT})
    # The discovered tests' properties cannot carry a list (both locks), so the locks are set
    # by a script CTest runs after the discovery, on the list of tests it leaves.
    if(_locks)
        set(_script ${CMAKE_CURRENT_BINARY_DIR}/${name}_locks.cmake)
        file(GENERATE OUTPUT ${_script} CONTENT
             "if(${name}_TESTS)\n  set_tests_properties(\${${name}_TESTS} PROPERTIES RESOURCE_LOCK \"${_locks}\")\nendif()\n")
        set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${_script})
    endif()
endfunction()
