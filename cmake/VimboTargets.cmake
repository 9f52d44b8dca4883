# Shared target helpers: warnings for our own code, library per layer, one test binary per test folder.

function(vimbo_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(VIMBO_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# Precompiled headers: the standard headers nearly every source includes and, per library, the
# heaviest headers its own sources share; they make a build from scratch cheaper. Each source
# still includes what it uses (-DVIMBO_PCH=OFF checks that). A compiler cache cannot share its
# results between build folders once precompiled headers are in use (each folder's differ), so
# with ccache as the launcher they are off unless asked for.
if(CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
  set(vimbo_pch_default OFF)
else()
  set(vimbo_pch_default ON)
endif()
option(VIMBO_PCH "Precompile the headers most sources include" ${vimbo_pch_default})
set(VIMBO_STD_PCH <algorithm> <array> <chrono> <cmath> <cstdint> <functional> <map> <memory> <mutex>
    <optional> <set> <string> <string_view> <utility> <variant> <vector>)

function(vimbo_precompile target)
  if(VIMBO_PCH)
    target_precompile_headers(${target} PRIVATE ${VIMBO_STD_PCH} ${ARGN})
  endif()
endfunction()

# vimbo_library(NAME DIRS dir... [DEPS lib...] [EXCLUDE regex])
# Every .cpp below the given folders (relative to src/) is part of the library.
function(vimbo_library name)
  cmake_parse_arguments(ARG "" "EXCLUDE" "DIRS;DEPS" ${ARGN})
  set(sources)
  foreach(dir IN LISTS ARG_DIRS)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  if(ARG_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "${ARG_EXCLUDE}")
  endif()
  if(NOT sources)
    set(stub ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${stub} "namespace { [[maybe_unused]] int unused_${name} = 0; }\n")
    set(sources ${stub})
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  vimbo_warnings(${name})
endfunction()

# Test binaries cost far more to compile than to run, so in the optimised build types they are
# compiled lightly (-Og, no debug info) while the libraries and the app keep the build type's
# options; Debug builds (the sanitizer runs) keep full debug info. Each folder's sources are also
# compiled in unity batches, so the fixtures, gtest and the templates they instantiate are parsed
# and generated once per batch instead of once per file: names private to a test file must differ
# from those of the other files of its folder. -DVIMBO_TEST_UNITY=OFF compiles file by file.
set(VIMBO_LIGHT_OPTIONS "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-Og;-g0>")
option(VIMBO_TEST_UNITY "Compile each test folder in unity batches" ON)
set(VIMBO_TEST_UNITY_BATCH 0 CACHE STRING "Test sources per unity batch (0: the whole folder)")

function(vimbo_test_executable target)
  add_executable(${target} ${ARGN})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_options(${target} PRIVATE ${VIMBO_LIGHT_OPTIONS})
  if(VIMBO_TEST_UNITY)
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${VIMBO_TEST_UNITY_BATCH})
    # GCC takes an included .cpp for a header and then warns about every coroutine frame of a
    # header template that holds a lambda of the test file: not a fault in a single binary.
    target_compile_options(${target} PRIVATE -Wno-subobject-linkage)
  endif()
  vimbo_warnings(${target})
endfunction()

# vimbo_test_folder(NAME DEPS lib... [LABELS label...])
# All *.cpp files of the calling folder form one test binary; files whose name
# contains "Threaded" form a second binary labelled "threads" (run under TSan in CI).
function(vimbo_test_folder name)
  cmake_parse_arguments(ARG "" "" "DEPS;LABELS" ${ARGN})
  file(GLOB all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  set(plain ${all})
  set(threaded ${all})
  list(FILTER plain EXCLUDE REGEX "Threaded[^/]*\\.cpp$")
  list(FILTER threaded INCLUDE REGEX "Threaded[^/]*\\.cpp$")
  if(plain)
    vimbo_test_executable(${name} ${plain})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
      PROPERTIES LABELS "${name};${ARG_LABELS}" ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
  if(threaded)
    vimbo_test_executable(${name}_threaded ${threaded})
    target_link_libraries(${name}_threaded PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
    gtest_discover_tests(${name}_threaded DISCOVERY_TIMEOUT 60
      PROPERTIES LABELS "threads;${name};${ARG_LABELS}" ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()
