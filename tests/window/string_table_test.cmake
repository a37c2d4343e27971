# Runs string_table.cmake on a resource script written in the forms it must read (CRLF lines,
# ids from an included header in decimal and hex, both block spellings, doubled quotes,
# semicolons, brackets, escapes, Japanese, comments, other resources between the blocks) and
# compares the table with the expected one.
#   cmake -DSCRIPT=<string_table.cmake> -DCASE=<dir> -DOUTPUT=<table.cpp> -P string_table_test.cmake
execute_process(COMMAND ${CMAKE_COMMAND} -DRC=${CASE}/strings.rc -DOUTPUT=${OUTPUT} -P ${SCRIPT}
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "string_table.cmake failed on ${CASE}/strings.rc")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${CASE}/strings.expected RESULT_VARIABLE differs)
if(differs)
  file(READ ${OUTPUT} got)
  message(FATAL_ERROR "the table differs from ${CASE}/strings.expected:\n${got}")
endif()
