# An INTERFACE library standing for a whole layer: links its subsystem libraries.
function(vantrel_layer name)
  add_library(${name} INTERFACE)
  target_link_libraries(${name} INTERFACE ${ARGN})
endfunction()

# A static library of one subsystem; sources relative to the calling folder.
# Include paths are rooted at the repository, so headers read
# "engine/Array.h", "platform/d3d9/d3d9.h", "engine/Log.h".
function(vantrel_library name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(A_LIBS)
    target_link_libraries(${name} PUBLIC ${A_LIBS})
  endif()
endfunction()

# A GoogleTest executable registered with CTest.
#   vantrel_test(name LABEL unit SOURCES a.cpp b.cpp LIBS lib... [TIMEOUT s] [ENV VAR=value...])
# Each test case becomes its own CTest test carrying the label and a timeout,
# and runs in a scratch folder of its own under the build tree.
function(vantrel_test name)
  cmake_parse_arguments(A "" "LABEL;TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 120)
  endif()
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  set(workdir ${CMAKE_BINARY_DIR}/testwork/${name})
  file(MAKE_DIRECTORY ${workdir})
  target_compile_definitions(${name} PRIVATE
    VANTREL_SOURCE_DIR="${PROJECT_SOURCE_DIR}" VANTREL_BINARY_DIR="${CMAKE_BINARY_DIR}" VANTREL_RUN_DIR="${VANTREL_RUN_DIR}")
  set(env "VANTREL_SOURCE_DIR=${PROJECT_SOURCE_DIR};VANTREL_BINARY_DIR=${CMAKE_BINARY_DIR};VANTREL_RUN_DIR=${VANTREL_RUN_DIR}")
  if(A_ENV)
    list(APPEND env ${A_ENV})
  endif()
  # gtest_discover_tests cannot carry a list-valued ENVIRONMENT property, so
  # the environment travels as the test launcher: `env A=1 B=2 <test>`.
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "/usr/bin/env;${env}")
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${workdir}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${A_LABEL} TIMEOUT ${A_TIMEOUT})
endfunction()

# A libFuzzer target (builds with VANTREL_BUILD_FUZZ only, which need clang), run by CTest
# under the label fuzz for a bounded time from its seed corpus.
#   vantrel_fuzz(name SOURCES ... LIBS ... [CORPUS dir] [SECONDS n])
# The CORPUS folder may be generated at build time; it is created if missing.
function(vantrel_fuzz name)
  if(NOT VANTREL_BUILD_FUZZ)
    return()
  endif()
  cmake_parse_arguments(A "" "CORPUS;SECONDS" "SOURCES;LIBS" ${ARGN})
  if(NOT A_SECONDS)
    set(A_SECONDS 60)
  endif()
  if(DEFINED ENV{VANTREL_FUZZ_SECONDS})
    set(A_SECONDS $ENV{VANTREL_FUZZ_SECONDS})
  endif()
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${A_LIBS})
  if(NOT A_CORPUS)
    set(A_CORPUS ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
  endif()
  set(workdir ${CMAKE_BINARY_DIR}/testwork/${name})
  file(MAKE_DIRECTORY ${workdir} ${A_CORPUS})
  # Findings go to workdir; the corpus folder is only read (a copy grows in workdir).
  add_test(NAME ${name}
    COMMAND sh -c "mkdir -p corpus && cp -r '${A_CORPUS}/.' corpus/ 2>/dev/null; exec '$<TARGET_FILE:${name}>' -max_total_time=${A_SECONDS} -rss_limit_mb=2048 -timeout=20 -print_final_stats=1 corpus"
    WORKING_DIRECTORY ${workdir})
  math(EXPR limit "${A_SECONDS} + 120")
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT ${limit}
    ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;SDL_VIDEODRIVER=dummy")
endfunction()
