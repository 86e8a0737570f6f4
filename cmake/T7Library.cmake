# t7_library(NAME DIR [DEPS ...]): a static library of every .cpp in DIR
# (not recursive), with the source root on the include path. New files in a
# folder are picked up without touching CMake.
function(t7_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;EXCLUDE" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(ex IN LISTS ARG_EXCLUDE)
    list(REMOVE_ITEM srcs ${CMAKE_CURRENT_SOURCE_DIR}/${ex})
  endforeach()
  if(NOT srcs)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  else()
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
endfunction()

# t7_test_folder(DIR DEPS...): one GoogleTest executable of tests/DIR/*.cpp.
function(t7_test_folder dir)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  string(REPLACE "/" "_" exe "${dir}")
  set(exe "test_${exe}")
  add_executable(${exe} ${srcs})
  target_link_libraries(${exe} PRIVATE t7_test_support ${ARGN} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${exe} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "T7_SOURCE_DIR=${PROJECT_SOURCE_DIR};T7_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()
