# SPDX-License-Identifier: GPL-3.0-or-later
# varnokel_object_library(NAME SOURCES...): one folder's plain C++ sources,
# compiled once and linked into `core` and into the tests of that folder.
function(varnokel_object_library name)
  add_library(${name} OBJECT ${ARGN})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
endfunction()

# varnokel_gtest(NAME SOURCES... LIBS libs...): a GoogleTest executable run by
# CTest, with the test build's file calls (base/file_calls_testing.h).
function(varnokel_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  find_package(GTest REQUIRED)
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE core_file_calls_testing ${T_LIBS} GTest::gtest
                                        GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    VARNOKEL_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    VARNOKEL_PROGRAM_DIR="${VARNOKEL_PROGRAM_DIR}")
  add_test(NAME ${name} COMMAND ${name})
endfunction()

# varnokel_fuzz_target(NAME SOURCES... MAX_LEN n [SEEDS dir]): a libFuzzer
# executable (clang only) whose sources are compiled into it, so that they carry
# the fuzzer's coverage instrumentation, and a CTest entry that fuzzes for a
# bounded time. New inputs go to a corpus folder in the build; seeds are only read.
function(varnokel_fuzz_target name)
  cmake_parse_arguments(F "" "MAX_LEN;SEEDS" "SOURCES" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined
                                         -fno-sanitize-recover=all)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  set(corpus ${CMAKE_BINARY_DIR}/tests/${name}_corpus)
  file(MAKE_DIRECTORY ${corpus})
  add_test(NAME ${name}
           COMMAND ${name} -max_total_time=20 -timeout=5 -rss_limit_mb=2048
                   -max_len=${F_MAX_LEN} ${corpus} ${F_SEEDS})
endfunction()

# varnokel_embed_texts(TARGET HEADER NAMESPACE FILES...): HEADER (a path below
# the build folder, included as its path relative to it) holds the bytes of
# each file unchanged as a std::string_view constant, remade by
# tools/embed_text whenever a file changes; TARGET is built after it.
function(varnokel_embed_texts target header name_space)
  add_custom_command(
    OUTPUT ${header}
    COMMAND varnokel-embed-text ${header} ${name_space} ${ARGN}
    DEPENDS varnokel-embed-text ${ARGN}
    COMMENT "Embedding ${header}"
    VERBATIM)
  target_sources(${target} PRIVATE ${header})
  target_include_directories(${target} PUBLIC ${CMAKE_BINARY_DIR})
endfunction()
