# Test helpers shared by every module.
#
# suite_add_gtest(<name> SOURCES <files...> LIBS <targets...> [PROPERTIES <p v...>])
#   A GoogleTest program; each TEST becomes one CTest case, with PROPERTIES.
# suite_add_qtest(<name> SOURCES <files...> LIBS <targets...>)
#   A Qt Test program run on the offscreen platform; its exit waits for Qt
#   Test's watchdog thread to be gone.
# suite_add_tests_from_glob(LIBS <targets...>)
#   Every "*_test.cpp" of the calling folder becomes a GoogleTest program,
#   every "tst_*.cpp" a Qt Test program.
# suite_tsan_suppressions(PROGRAMS <programs...> KINDS <kinds...>)
#   The kinds of Qt's own hand-overs (cmake/tsan/<kind>.supp) whose
#   ThreadSanitizer reports these viewer programs show; called before the
#   programs are added. A program named nowhere runs with no suppression.

include(GoogleTest)

set(SUITE_TEST_BIN_DIR ${CMAKE_BINARY_DIR}/tests-bin)
set(SUITE_TSAN_DIR ${CMAKE_CURRENT_LIST_DIR}/tsan)

# Qt 5 is not built with ThreadSanitizer, and the locks of its queues are
# futexes the sanitizer cannot see, so Qt's own hand-overs between threads
# look unsynchronised. Only the viewer's programs may silence them, each only
# the kinds its own reports show; the library, simulator, tool and installer
# programs run with no suppression (Qt Test's own watchdog aside, which every
# Qt Test program has).
function(suite_tsan_suppressions)
    cmake_parse_arguments(ARG "" "" "PROGRAMS;KINDS" ${ARGN})
    string(FIND "${CMAKE_CURRENT_SOURCE_DIR}/" "${CMAKE_SOURCE_DIR}/viewer/" at)
    if(NOT at EQUAL 0)
        message(FATAL_ERROR "ThreadSanitizer suppressions are for the viewer's programs only")
    endif()
    foreach(kind IN LISTS ARG_KINDS)
        if(NOT EXISTS ${SUITE_TSAN_DIR}/${kind}.supp)
            message(FATAL_ERROR "No ThreadSanitizer suppressions of kind '${kind}' in ${SUITE_TSAN_DIR}")
        endif()
    endforeach()
    foreach(program IN LISTS ARG_PROGRAMS)
        set_property(GLOBAL APPEND PROPERTY SUITE_TSAN_KINDS_${program} ${ARG_KINDS})
    endforeach()
    set_property(GLOBAL APPEND PROPERTY SUITE_TSAN_VIEWER_KINDS ${ARG_KINDS})
endfunction()

# Writes the suppressions of the given kinds for `name` into the build and
# returns its path, or nothing when there are no kinds.
function(_suite_tsan_file out name)
    set(kinds ${ARGN})
    set(${out} "" PARENT_SCOPE)
    if(NOT kinds)
        return()
    endif()
    list(REMOVE_DUPLICATES kinds)
    list(SORT kinds)
    string(REPLACE ";" " " listed "${kinds}")
    set(content "# ThreadSanitizer suppressions of ${name}, made from cmake/tsan/: ${listed}.\n")
    foreach(kind IN LISTS kinds)
        set(part ${SUITE_TSAN_DIR}/${kind}.supp)
        file(READ ${part} text)
        string(APPEND content "\n${text}")
        set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${part})
    endforeach()
    set(file ${CMAKE_BINARY_DIR}/tsan/${name}.supp)
    file(CONFIGURE OUTPUT ${file} CONTENT "${content}" @ONLY)
    set(${out} ${file} PARENT_SCOPE)
endfunction()

# The environment of test program `name`; extra arguments are kinds of
# suppressions it gets besides those named for it.
function(_suite_test_env target name)
    get_property(kinds GLOBAL PROPERTY SUITE_TSAN_KINDS_${name})
    _suite_tsan_file(suppressions ${name} ${kinds} ${ARGN})
    # A longer history keeps the earlier access of a report restorable in
    # busy threads.
    set(tsan "second_deadlock_stack=1:history_size=4")
    if(suppressions)
        string(APPEND tsan ":suppressions=${suppressions}")
    endif()
    set(env
        "QT_QPA_PLATFORM=offscreen"
        "NORRIK_SDK_BIN_32=${SUITE_BIN_DIR}"
        "SUITE_BIN_DIR=${SUITE_BIN_DIR}"
        "SUITE_CTI_DIR=${SUITE_CTI_DIR}"
        "SUITE_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
        "SUITE_BUILD_DIR=${CMAKE_BINARY_DIR}"
        "TSAN_OPTIONS=${tsan}"
        # This runtime's hook on __tls_get_addr makes LeakSanitizer's check at
        # exit crash in some programs run through env or CTest.
        "ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0"
        "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/cmake/lsan.supp:print_suppressions=0"
    )
    set(${target}_ENV ${env} PARENT_SCOPE)
endfunction()

function(suite_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${SUITE_TEST_BIN_DIR})
    target_compile_definitions(${name} PRIVATE
        SUITE_BIN_DIR="${SUITE_BIN_DIR}"
        SUITE_CTI_DIR="${SUITE_CTI_DIR}"
        SUITE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        SUITE_BUILD_DIR="${CMAKE_BINARY_DIR}")
    _suite_test_env(t ${name})
    # Discovered cases cannot carry a list-valued ENVIRONMENT property, so
    # the environment comes from a launcher that runs every case.
    set_target_properties(${name} PROPERTIES
        CROSSCOMPILING_EMULATOR "${CMAKE_COMMAND};-E;env;${t_ENV}")
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES TIMEOUT 300 ${ARG_PROPERTIES})
endfunction()

