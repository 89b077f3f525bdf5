# Extraction throughput and memory: `orvane_bench_extract [--mb N]` prints one line.
add_executable(orvane_bench_extract ${CMAKE_CURRENT_LIST_DIR}/BenchExtract.cpp)
target_link_libraries(orvane_bench_extract PRIVATE orvane_shell_core)
