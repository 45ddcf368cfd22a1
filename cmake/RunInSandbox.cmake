# Runs one test program in a sandbox folder made empty for this run, so that no run sees
# what an earlier one left: cmake -DSANDBOX=dir -DPROGRAM=exe -P RunInSandbox.cmake
file(REMOVE_RECURSE "${SANDBOX}")
file(MAKE_DIRECTORY "${SANDBOX}/config" "${SANDBOX}/home")
execute_process(COMMAND "${PROGRAM}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} ended with ${result}")
endif()
