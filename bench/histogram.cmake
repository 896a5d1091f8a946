# Pixel counting of the histogram window's extraction thread.
if(TARGET ZelCorrection)
    suite_add_bench(histogram_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/histogram_bench.cpp LIBS ZelCorrection)
endif()
