# libFuzzer harnesses. With BRINDLECOT_FUZZ (clang only) every target is built with
# coverage for the fuzzer and the sanitizers, and each harness becomes a fuzzer
# `<name>_fuzzer`. Without it, each harness is linked with a small replay main instead,
# and CTest runs it over its committed corpus: under the sanitizer build that turns every
# input the fuzzers ever kept into a regression test.
option(BRINDLECOT_FUZZ "Build the libFuzzer harnesses as fuzzers (needs clang)" OFF)

if(BRINDLECOT_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "BRINDLECOT_FUZZ needs clang: configure with CC=clang CXX=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

# brindlecot_add_fuzzer(NAME name SOURCE harness.cpp CORPUS folder LIBS libraries...)
function(brindlecot_add_fuzzer)
  cmake_parse_arguments(ARG "" "NAME;SOURCE;CORPUS" "LIBS" ${ARGN})
  if(BRINDLECOT_FUZZ)
    set(target ${ARG_NAME}_fuzzer)
    add_executable(${target} ${ARG_SOURCE})
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  else()
    set(target ${ARG_NAME}_replay)
    add_executable(${target} ${ARG_SOURCE} ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
    add_test(NAME fuzz_replay.${ARG_NAME} COMMAND ${target} ${ARG_CORPUS})
  endif()
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} brindlecot_fuzz_support)
  brindlecot_set_warnings(${target})
endfunction()
