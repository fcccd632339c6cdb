# Runs the bundled footing example in a fresh run folder, keeps the program's
# terminal in terminal.txt there, then says where the results are and shows
# the run's summary: the terminal's lines from the first " Summary" on.
#
# cmake -DPROGRAM=<pourheat> -DEXAMPLE=<examples/footing> -DRUN=<run folder> -P run-example.cmake
file(REMOVE_RECURSE "${RUN}")
file(COPY "${EXAMPLE}/" DESTINATION "${RUN}")
execute_process(COMMAND "${PROGRAM}" footing.prj run.log done.flg
  WORKING_DIRECTORY "${RUN}"
  INPUT_FILE /dev/null
  OUTPUT_FILE "${RUN}/terminal.txt" ERROR_FILE "${RUN}/terminal.txt"
  RESULT_VARIABLE status)

file(READ "${RUN}/terminal.txt" terminal)
set(flag "")
if(EXISTS "${RUN}/done.flg")
  file(READ "${RUN}/done.flg" flag)
endif()
if(NOT status EQUAL 0 OR NOT flag MATCHES "Finished")
  string(LENGTH "${terminal}" length)
  set(from 0)
  if(length GREATER 1200)
    math(EXPR from "${length} - 1200")
  endif()
  string(SUBSTRING "${terminal}" ${from} -1 tail)
  message(FATAL_ERROR "pourheat ended with status ${status} and no Finished in done.flg; "
    "the end of ${RUN}/terminal.txt:\n${tail}")
endif()

file(GLOB files RELATIVE "${RUN}" "${RUN}/*")
list(SORT files)
list(JOIN files " " listing)
message("pourheat finished the example: status 0, done.flg holds Finished.\n"
  "Results in ${RUN}:\n  ${listing}\n"
  "terminal.txt holds the program's terminal lines, run.log its log.")
string(FIND "\n${terminal}" "\n Summary" at)
if(at GREATER -1)
  string(SUBSTRING "${terminal}" ${at} -1 summary)
  message("${summary}")
endif()
