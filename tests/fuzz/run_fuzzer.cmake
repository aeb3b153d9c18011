# cmake -DTARGET=name -DFUZZER=path -DSECONDS=n -DOUT=build-folder "-DFOLDERS=a;b" -P run_fuzzer.cmake
# Runs one libFuzzer target for SECONDS over those FOLDERS that exist, then
# prints its executions and result and writes them to OUT/logs/TARGET.result.
# New inputs collect in OUT/corpus/TARGET; an input that fails the target is
# kept in OUT/artifacts/TARGET/ (emptied first).
set(artifacts ${OUT}/artifacts/${TARGET})
set(log ${OUT}/logs/${TARGET}.log)
file(REMOVE_RECURSE ${artifacts} ${OUT}/logs/${TARGET}.result)
file(MAKE_DIRECTORY ${artifacts} ${OUT}/corpus/${TARGET} ${OUT}/logs)
set(inputs ${OUT}/corpus/${TARGET})
set(note "")
foreach(folder IN LISTS FOLDERS)
  if(IS_DIRECTORY ${folder})
    list(APPEND inputs ${folder})
  elseif(NOT folder MATCHES "^${CMAKE_CURRENT_LIST_DIR}/")  # one beside the project, not in this clone
    string(APPEND note " (without ${folder}: not there)")
  endif()
endforeach()

execute_process(COMMAND ${FUZZER} -max_total_time=${SECONDS} -timeout=10 -print_final_stats=1
                        -artifact_prefix=${artifacts}/ ${inputs}
                INPUT_FILE /dev/null OUTPUT_FILE ${log} ERROR_FILE ${log} RESULT_VARIABLE status)
file(STRINGS ${log} runs REGEX "^stat::number_of_executed_units:")
string(REGEX REPLACE ".*: *" "" runs "${runs}")
if(status EQUAL 0)
  set(result "fuzz: ${TARGET}: ${runs} executions in ${SECONDS} s: ok${note}\n")
else()
  file(STRINGS ${log} why REGEX "^(property failed|  value|  from|==[0-9]+==ERROR|SUMMARY)")
  file(GLOB kept ${artifacts}/*)
  list(JOIN why "\n" why)
  list(JOIN kept " " kept)
  set(result "fuzz: ${TARGET}: ${runs} executions: FAILED (${status}), log ${log}${note}\n${why}\ninput kept: ${kept}\n")
endif()
file(WRITE ${OUT}/logs/${TARGET}.result "${result}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${result}")
endif()
message("${result}")
