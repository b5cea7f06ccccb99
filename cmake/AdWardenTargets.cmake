# Helpers shared by the stand-ins, the tests and the benchmarks.

# A stand-in for a host or vendor DLL: built under its real file name, its
# declarations in platform/, its own export macro switched on by <NAME>_EXPORTS.
function(adw_hostenv_dll name)
  cmake_parse_arguments(ARG "" "OUTPUT_SUBDIR" "SOURCES;LIBS" ${ARGN})
  add_library(${name} SHARED ${ARG_SOURCES})
  string(TOUPPER ${name} upper)
  target_compile_definitions(${name} PRIVATE ${upper}_EXPORTS)
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/platform ${CMAKE_SOURCE_DIR}/hostenv)
  if(ARG_LIBS)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  endif()
  set_target_properties(${name} PROPERTIES PREFIX "" IMPORT_PREFIX "" IMPORT_SUFFIX ".lib")
  if(ARG_OUTPUT_SUBDIR)
    set_target_properties(${name} PROPERTIES
      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/${ARG_OUTPUT_SUBDIR})
  endif()
endfunction()

# One GoogleTest executable; each test case runs as its own ctest test under Wine.
# LOCKS names the state its cases share with cases of other executables, so that
# `ctest -j` never runs two cases holding the same lock at once:
#   hkcu_config   HKCU\SOFTWARE\Norvane\Hubrix\Kelvane, also reached as
#                 HKEY_USERS\<user SID>\SOFTWARE\Norvane\Hubrix\Kelvane (the same key)
#   hklm_config   HKLM\SOFTWARE\Norvane\Hubrix\Kelvane, the focus gates and lists
#   install_path  the host program under C:\Program Files\Norvane\Hubrix\components\Kelvane\
#   assistant_pipe  the assistant's named pipe \\.\Pipe\iCorvoAssistant, served or left free
function(adw_add_gtest name)
  cmake_parse_arguments(ARG "SERIAL" "LABEL;TIMEOUT" "SOURCES;LIBS;LOCKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} adw_testsupport GTest::gtest GTest::gtest_main)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set(props TIMEOUT ${ARG_TIMEOUT})
  if(ARG_SERIAL)
    list(APPEND props RUN_SERIAL TRUE)
  endif()
  if(ARG_LABEL)
    list(APPEND props LABELS ${ARG_LABEL})
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
    PROPERTIES ${props})
  if(ARG_LOCKS)
    # gtest_discover_tests flattens a list given in PROPERTIES, so the locks are
    # set by a ctest script included after the discovered cases (which it names).
    set(locks_script ${CMAKE_CURRENT_BINARY_DIR}/${name}_locks.cmake)
    file(WRITE ${locks_script}
      "if(${name}_TESTS)\n"
      "  set_tests_properties(\${${name}_TESTS} PROPERTIES RESOURCE_LOCK \"${ARG_LOCKS}\")\n"
      "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${locks_script})
  endif()
endfunction()

# Broken installations. The engine's path is fixed beside the executable, so
# each case is an executable of its own in a folder of its own, with the DLLs it
# imports copied beside it; cases run in parallel without touching each other's files.
function(adw_vendor_case_gtest name)
  cmake_parse_arguments(ARG "" "CASE_DIR;WORKING_SUBDIR" "SOURCES" ${ARGN})
  set(dir ${CMAKE_BINARY_DIR}/bin/${ARG_CASE_DIR})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE adwarden_objects adw_testsupport GTest::gtest GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${dir})
  add_custom_command(TARGET ${name} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_RUNTIME_DLLS:${name}> ${dir}
    COMMAND_EXPAND_LISTS)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${dir}/${ARG_WORKING_SUBDIR}
    PROPERTIES TIMEOUT 120 RESOURCE_LOCK hkcu_config)
endfunction()
