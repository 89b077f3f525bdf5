# Text field layout and HTML reading over 1 MB of text.
add_executable(orvane_bench_text ${CMAKE_CURRENT_LIST_DIR}/BenchText.cpp)
target_link_libraries(orvane_bench_text PRIVATE swf_text benchmark::benchmark)
