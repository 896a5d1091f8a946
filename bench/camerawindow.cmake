# The whole road from the simulated stream to the painted image of an open
# camera window: frames shown against frames delivered.
if(TARGET ZelShell)
    suite_add_bench(camerawindow_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/camerawindow_bench.cpp LIBS ZelShell)
    target_include_directories(camerawindow_bench PRIVATE ${CMAKE_SOURCE_DIR}/viewer/core/tests)
    target_compile_definitions(camerawindow_bench PRIVATE SUITE_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
endif()
