# Interpreter benchmarks (Google Benchmark); not part of ctest. Items/s in the
# output are actions (or lookups) per second.
add_executable(bench_avm1 ${CMAKE_CURRENT_LIST_DIR}/BenchAvm1.cpp)
target_link_libraries(bench_avm1 PRIVATE swf_avm1_interp orvane_avm1asm benchmark::benchmark)
