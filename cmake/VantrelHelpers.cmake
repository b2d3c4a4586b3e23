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
  # Windows: the system's headers behind platform/'s names come first.
  if(VANTREL_SYSTEM_HEADERS)
    target_include_directories(${name} BEFORE PUBLIC ${VANTREL_SYSTEM_HEADERS})
  endif()
  if(A_LIBS)
    target_link_libraries(${name} PUBLIC ${A_LIBS})
  endif()
  # Fuzz builds: every library of ours reports coverage, so that a fuzz target
  # sees the code it drives and not only its own source. Whatever links one
  # gets a runtime that carries the coverage hooks.
  if(VANTREL_BUILD_FUZZ)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer-no-link)
    target_link_options(${name} INTERFACE -fsanitize=fuzzer-no-link)
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
  # One shader cache for the whole suite, in the build tree, not the user's.
  set(env "VANTREL_SOURCE_DIR=${PROJECT_SOURCE_DIR};VANTREL_BINARY_DIR=${CMAKE_BINARY_DIR};VANTREL_RUN_DIR=${VANTREL_RUN_DIR}"
          "XDG_CACHE_HOME=${CMAKE_BINARY_DIR}/testwork/cache")
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

# A libFuzzer entry point (LLVMFuzzerTestOneInput in SOURCES), in two forms:
#   vantrel_fuzz(name SOURCES ... LIBS ... FLOOR n [SEEDS dir...] [REPLAY dir...] [SECONDS n])
# - fuzz builds (VANTREL_BUILD_FUZZ, clang): the libFuzzer target, run by CTest
#   under the label fuzz through scripts/fuzz-run for a bounded time from the
#   SEEDS and REPLAY folders; any finding, or a final coverage below FLOOR, fails;
# - every build: name_replay, the same entry point fed every file of the
#   REPLAY folders (found inputs kept as regressions, real files) by a plain
#   main, under the label unit.
# SEEDS folders may be generated at build time; they are created if missing.
function(vantrel_fuzz name)
  cmake_parse_arguments(A "" "FLOOR;SECONDS" "SOURCES;LIBS;SEEDS;REPLAY" ${ARGN})
  set(workdir ${CMAKE_BINARY_DIR}/testwork/${name})
  if(A_REPLAY)
    add_executable(${name}_replay ${A_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/FuzzReplayMain.cpp)
    target_include_directories(${name}_replay PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${name}_replay PRIVATE ${A_LIBS})
    file(MAKE_DIRECTORY ${workdir}_replay)
    add_test(NAME ${name}_replay COMMAND ${name}_replay ${A_REPLAY} WORKING_DIRECTORY ${workdir}_replay)
    set_tests_properties(${name}_replay PROPERTIES LABELS unit TIMEOUT 120 ENVIRONMENT SDL_VIDEODRIVER=dummy)
  endif()
  if(NOT VANTREL_BUILD_FUZZ)
    return()
  endif()
  if(NOT DEFINED A_FLOOR)
    message(FATAL_ERROR "vantrel_fuzz(${name}): FLOOR (the least coverage a run must reach) is required")
  endif()
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
  file(MAKE_DIRECTORY ${workdir} ${A_SEEDS})
  add_test(NAME ${name}
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/fuzz-run ${name} $<TARGET_FILE:${name}> ${A_FLOOR} ${A_SECONDS}
      ${A_SEEDS} ${A_REPLAY}
    WORKING_DIRECTORY ${workdir})
  math(EXPR limit "${A_SECONDS} + 120")
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT ${limit}
    ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;SDL_VIDEODRIVER=dummy")
endfunction()
