# libFuzzer targets (clang only), in a build folder of their own:
#   cmake -S . -B build/fuzz -G Ninja -DVELMORA_FUZZ=ON -DVELMORA_TESTS=OFF \
#         -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
# scripts/fuzz.sh configures, builds and runs them on their seed corpus.
#
# Included from the top-level CMakeLists.txt before the libraries are defined, so that
# the code under test is built with the same coverage instrumentation and sanitizers
# as the targets themselves.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "VELMORA_FUZZ needs clang (set CMAKE_CXX_COMPILER=clang++)")
endif()
if(WIN32)
  message(FATAL_ERROR "VELMORA_FUZZ is a native build")
endif()

add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                    -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)

foreach(target fuzz_snapshot fuzz_settings fuzz_server fuzz_scenario)
  add_executable(${target} ${CMAKE_SOURCE_DIR}/fuzz/${target}.cpp)
  target_link_libraries(${target} PRIVATE simhost_pure velmora_pure)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  # The checks of the target itself are no coverage to steer by, and tracing their
  # comparisons would cost more than the code under test.
  target_compile_options(${target} PRIVATE -fno-sanitize=fuzzer-no-link)
endforeach()

# Writes the seed corpus kept in fuzz/corpus (run by hand after a change of the formats).
add_executable(make_seeds ${CMAKE_SOURCE_DIR}/fuzz/make_seeds.cpp)
target_link_libraries(make_seeds PRIVATE simhost_pure velmora_pure)
