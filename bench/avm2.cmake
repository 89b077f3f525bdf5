# ActionScript 3 machine benchmarks (Google Benchmark); not part of ctest. Items/s are
# instructions (or property reads) per second.
add_executable(bench_avm2 ${CMAKE_CURRENT_LIST_DIR}/BenchAvm2.cpp)
target_link_libraries(bench_avm2 PRIVATE swf_avm2 swf_session orvane_abcasm benchmark::benchmark)
