# End-to-end tests: the real velmora.exe beside simhost.exe under Wine, read and driven
# from outside by the probe. Included by the Windows build (x86_64) when tests are on.
set(E2E_DIR ${CMAKE_SOURCE_DIR}/tests/e2e)

add_library(probe_lib STATIC ${E2E_DIR}/probe.cpp)
target_include_directories(probe_lib PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(probe_lib PUBLIC comctl32 user32 kernel32)

# Loaded into Velmora by the probe for the calls that must be made inside it.
add_library(velmora_probe SHARED ${E2E_DIR}/probe_dll.cpp)
set_target_properties(velmora_probe PROPERTIES PREFIX "" OUTPUT_NAME velmora_probe)
target_include_directories(velmora_probe PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(velmora_probe PRIVATE comctl32 user32 kernel32)

add_executable(probe ${E2E_DIR}/probe_main.cpp)
target_link_libraries(probe PRIVATE probe_lib)
add_dependencies(probe velmora_probe)

file(GLOB E2E_TESTS CONFIGURE_DEPENDS ${E2E_DIR}/*_test.cpp)
if(E2E_TESTS AND TARGET velmora)
  add_executable(e2e_tests ${E2E_TESTS} ${E2E_DIR}/e2e_support.cpp
                         ${E2E_DIR}/scene_fixture.cpp)
  target_link_libraries(e2e_tests PRIVATE probe_lib velmora_pure simhost_pure gtest gtest_main)
  add_dependencies(e2e_tests velmora velmora_probe)
  if(TARGET simhost)
    add_dependencies(e2e_tests simhost)
  endif()
  add_test(NAME wine_e2e_tests COMMAND e2e_tests)
  # Alone: another test's simulator window in the same Wine session would be found by
  # the Velmora under test.
  set_tests_properties(wine_e2e_tests PROPERTIES
    ENVIRONMENT "VELMORA_BIN=${CMAKE_BINARY_DIR}" TIMEOUT 900 RUN_SERIAL TRUE)
endif()

# The soak: Velmora driven for a long run beside simhost's live traffic, its objects,
# handles and memory sampled from outside (scripts/soak.sh runs the long one).
if(TARGET velmora AND TARGET simhost)
  add_executable(soak ${E2E_DIR}/soak_main.cpp ${E2E_DIR}/e2e_support.cpp)
  target_link_libraries(soak PRIVATE probe_lib)
  add_dependencies(soak velmora simhost)
  add_test(NAME wine_soak_short COMMAND soak 3000)
  # Alone, like the end-to-end tests: it looks for the one simulator window.
  set_tests_properties(wine_soak_short PROPERTIES TIMEOUT 900 RUN_SERIAL TRUE)
endif()

# The icon in the repository is exactly what its script draws.
find_program(PYTHON3 python3)
if(PYTHON3)
  add_test(NAME icon_matches_source
    COMMAND ${PYTHON3} ${CMAKE_SOURCE_DIR}/shell/velmora_icon.py --check
            ${CMAKE_SOURCE_DIR}/shell/velmora.ico)
endif()
