# Get requests answered by the TCP feature server over loopback, from one
# and from sixteen clients, and how late the GUI thread's timers fire meanwhile.
if(TARGET ZelShell)
    suite_add_bench(tcpserver_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tcpserver_bench.cpp LIBS ZelShell)
endif()