function(suite_add_qtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES} ${CMAKE_SOURCE_DIR}/cmake/QtTestThreadsAtExit.cpp)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt5::Test Threads::Threads)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${SUITE_TEST_BIN_DIR})
    target_compile_definitions(${name} PRIVATE
        SUITE_BIN_DIR="${SUITE_BIN_DIR}"
        SUITE_CTI_DIR="${SUITE_CTI_DIR}"
        SUITE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        SUITE_BUILD_DIR="${CMAKE_BINARY_DIR}")
    add_test(NAME ${name} COMMAND ${name})
    _suite_test_env(t ${name} qt-test qthread-end)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${t_ENV}" TIMEOUT 300)
endfunction()

function(suite_add_tests_from_glob)
    cmake_parse_arguments(ARG "" "PREFIX" "LIBS" ${ARGN})
    file(GLOB gtests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
    file(GLOB qtests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
    foreach(src IN LISTS gtests)
        get_filename_component(stem ${src} NAME_WE)
        suite_add_gtest(${ARG_PREFIX}${stem} SOURCES ${src} LIBS ${ARG_LIBS})
    endforeach()
    foreach(src IN LISTS qtests)
        get_filename_component(stem ${src} NAME_WE)
        suite_add_qtest(${ARG_PREFIX}${stem} SOURCES ${src} LIBS ${ARG_LIBS})
    endforeach()
endfunction()

# The thread sanitizer build proves that it still sees races in our own code:
# each case of a deliberately racy program runs under the settings of the
# library, simulator, tool and installer programs, where every race must be
# reported, and under each kind of suppressions the viewer's programs get
# (those of a program are the sum of its kinds), where a race must be
# reported unless the case names the kind as one that keeps it hidden. So
# any change in what the suppressions hide is seen. Called once every test
# program is added.
function(suite_add_tsan_selfcheck)
    if(NOT SANITIZE STREQUAL "thread")
        return()
    endif()
    add_executable(TsanSelfCheck ${CMAKE_SOURCE_DIR}/cmake/tests/tsan_selfcheck.cpp)
    target_link_libraries(TsanSelfCheck PRIVATE Qt5::Test Qt5::Gui Threads::Threads)
    set_target_properties(TsanSelfCheck PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${SUITE_TEST_BIN_DIR})
    get_property(viewerKinds GLOBAL PROPERTY SUITE_TSAN_VIEWER_KINDS)
    list(APPEND viewerKinds qt-test qthread-end)
    list(REMOVE_DUPLICATES viewerKinds)
    list(SORT viewerKinds)
    # case | a function of the race, named in its report | the kinds of the
    # viewer's suppressions that keep it hidden
    set(cases
        "memcpy|copyOutThenRead|"
        "delete|readAfterDelete|"
        "async|raceInAsyncTask|"
        "qthread|raceInQThread|"
        "queued-slot|raceInQueuedSlot|"
        "qvector|raceOnQVector|"
        "qtest|writesTwice|"
        "queued-heap-object|fillFrame|thread-pool"
        "std-copy|raceInStdCopy|posted-events"
        "qlist-append|raceOnQListAppend|posted-events,thread-pool"
        "qimage-copy|raceInQImageCopy|"
    )
    foreach(entry IN LISTS cases)
        string(REPLACE "|" ";" entry "${entry}")
        list(GET entry 0 case)
        list(GET entry 1 mark)
        list(GET entry 2 hiddenBy)
        string(REPLACE "," ";" hiddenBy "${hiddenBy}")
        foreach(kind IN LISTS hiddenBy)
            if(NOT kind IN_LIST viewerKinds)
                message(FATAL_ERROR "TsanSelfCheck: '${case}' names '${kind}', which no viewer program gets")
            endif()
        endforeach()
        # A Qt Test program anywhere has Qt Test's own watchdog thread.
        set(base "")
        if(case STREQUAL "qtest")
            set(base ",qt-test,qthread-end")
        endif()
        set(runs "TsanSelfCheck.${case}|reported|${base}")
        foreach(kind IN LISTS viewerKinds)
            if(kind IN_LIST hiddenBy)
                list(APPEND runs "TsanSelfCheck.${case}.under-${kind}.stays-hidden|hidden|${kind}${base}")
            else()
                list(APPEND runs "TsanSelfCheck.${case}.under-${kind}|reported|${kind}${base}")
            endif()
        endforeach()
        foreach(run IN LISTS runs)
            string(REPLACE "|" ";" run "${run}")
            string(REPLACE "," ";" run "${run}")
            list(POP_FRONT run test expect)
            _suite_test_env(t ${test} ${run})
            add_test(NAME ${test}
                COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:TsanSelfCheck> -DCASE=${case}
                    -DMARK=${mark} -DEXPECT=${expect}
                    -P ${CMAKE_SOURCE_DIR}/cmake/tests/TsanSelfCheck.cmake)
            set_tests_properties(${test} PROPERTIES ENVIRONMENT "${t_ENV}" TIMEOUT 60)
        endforeach()
    endforeach()
endfunction()
