# korvelt_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [GUI])
# Adds one GoogleTest executable and registers it with CTest under a pinned
# environment: offscreen Qt, a UTF-8 locale, and the program folder of the build.
function(korvelt_add_test name)
  cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/bin)
  target_link_libraries(${name} PRIVATE ${T_LIBS} korvelt_test_support GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;LC_ALL=C.UTF-8;TZ=Europe/Paris;KORVELT_BIN=${KORVELT_BIN_DIR}"
    TIMEOUT 600)
endfunction()
