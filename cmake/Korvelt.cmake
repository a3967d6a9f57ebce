# Every header is included by its path from the repository root
# (#include "engine/ArchiveRun.h"), but no target sees the repository root.
# Each library offers its own headers only, through a folder of its own in the
# build tree that holds a link to each of them under that same path
# (build/include/kvengine/engine/ArchiveRun.h). A target sees the headers of
# the libraries it links, directly or through their PUBLIC dependencies, and
# nothing else: a header of a library it does not link is not found, and the
# compiler says so.

# korvelt_headers(TARGET SCOPE headers...): makes TARGET's header folder and
# adds it to TARGET's include folders with SCOPE (PUBLIC, INTERFACE, PRIVATE).
# The folder is made anew at each configure, so a header that left the
# library, or the source tree, is no longer offered.
function(korvelt_headers target scope)
  set(folder ${CMAKE_BINARY_DIR}/include/${target})
  file(REMOVE_RECURSE ${folder})
  file(MAKE_DIRECTORY ${folder})
  foreach(header ${ARGN})
    if(NOT EXISTS ${header})
      message(FATAL_ERROR "${target}: the header ${header} does not exist")
    endif()
    file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR} ${header})
    get_filename_component(parent ${folder}/${relative} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${header} ${folder}/${relative} SYMBOLIC)
  endforeach()
  target_include_directories(${target} ${scope} ${folder})
endfunction()

# korvelt_library(NAME SOURCES files... [HEADERS files...] [DEPS libs...])
# A static library of the given sources, each of which must exist, offering
# HEADERS (by default every .h of the current folder) to what links it.
function(korvelt_library name)
  cmake_parse_arguments(L "" "" "SOURCES;HEADERS;DEPS" ${ARGN})
  if(NOT L_SOURCES)
    message(FATAL_ERROR "${name}: no source files")
  endif()
  foreach(f ${L_SOURCES})
    if(NOT EXISTS ${f})
      message(FATAL_ERROR "${name}: the source ${f} does not exist")
    endif()
  endforeach()
  if(NOT DEFINED L_HEADERS)
    file(GLOB L_HEADERS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  endif()
  add_library(${name} STATIC ${L_SOURCES})
  korvelt_headers(${name} PUBLIC ${L_HEADERS})
  target_link_libraries(${name} PUBLIC ${L_DEPS})
endfunction()

# korvelt_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [QT] [APART filter])
# QT tests get a main that creates the QApplication first (tests/QtTestMain.cpp).
# Adds one GoogleTest executable, run by CTest as the test NAME under a pinned
# environment: offscreen Qt, a UTF-8 locale, a fixed time zone, and the program
# folder of the build (KORVELT_BIN); each of its cases is reported as a CTest
# test of its own, NAME.Suite.Case. APART names cases (a gtest filter) that a
# second run, NAME_apart, runs beside the first. The test sees the headers of its own
# folder (#include "tests/engine/EngineRunFixture.h"), the shared test support
# and the libraries it links.
function(korvelt_add_test name)
  cmake_parse_arguments(T "QT" "APART" "SOURCES;LIBS" ${ARGN})
  if(NOT T_SOURCES)
    message(FATAL_ERROR "${name}: no test sources")
  endif()
  if(T_QT)
    add_executable(${name} ${T_SOURCES} ${CMAKE_SOURCE_DIR}/tests/QtTestMain.cpp)
    set(main_lib "")
  else()
    add_executable(${name} ${T_SOURCES})
    set(main_lib GTest::gtest_main)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/bin)
  target_link_libraries(${name} PRIVATE ${T_LIBS} korvelt_test_support GTest::gtest ${main_lib})
  file(GLOB fixtures CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  korvelt_headers(${name} PRIVATE ${fixtures})

  set(rest "*")
  if(T_APART)
    korvelt_test_run(${name} ${name}_apart "${T_APART}")
    # Started first: the cases that run apart are the long ones.
    set_tests_properties(${name}_apart PROPERTIES COST 1000)
    set(rest "-${T_APART}")
  endif()
  korvelt_test_run(${name} ${name} "${rest}")
endfunction()

# korvelt_test_run(PROGRAM RUN FILTER): the ctest test RUN runs the cases of
# PROGRAM that FILTER (a gtest filter) selects, in one process; each case is
# then a ctest test of its own, PROGRAM.Suite.Case, that passes or fails with
# the case (cmake/gtest_cases.py). The cases are listed when PROGRAM is linked.
function(korvelt_test_run program run filter)
  set(script ${CMAKE_SOURCE_DIR}/cmake/gtest_cases.py)
  set(results ${CMAKE_CURRENT_BINARY_DIR}/${run}_results)
  set(cases ${CMAKE_CURRENT_BINARY_DIR}/${run}_cases.cmake)
  add_test(NAME ${run} COMMAND ${Python3_EXECUTABLE} ${script} run $<TARGET_FILE:${program}> ${filter} ${results})
  set_tests_properties(${run} PROPERTIES FIXTURES_SETUP ${run} TIMEOUT 900
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;LC_ALL=C.UTF-8;TZ=Europe/Paris;KORVELT_BIN=${KORVELT_BIN_DIR}")
  add_custom_command(TARGET ${program} POST_BUILD
    COMMAND ${Python3_EXECUTABLE} ${script} list $<TARGET_FILE:${program}> ${filter} ${program} ${results} ${run}
            ${cases}
    BYPRODUCTS ${cases} VERBATIM)
  set(include ${CMAKE_CURRENT_BINARY_DIR}/${run}_include.cmake)
  file(WRITE ${include} "if(EXISTS [==[${cases}]==])\n  include([==[${cases}]==])\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${include})
endfunction()

# korvelt_gui_library(NAME DEPS libs... [EXCLUDE files...]): a static Qt library of
# the current folder's .cpp, .h and .qrc files, offering its headers.
function(korvelt_gui_library name)
  cmake_parse_arguments(G "" "" "DEPS;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  foreach(excluded ${G_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  set(CMAKE_AUTORCC ON)
  add_library(${name} STATIC ${sources})
  set(headers ${sources})
  list(FILTER headers INCLUDE REGEX "\\.h$")
  korvelt_headers(${name} PUBLIC ${headers})
  target_link_libraries(${name} PUBLIC ${G_DEPS})
endfunction()
