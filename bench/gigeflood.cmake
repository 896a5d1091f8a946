suite_add_bench(gigeflood_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/gigeflood_bench.cpp LIBS pellago_static)
target_include_directories(gigeflood_bench PRIVATE ${CMAKE_SOURCE_DIR}/libs/gige/tests)
