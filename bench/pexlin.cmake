# Images through U3V_GetImage from the simulated USB3 Vision camera.
if(TARGET PexlinCore AND TARGET U3vSim)
    suite_add_bench(pexlin_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/pexlin_bench.cpp
        LIBS PexlinCore U3vSim)
endif()
