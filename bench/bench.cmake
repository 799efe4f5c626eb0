# Benchmarks. Natively, Google Benchmark over the pure code: row texts, the sort by the
# comparator, the request block, simhost's walk (velmora_bench). For Windows x86_64, the
# timing harness that runs the real refresh against simhost under Wine (refresh_bench).
# scripts/bench.sh builds and runs both and prints one table.
if(WIN32)
  add_executable(refresh_bench ${CMAKE_SOURCE_DIR}/bench/refresh_bench_win32.cpp
                 ${SHELL_RESOURCES})
  target_link_libraries(refresh_bench PRIVATE velmora_win32 psapi)
  add_dependencies(refresh_bench velmora simhost)
else()
  find_package(benchmark QUIET)
  if(benchmark_FOUND)
    add_executable(velmora_bench ${CMAKE_SOURCE_DIR}/bench/table_bench.cpp
                   ${CMAKE_SOURCE_DIR}/bench/link_bench.cpp ${CMAKE_SOURCE_DIR}/bench/sim_bench.cpp)
    target_link_libraries(velmora_bench PRIVATE velmora_pure simhost_pure
                          benchmark::benchmark benchmark::benchmark_main)
  else()
    message(STATUS "Google Benchmark not found: no native benchmarks (install libbenchmark-dev)")
  endif()
endif()
