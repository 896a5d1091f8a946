# Conversions and image production of the simulated camera SDK.
if(TARGET QuillanCore)
    suite_add_bench(sim_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sim_bench.cpp LIBS QuillanCore)
endif()
