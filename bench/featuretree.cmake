# Building the feature tree of a simulated camera and refreshing it after an
# invalidation.
if(TARGET ZelShell)
    suite_add_bench(featuretree_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/featuretree_bench.cpp LIBS ZelShell)
    target_include_directories(featuretree_bench PRIVATE ${CMAKE_SOURCE_DIR}/viewer/core/tests)
    target_compile_definitions(featuretree_bench PRIVATE SUITE_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
endif()
