# Every header is included by its path from the repository root
# (#include "engine/ArchiveRun.h"), but no target sees the repository root.
# Each library offers its own headers only, through a folder of its own in the
# build tree that holds a link to each of them under that same path
# (build/include/kvengine/engine/ArchiveRun.h). A target sees the headers of
# the libraries it links, directly or through their PUBLIC dependencies, and
# nothing else: a header of a library it does not link is not found, and the
# compiler says so.

include(GoogleTest)

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
# Adds one GoogleTest executable and registers each of its cases with CTest as
# NAME.Suite.Case, under a pinned environment: offscreen Qt, a UTF-8 locale, a
# fixed time zone, and the program folder of the build (KORVELT_BIN). The
# cases of one program share a lock, so they never run at the same time (some
# use the user's scheduler socket, or the process environment, as the real
# program does); APART names cases (a gtest filter) that hold a lock of their
# own and so run beside the others. The test sees the headers of its own
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
    korvelt_discover_cases(${name} "${T_APART}" ${name}_apart)
    set(rest "-${T_APART}")
  endif()
  korvelt_discover_cases(${name} "${rest}" ${name})
endfunction()

# The cases of test program NAME that FILTER selects, as ctest tests holding
# LOCK, listed when the program is linked.
function(korvelt_discover_cases name filter lock)
  set(cases ${lock}_cases)
  gtest_discover_tests(${name} TEST_PREFIX "${name}." TEST_FILTER "${filter}" TEST_LIST ${cases}
    NO_PRETTY_VALUES DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 900 RESOURCE_LOCK ${lock})
  # The discovery cannot carry a list (the environment) to the cases: ctest
  # sets it on them once it has read them.
  set(environment QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 LC_ALL=C.UTF-8 TZ=Europe/Paris
      KORVELT_BIN=${KORVELT_BIN_DIR})
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${cases}_environment.cmake)
  file(WRITE ${script} "if(${cases})\n"
    "  set_tests_properties(\${${cases}} PROPERTIES ENVIRONMENT [==[${environment}]==])\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
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
