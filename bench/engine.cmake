# Engine benchmarks (Google Benchmark); not part of ctest.
add_executable(bench_engine BenchEngine.cpp)
target_link_libraries(bench_engine PRIVATE swf_player orvane_swfwriter benchmark::benchmark)
