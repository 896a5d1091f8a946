# Painting full camera frames into a full-HD image view.
if(TARGET ZelShell)
    suite_add_bench(imageview_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/imageview_bench.cpp LIBS ZelShell)
endif()
