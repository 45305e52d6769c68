# Shared build settings: warnings, sanitizers, ccache, and helpers for tests.

find_program(KELDA_CCACHE ccache)
if(KELDA_CCACHE)
  set(CMAKE_C_COMPILER_LAUNCHER ${KELDA_CCACHE})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${KELDA_CCACHE})
endif()

if(KELDA_SANITIZE AND KELDA_TSAN)
  message(FATAL_ERROR "KELDA_SANITIZE and KELDA_TSAN cannot be combined")
endif()

set(KELDA_SANITIZER_FLAGS "")
if(KELDA_SANITIZE)
  set(KELDA_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
elseif(KELDA_TSAN)
  set(KELDA_SANITIZER_FLAGS -fsanitize=thread -fno-omit-frame-pointer)
endif()
if(KELDA_FUZZ)
  list(APPEND KELDA_SANITIZER_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
endif()
add_compile_options(${KELDA_SANITIZER_FLAGS})
add_link_options(${KELDA_SANITIZER_FLAGS})

# Warnings apply to our own targets only (third-party headers are system includes).
function(kelda_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-missing-field-initializers)
  # g++ 12 at -O2/-O3 reports impossible overlaps and sizes inside libstdc++'s
  # own string code (false positives of its flow analysis).
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-restrict -Wno-stringop-overflow -Wno-stringop-overread -Wno-array-bounds)
  endif()
  if(KELDA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# kelda_add_test(name SOURCES ... LIBS ... [LABELS ...])
# One test program per module concern; each gtest case becomes a CTest test and
# runs in a fresh temporary folder of its own (see tests/support/test_main.cpp).
function(kelda_add_test name)
  if(NOT KELDA_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(KELDA_TEST_PROGRAMS_IN_ALL)
    add_executable(${name} ${T_SOURCES})
  else()
    add_executable(${name} EXCLUDE_FROM_ALL ${T_SOURCES})
  endif()
  kelda_target_defaults(${name})
  target_link_libraries(${name} PRIVATE kelda_test_main ${T_LIBS})
  if("threads" IN_LIST T_LABELS)
    set_property(GLOBAL APPEND PROPERTY KELDA_THREADS_TESTS ${name})
  endif()
  # Discovery flattens property values, so ENVIRONMENT holds one variable
  # (test_main.cpp sets QT_QPA_PLATFORM itself), and LABELS is passed only
  # when there are labels (an empty value would take the next word).
  set(test_properties ENVIRONMENT "KELDA_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/data")
  if(T_LABELS)
    list(APPEND test_properties LABELS "${T_LABELS}")
  endif()
  # Listing a sanitised Qt test program can take seconds on a loaded machine:
  # give discovery far more than its default five seconds.
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES ${test_properties})
endfunction()

# kelda_add_fuzzer(name SOURCES ... LIBS ...): a libFuzzer target with a seed corpus
# in fuzz/corpus/<name>.
function(kelda_add_fuzzer name)
  if(NOT KELDA_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  kelda_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_property(GLOBAL APPEND PROPERTY KELDA_FUZZERS ${name})
endfunction()

# kelda_add_bench(name SOURCES ... LIBS ...): listed in benches.txt, which
# scripts/test reads for the benchmarks' smoke run.
function(kelda_add_bench name)
  if(NOT KELDA_BENCH)
    return()
  endif()
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${B_SOURCES})
  kelda_target_defaults(${name})
  target_link_libraries(${name} PRIVATE benchmark::benchmark ${B_LIBS})
  set_property(GLOBAL APPEND PROPERTY KELDA_BENCHES ${name})
endfunction()

# kelda_export_only(target PATTERN...): the shared library exports exactly the
# names matching the patterns (shell globs, e.g. "zn_tcp_*"); everything else,
# including the standard library's template instances, stays inside.
# These libraries are linked by import and keep process-lifetime state (their
# threads may outlive any caller), so they are never unmapped: a dlclose of one
# loaded by name leaves it in place (-z nodelete).
function(kelda_export_only target)
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}.exports.map)
  list(JOIN ARGN "; " patterns)
  # Written only when its text changes: a new time stamp at every configure
  # would relink the library each time.
  file(CONFIGURE OUTPUT ${script} CONTENT "{\n  global: ${patterns};\n  local: *;\n};\n" @ONLY)
  target_link_options(${target} PRIVATE -Wl,--version-script=${script} -Wl,-z,nodelete)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
endfunction()
