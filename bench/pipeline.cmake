# Live images through the acquisition engine on the simulated camera.
if(TARGET ZelCore)
    suite_add_bench(pipeline_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/pipeline_bench.cpp LIBS ZelCore)
    target_include_directories(pipeline_bench PRIVATE ${CMAKE_SOURCE_DIR}/viewer/core/tests)
    target_compile_definitions(pipeline_bench PRIVATE SUITE_BIN_DIR="${SUITE_BIN_DIR}")
endif()
