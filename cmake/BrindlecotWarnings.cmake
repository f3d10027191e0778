# Warnings are errors for our own code; sanitizers, when asked for, cover every target
# (including the shared library that the tests load with dlopen).
if(BRINDLECOT_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

function(brindlecot_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  # GCC 12 reports -Wrestrict inside std::string concatenation once it is inlined at -O3
  # (GCC bug 105329, seen on GCC 12 only): a false positive in the standard library's code
  # that would stop every Release build on Debian 12.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()

# One test executable per module: links GoogleTest and registers every test with CTest.
function(brindlecot_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  find_package(GTest REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  brindlecot_set_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  # Tests reach into every layer and share tests/support/.
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE
    BRINDLECOT_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    BRINDLECOT_STAGE_DIR="${BRINDLECOT_STAGE_DIR}")
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

function(brindlecot_add_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  brindlecot_set_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE
    BRINDLECOT_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    BRINDLECOT_STAGE_DIR="${BRINDLECOT_STAGE_DIR}")
endfunction()
