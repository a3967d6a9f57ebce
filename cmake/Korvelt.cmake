# korvelt_library(NAME SOURCES files... [DEPS libs...])
# A static library when it has sources, an interface library until then, so a
# folder can join the build before its first source lands.
function(korvelt_library name)
  cmake_parse_arguments(L "" "" "SOURCES;DEPS" ${ARGN})
  set(existing "")
  foreach(f ${L_SOURCES})
    if(EXISTS ${f})
      list(APPEND existing ${f})
    endif()
  endforeach()
  if(existing)
    add_library(${name} STATIC ${existing})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${L_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${L_DEPS})
  endif()
endfunction()

# korvelt_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [QT])
# QT tests get a main that creates the QApplication first (tests/QtTestMain.cpp).
# Adds one GoogleTest executable and registers it with CTest under a pinned
# environment: offscreen Qt, a UTF-8 locale, a fixed time zone, and the program
# folder of the build (KORVELT_BIN).
function(korvelt_add_test name)
  cmake_parse_arguments(T "QT" "" "SOURCES;LIBS" ${ARGN})
  if(T_QT)
    add_executable(${name} ${T_SOURCES} ${CMAKE_SOURCE_DIR}/tests/QtTestMain.cpp)
    set(main_lib "")
  else()
    add_executable(${name} ${T_SOURCES})
    set(main_lib GTest::gtest_main)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/bin)
  target_link_libraries(${name} PRIVATE ${T_LIBS} korvelt_test_support GTest::gtest ${main_lib})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;LC_ALL=C.UTF-8;TZ=Europe/Paris;KORVELT_BIN=${KORVELT_BIN_DIR}"
    TIMEOUT 900)
endfunction()

# korvelt_gui_library(NAME DEPS libs... [EXCLUDE files...]): a static Qt library of
# the current folder's .cpp, .h and .qrc files.
function(korvelt_gui_library name)
  cmake_parse_arguments(G "" "" "DEPS;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  foreach(excluded ${G_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  set(CMAKE_AUTORCC ON)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${G_DEPS})
endfunction()
