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

include(GoogleTest)

set(SUITE_TEST_BIN_DIR ${CMAKE_BINARY_DIR}/tests-bin)

function(_suite_test_env target)
    set(env
        "QT_QPA_PLATFORM=offscreen"
        "NORRIK_SDK_BIN_32=${SUITE_BIN_DIR}"
        "SUITE_BIN_DIR=${SUITE_BIN_DIR}"
        "SUITE_CTI_DIR=${SUITE_CTI_DIR}"
        "SUITE_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
        "SUITE_BUILD_DIR=${CMAKE_BINARY_DIR}"
        # Qt's own hand-overs, guarded by futex mutexes the sanitizer cannot
        # see, are silenced one by one in tsan.supp. A longer history keeps
        # the earlier access of a report restorable in busy threads.
        "TSAN_OPTIONS=second_deadlock_stack=1:history_size=4:suppressions=${CMAKE_SOURCE_DIR}/cmake/tsan.supp"
        "ASAN_OPTIONS=detect_leaks=1"
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
    _suite_test_env(t)
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
    _suite_test_env(t)
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
# each case of a deliberately racy program runs with the environment every
# test gets and passes only when ThreadSanitizer reports it in that program.
if(SANITIZE STREQUAL "thread")
    add_executable(TsanSelfCheck ${CMAKE_CURRENT_LIST_DIR}/tests/tsan_selfcheck.cpp)
    target_link_libraries(TsanSelfCheck PRIVATE Qt5::Test Threads::Threads)
    set_target_properties(TsanSelfCheck PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${SUITE_TEST_BIN_DIR})
    _suite_test_env(t)
    foreach(case memcpy delete async qthread queued-slot qvector qtest)
        add_test(NAME TsanSelfCheck.${case} COMMAND TsanSelfCheck ${case})
        set_tests_properties(TsanSelfCheck.${case} PROPERTIES
            ENVIRONMENT "${t_ENV}"
            TIMEOUT 60
            PASS_REGULAR_EXPRESSION "SUMMARY: ThreadSanitizer: [a-z -]+ [^ ]*tsan_selfcheck\\.cpp")
    endforeach()
endif()
