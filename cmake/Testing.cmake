# GoogleTest from Debian's source package, built for whichever side this is.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# The Windows side's test code waits on windows, servers and files far more
# than it computes: it is built without optimisation, over one precompiled
# header of the system and GoogleTest headers that serves every test
# executable, which together take about two thirds off a test file's compile
# time. The native tests are left as they are: they compare decoded sound
# sample by sample, and a precompiled header did not shorten their build.
function(tonbar_test_build target)
  if(NOT WIN32)
    return()
  endif()
  if(NOT TARGET tonbar_test_pch)
    file(WRITE ${CMAKE_BINARY_DIR}/tonbar_test_pch.cpp "")
    add_library(tonbar_test_pch OBJECT ${CMAKE_BINARY_DIR}/tonbar_test_pch.cpp)
    target_link_libraries(tonbar_test_pch PRIVATE GTest::gtest)
    target_compile_options(tonbar_test_pch PRIVATE -O0)
    target_precompile_headers(tonbar_test_pch PRIVATE <windows.h> <commctrl.h> <gtest/gtest.h> <string> <vector>
                              <functional> <algorithm>)
  endif()
  target_compile_options(${target} PRIVATE -O0)
  target_precompile_headers(${target} REUSE_FROM tonbar_test_pch)
endfunction()

# tonbar_gtest(<name> LABELS <l>... SOURCES <glob>... [LIBS <lib>...] [TIMEOUT s] [ENV k=v...])
# One test executable per component folder; ctest runs it as one test.
# A folder with no sources yet adds nothing.
function(tonbar_gtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "LABELS;SOURCES;LIBS;ENV" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${T_SOURCES})
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
      TONBAR_SOURCE_DIR="${PROJECT_SOURCE_DIR}" TONBAR_BINARY_DIR="${PROJECT_BINARY_DIR}")
  tonbar_test_build(${name})
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT})
  if(T_ENV)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${T_ENV}")
  endif()
endfunction()
