# Makes the CPack ZIP of a build into OUT_DIR, prints its listing and fails
# unless its files, below the one top folder, are exactly those of EXPECTED
# (one per line, @CONFIG@ standing for the lower-case build type).
# cmake -DCPACK=... -DBINARY_DIR=... -DOUT_DIR=... -DEXPECTED=... -DCONFIG=... -P ListPackage.cmake
file(REMOVE_RECURSE ${OUT_DIR})
execute_process(COMMAND ${CPACK} -G ZIP --config ${BINARY_DIR}/CPackConfig.cmake -B ${OUT_DIR}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(GLOB zips ${OUT_DIR}/*.zip)
list(LENGTH zips count)
if(NOT result EQUAL 0 OR NOT count EQUAL 1)
  message(FATAL_ERROR "cpack made ${count} ZIP(s), exit code ${result}:\n${output}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${zips} OUTPUT_VARIABLE listing RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${zips} could not be listed")
endif()
message(STATUS "${zips}:\n${listing}")

string(REPLACE "\n" ";" entries "${listing}")
set(files "")
foreach(entry IN LISTS entries)
  if(entry MATCHES "^[^/]+/(.*[^/])$") # below the top folder; folders end in "/"
    list(APPEND files "${CMAKE_MATCH_1}")
  endif()
endforeach()
file(STRINGS ${EXPECTED} expected)
list(TRANSFORM expected REPLACE "@CONFIG@" "${CONFIG}")
list(SORT files)
list(SORT expected)
if(NOT files STREQUAL expected)
  set(extra ${files})
  list(REMOVE_ITEM extra ${expected})
  set(missing ${expected})
  list(REMOVE_ITEM missing ${files})
  message(FATAL_ERROR "the ZIP differs from ${EXPECTED}\n  not expected: ${extra}\n  missing: ${missing}")
endif()
