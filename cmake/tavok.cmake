# tavok_module(<name> [LIBS <lib>...])
# A static library from every .cpp in the current folder. While a folder has no
# source yet it is an interface library, so others can already name it.
function(tavok_module name)
  cmake_parse_arguments(M "" "" "LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER srcs EXCLUDE REGEX "/main\\.cpp$")
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${M_LIBS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${M_LIBS})
  endif()
endfunction()

# Shared-memory names of test programs carry a short tag of the build folder, so two build
# trees on one machine never share a lock.
string(MD5 TAVOK_BUILD_TAG "${CMAKE_BINARY_DIR}")
string(SUBSTRING "${TAVOK_BUILD_TAG}" 0 8 TAVOK_BUILD_TAG)

# tavok_test(<name> LIBS <lib>... [ENV <VAR=value>...])
# One test program from every .cpp in the current folder, run by CTest.
function(tavok_test name)
  cmake_parse_arguments(T "" "" "LIBS;ENV" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(test_${name} ${srcs})
  target_link_libraries(test_${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  target_compile_definitions(test_${name} PRIVATE TAVOK_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  add_test(NAME ${name} COMMAND test_${name})
  set_tests_properties(${name} PROPERTIES
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    ENVIRONMENT "ALSOFT_DRIVERS=null;TAVOK_SHM_PREFIX=${name}.${TAVOK_BUILD_TAG};${T_ENV}"
    TIMEOUT 600)
endfunction()
