# Included only when BUILD_TESTING is on: the test helpers and the checks over the whole source tree.
include_guard(GLOBAL)

if(LUMENO_EDITOR)
  find_package(Qt6 REQUIRED COMPONENTS Test)
endif()

# lumeno_add_qtest(NAME name SOURCES a.cpp ... LIBS lib ...)
# One test executable per tested class or rule, run offscreen by CTest.
function(lumeno_add_qtest)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/tests)
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} lumeno_testsupport Qt6::Test)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_ENABLE_REGEXP_JIT=0"
    TIMEOUT ${T_TIMEOUT}
    LABELS "${T_LABELS}")
endfunction()

# Every tracked C++ file is formatted by the project's .clang-format; skipped without clang-format.
add_test(NAME test_format COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/check-format.sh ${PROJECT_SOURCE_DIR})
set_tests_properties(test_format PROPERTIES SKIP_RETURN_CODE 77 LABELS format TIMEOUT 300)
