suite_add_bench(jotwell_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/jotwell_bench.cpp LIBS Jotwell)
