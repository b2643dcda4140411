# Shared build conventions: warnings as errors in our code, optional sanitizers.

include(${CMAKE_CURRENT_LIST_DIR}/KlModuleViews.cmake)

set(KL_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Werror)

# lld links the test binaries, heavy with debug information, several times
# faster than the default linker; without it the default one does.
include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=lld KL_HAVE_LLD)
if(KL_HAVE_LLD)
  add_link_options(-fuse-ld=lld)
endif()

if(KL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# kl_library(NAME SOURCES... [DEPS ...]) : a static module library (PIC, linked
# into the add-on, the tools and the tests).
function(kl_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS;PUBLIC_INCLUDE" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES} ${A_UNPARSED_ARGUMENTS})
  target_compile_options(${name} PRIVATE ${KL_WARNINGS})
  kl_module_includes(${name})
  if(A_DEPS)
    target_link_libraries(${name} PUBLIC ${A_DEPS})
  endif()
endfunction()

# kl_executable(NAME SOURCES... [DEPS ...])
function(kl_executable name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES} ${A_UNPARSED_ARGUMENTS})
  target_compile_options(${name} PRIVATE ${KL_WARNINGS})
  kl_module_includes(${name})
  if(A_DEPS)
    target_link_libraries(${name} PRIVATE ${A_DEPS})
  endif()
endfunction()

# kl_test(NAME SOURCES... [DEPS ...] [LABELS ...]) : a GoogleTest binary, one
# ctest entry per binary so that ctest -j spreads binaries over the cores.
function(kl_test name)
  cmake_parse_arguments(A "" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${A_SOURCES} ${A_UNPARSED_ARGUMENTS})
  target_compile_options(${name} PRIVATE ${KL_WARNINGS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${A_DEPS} kl_test_main GTest::gtest GTest::gmock)
  if(KL_UNITY_BUILD)
    # gcc warns when a class in an included file derives from a type of an
    # anonymous namespace; in a batch every test file is an included one, and
    # each TEST_F of a fixture kept file-local would trip it. Trees built file
    # by file keep the warning.
    target_compile_options(${name} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-Wno-subobject-linkage>)
  endif()
  target_compile_definitions(${name} PRIVATE
    KL_SAMPLES_DIR="${KL_SAMPLES_DIR}"
    KL_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    KL_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 600)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${A_TIMEOUT}
    ENVIRONMENT "LC_ALL=pl_PL.UTF-8;LANG=pl_PL.UTF-8")
  if(A_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${A_LABELS}")
  endif()
endfunction()

# kl_node_test(NAME SCRIPT [ARGS ...] [LABELS ...]) : a test written in Node
# (browser tests through playwright-core, WASM oracles).
function(kl_node_test name script)
  cmake_parse_arguments(A "" "TIMEOUT" "ARGS;LABELS;DEPENDS_TARGETS" ${ARGN})
  add_test(NAME ${name} COMMAND node ${script} ${A_ARGS})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 600)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${A_TIMEOUT}
    ENVIRONMENT "NODE_PATH=${KL_NODE_MODULES};KL_BINARY_DIR=${CMAKE_BINARY_DIR};KL_SOURCE_DIR=${CMAKE_SOURCE_DIR};KL_SAMPLES_DIR=${KL_SAMPLES_DIR};LC_ALL=pl_PL.UTF-8")
  if(A_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${A_LABELS}")
  endif()
endfunction()

# kl_fuzzer(NAME SOURCES... DEPS ...) : a libFuzzer target, built only with
# KL_FUZZ=ON and clang.
function(kl_fuzzer name)
  if(NOT KL_FUZZ)
    return()
  endif()
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES} ${A_UNPARSED_ARGUMENTS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE ${A_DEPS})
endfunction()

# Adds every sub-folder of the current folder that has a CMakeLists.txt, in
# name order, so a new module or test group joins without editing a list.
function(kl_add_subdirectories)
  file(GLOB _subs LIST_DIRECTORIES true "${CMAKE_CURRENT_SOURCE_DIR}/*")
  list(SORT _subs)
  foreach(s ${_subs})
    if(IS_DIRECTORY "${s}" AND EXISTS "${s}/CMakeLists.txt")
      add_subdirectory("${s}")
    endif()
  endforeach()
endfunction()
