# Windows build (MinGW-w64): the programs, and the tests that run under Wine.
add_link_options(-static -static-libgcc -static-libstdc++)
add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601 WINVER=0x0601)

# The Win32 half of the program, everything but the entry point, so tests can link it.
add_library(velmora_win32 STATIC ${LINK_WIN32} ${TABLE_WIN32} ${SHELL_WIN32} ${PRINT_WIN32}
            ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
target_link_libraries(velmora_win32 PUBLIC velmora_pure comctl32 comdlg32 gdi32 user32 kernel32)

if(EXISTS ${SHELL_ENTRY})
  add_executable(velmora WIN32 ${SHELL_ENTRY} ${SHELL_RESOURCES})
  # windres writes no dependency file: name what the resource script pulls in.
  file(GLOB SHELL_RESOURCE_INPUTS CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/shell/*.ico ${CMAKE_SOURCE_DIR}/shell/*.manifest)
  set_source_files_properties(${SHELL_RESOURCES} PROPERTIES OBJECT_DEPENDS
                              "${SHELL_RESOURCE_INPUTS}")
  target_link_libraries(velmora PRIVATE velmora_win32)
endif()

if(SIM_WIN32)
  add_executable(simhost WIN32 ${SIM_WIN32})
  target_link_libraries(simhost PRIVATE simhost_pure comctl32 gdi32 user32 kernel32)
endif()

# 32-bit builds are compiled only: such programs do not run on our build machines.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  return()
endif()

if(VELMORA_TESTS)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

  file(GLOB UNIT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
  add_executable(unit_tests ${UNIT_TESTS})
  target_link_libraries(unit_tests PRIVATE velmora_pure simhost_pure gtest gtest_main)
  add_test(NAME wine_unit_tests COMMAND unit_tests)

  file(GLOB WIN32_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win32/*.cpp)
  if(WIN32_TESTS)
    # With the program's resources: the tests open its dialogs from their templates.
    add_executable(win32_tests ${WIN32_TESTS} ${SHELL_RESOURCES})
    target_link_libraries(win32_tests PRIVATE velmora_win32 simhost_pure gtest gtest_main)
    if(TARGET simhost)
      add_dependencies(win32_tests simhost)
    endif()
    add_test(NAME wine_win32_tests COMMAND win32_tests)
    set_tests_properties(wine_win32_tests PROPERTIES
      ENVIRONMENT "VELMORA_BIN=${CMAKE_BINARY_DIR}" TIMEOUT 900)
  endif()

  if(EXISTS ${CMAKE_SOURCE_DIR}/tests/e2e/e2e.cmake)
    include(${CMAKE_SOURCE_DIR}/tests/e2e/e2e.cmake)
  endif()

  # The tests that print do it for real, into a CUPS-PDF queue that this fixture sets
  # up before them and takes down after them, one at a time as they share it. The
  # queue is this build's own (other builds may print at the same time), and the tests
  # find it through PRINTER; its PDFs land in the fixture's folder.
  string(MD5 build_hash "${CMAKE_BINARY_DIR}")
  string(SUBSTRING "${build_hash}" 0 8 build_hash)
  set(PRINT_QUEUE "Velmora-PDF-${build_hash}")
  set(PRINT_STATE "${CMAKE_BINARY_DIR}/cups-pdf")
  add_test(NAME cups_pdf_start
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/cups-pdf.sh start ${PRINT_STATE} ${PRINT_QUEUE})
  add_test(NAME cups_pdf_stop COMMAND ${CMAKE_SOURCE_DIR}/scripts/cups-pdf.sh stop ${PRINT_STATE})
  set_tests_properties(cups_pdf_start PROPERTIES FIXTURES_SETUP cups_pdf)
  set_tests_properties(cups_pdf_stop PROPERTIES FIXTURES_CLEANUP cups_pdf)
  foreach(t wine_win32_tests wine_e2e_tests)
    if(TEST ${t})
      set_property(TEST ${t} APPEND PROPERTY FIXTURES_REQUIRED cups_pdf)
      set_property(TEST ${t} APPEND PROPERTY RESOURCE_LOCK printer)
      set_property(TEST ${t} APPEND PROPERTY ENVIRONMENT
        VELMORA_SOURCE=${CMAKE_SOURCE_DIR} VELMORA_CUPS_PDF=${PRINT_STATE} PRINTER=${PRINT_QUEUE})
    endif()
  endforeach()

  # Every DLL the programs import must ship with Windows.
  set(CHECKED_PROGRAMS $<TARGET_FILE:unit_tests>)
  foreach(t velmora simhost win32_tests)
    if(TARGET ${t})
      list(APPEND CHECKED_PROGRAMS $<TARGET_FILE:${t}>)
    endif()
  endforeach()
  add_test(NAME windows_imports
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-imports.sh ${CMAKE_OBJDUMP} ${CHECKED_PROGRAMS})
endif()

# The timing harness of the refresh (bench/bench.cmake), 64-bit only like the tests.
if(EXISTS ${CMAKE_SOURCE_DIR}/bench/bench.cmake)
  include(${CMAKE_SOURCE_DIR}/bench/bench.cmake)
endif()
