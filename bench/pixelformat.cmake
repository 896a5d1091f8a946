# Pixel-format queries asked of every displayed image, and the deep copy of
# an image for saving.
if(TARGET ZelCore)
    suite_add_bench(pixelformat_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/pixelformat_bench.cpp LIBS ZelCore)
endif()
