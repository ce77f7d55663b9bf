# The plain C++ model library and its tests alone, without Qt: the part of the
# program that is cross-built for Windows and run under wine. GoogleTest is
# built from the source that Debian's googletest package installs.
add_subdirectory(src/model)
if(RKT_BUILD_TESTS)
  enable_testing()
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  file(GLOB model_test_sources ${PROJECT_SOURCE_DIR}/tests/model/*.cpp)
  add_executable(model_tests ${model_test_sources})
  target_link_libraries(model_tests PRIVATE rkt_model GTest::gtest GTest::gtest_main)
  target_compile_definitions(model_tests PRIVATE RKT_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  target_include_directories(model_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  add_test(NAME WindowsModel.AllTests COMMAND model_tests)
endif()
