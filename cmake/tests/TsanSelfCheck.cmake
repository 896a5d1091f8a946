# Runs one case of the racy program and checks what ThreadSanitizer said.
#   -DPROGRAM=<racy program> -DCASE=<case> -DMARK=<function of the race>
#   -DEXPECT=reported|hidden
# The environment (TSAN_OPTIONS) holds the settings the case runs under.
execute_process(COMMAND "${PROGRAM}" "${CASE}"
    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
string(FIND "${out}" "${CASE} ran:" ran)
if(ran EQUAL -1)
    message(FATAL_ERROR "'${CASE}' did not make its racy accesses to the end (exit ${rc}):\n${out}\n${err}")
endif()

# One report after another; a report of this race names MARK in a frame
# (the racy function, or a lambda within it).
string(REPLACE ";" "," err "${err}")
string(REPLACE "==================" ";" reports "${err}")
set(found "")
foreach(report IN LISTS reports)
    if(report MATCHES "WARNING: ThreadSanitizer: " AND report MATCHES "\n *#[0-9]+ [^\n]*${MARK}")
        set(found "${report}")
        break()
    endif()
endforeach()

if(EXPECT STREQUAL "reported")
    if(NOT found)
        message(FATAL_ERROR "ThreadSanitizer did not report the race of '${CASE}' (in ${MARK}) under these settings (TSAN_OPTIONS=$ENV{TSAN_OPTIONS}):\n${err}")
    endif()
    message(STATUS "The race of '${CASE}' is reported.")
else()
    if(found)
        message(FATAL_ERROR "The race of '${CASE}' is reported now, though these suppressions of the viewer's programs hid it (TSAN_OPTIONS=$ENV{TSAN_OPTIONS}): what they hide changed, so this check and the notes beside the lines must say what they hide now.\n${found}")
    endif()
    message(STATUS "The race of '${CASE}' stays hidden under these suppressions of the viewer's programs (TSAN_OPTIONS=$ENV{TSAN_OPTIONS}).")
endif()
