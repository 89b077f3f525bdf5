# Renderer benchmarks: the heavy movie for `orvane-tool bench` and a Google Benchmark of
# shape-to-path conversion and cached drawing.
add_executable(orvane_render_bench_movie ${CMAKE_CURRENT_LIST_DIR}/RenderBenchMovie.cpp)
target_link_libraries(orvane_render_bench_movie PRIVATE orvane_swfwriter)

add_executable(orvane_bench_render ${CMAKE_CURRENT_LIST_DIR}/BenchRender.cpp)
target_link_libraries(orvane_bench_render PRIVATE swf_render benchmark::benchmark)
