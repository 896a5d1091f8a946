suite_add_bench(gige_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/gige_bench.cpp LIBS pellago_static)
target_include_directories(gige_bench PRIVATE ${CMAKE_SOURCE_DIR}/libs/gige/tests)
