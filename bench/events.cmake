# Events written into the event viewer's full logs.
if(TARGET ZelAssistants)
    suite_add_bench(events_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/events_bench.cpp LIBS ZelAssistants Qt5::Test)
    target_compile_definitions(events_bench PRIVATE SUITE_BIN_DIR="${SUITE_BIN_DIR}")
    target_include_directories(events_bench PRIVATE ${CMAKE_SOURCE_DIR}/viewer/core/tests)
endif()
