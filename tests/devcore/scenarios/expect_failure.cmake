# Plays a scenario that must fail: devcore has to exit with status 1 and print exactly the expected text, where the
# run's time is written <time>.
# Run with -DDEVCORE=<program> -DEMULATOR=<runner or empty> -DPLUGIN=<library> -DSCENARIO=<file in this folder>
# -DEXPECTED=<file of the expected output>.
execute_process(COMMAND ${EMULATOR} ${DEVCORE} run ${SCENARIO} --plugin ${PLUGIN}
                WORKING_DIRECTORY ${CMAKE_CURRENT_LIST_DIR}
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
# Windows programs end their lines with CR LF.
string(REPLACE "\r\n" "\n" output "${output}")
string(REGEX REPLACE " in [0-9]+\\.[0-9][0-9]s\n$" " in <time>\n" output "${output}")
file(READ ${EXPECTED} expected)
message("${output}")
if(NOT status EQUAL 1)
  message(FATAL_ERROR "devcore exited with ${status}; a failing scenario must give 1")
endif()
if(NOT output STREQUAL expected)
  message(FATAL_ERROR "devcore's output differs from ${EXPECTED}, which holds:\n${expected}")
endif()
