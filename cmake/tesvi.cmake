# tesvi_library(NAME DIRS dir... [LIBS lib...])
# A static library of every .cpp directly inside the given directories.
function(tesvi_library name)
  cmake_parse_arguments(ARG "" "" "DIRS;LIBS" ${ARGN})
  set(sources "")
  foreach(dir ${ARG_DIRS})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()

# tesvi_gtest(NAME [LIBS lib...]): one GoogleTest executable of the .cpp files
# in the calling directory, registered with CTest.
function(tesvi_gtest name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${name}_tests ${sources})
  target_link_libraries(${name}_tests PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name}_tests PRIVATE
    TESVI_VECTORS_DIR="${PROJECT_SOURCE_DIR}/../shared/vectors")
  gtest_discover_tests(${name}_tests DISCOVERY_TIMEOUT 60)
endfunction()
