# Native (Linux) build: pure code, unit tests, benchmarks.
if(VELMORA_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
  file(GLOB UNIT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
  add_executable(unit_tests ${UNIT_TESTS})
  target_link_libraries(unit_tests PRIVATE velmora_pure simhost_pure GTest::gtest GTest::gtest_main)
  gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 60)
endif()

if(EXISTS ${CMAKE_SOURCE_DIR}/bench/bench.cmake)
  include(${CMAKE_SOURCE_DIR}/bench/bench.cmake)
endif()
