# varnokel_object_library(NAME SOURCES...): one folder's plain C++ sources,
# compiled once and linked into `core` and into the tests of that folder.
function(varnokel_object_library name)
  add_library(${name} OBJECT ${ARGN})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
endfunction()

# varnokel_gtest(NAME SOURCES... LIBS libs...): a GoogleTest executable run by CTest.
function(varnokel_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  find_package(GTest REQUIRED)
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    VARNOKEL_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    VARNOKEL_PROGRAM_DIR="${VARNOKEL_PROGRAM_DIR}")
  add_test(NAME ${name} COMMAND ${name})
endfunction()

# Adds each listed subfolder that has a CMakeLists.txt (folders are owned by
# different parts of the program and appear as they are written).
function(varnokel_add_present_subdirectories)
  foreach(dir ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()
