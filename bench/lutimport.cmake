# Reading a look-up table file for the editor's import: a table of the
# camera's size, and a file of far more entries that the import refuses.
if(TARGET ZelAssistants)
    suite_add_bench(lutimport_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/lutimport_bench.cpp LIBS ZelAssistants)
endif()
