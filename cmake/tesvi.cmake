# tesvi_library(NAME DIRS dir... [LIBS lib...])
# A static library of every .cpp directly inside the given directories. A
# directory without sources stops the configuration: a renamed folder must not
# silently drop its library.
function(tesvi_library name)
  cmake_parse_arguments(ARG "" "" "DIRS;LIBS" ${ARGN})
  set(sources "")
  foreach(dir ${ARG_DIRS})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
    if(NOT found)
      message(FATAL_ERROR "${name}: no sources in ${CMAKE_CURRENT_SOURCE_DIR}/${dir}")
    endif()
    list(APPEND sources ${found})
  endforeach()
  # Files named *_avx2.cpp and *_avx512.cpp hold kernels chosen at run time
  # (common/target_avx2.hpp, target_avx512.hpp); off x86-64 they are left out.
  if(NOT CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    list(FILTER sources EXCLUDE REGEX "_avx(2|512)\\.cpp$")
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()

# tesvi_gtest(NAME [LIBS lib...]): one GoogleTest executable of the .cpp files
# in the calling directory, registered with CTest. A suite without sources or
# with a library that is not built stops the configuration rather than
# dropping its tests.
function(tesvi_gtest name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    message(FATAL_ERROR "${name} tests: no sources in ${CMAKE_CURRENT_SOURCE_DIR}")
  endif()
  foreach(lib ${ARG_LIBS})
    if(NOT TARGET ${lib})
      message(FATAL_ERROR "${name} tests: ${lib} is not built")
    endif()
  endforeach()
  add_executable(${name}_tests ${sources})
  target_link_libraries(${name}_tests PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name}_tests PRIVATE
    TESVI_VECTORS_DIR="${PROJECT_SOURCE_DIR}/tests/vectors")
  gtest_discover_tests(${name}_tests DISCOVERY_TIMEOUT 60)
endfunction()
