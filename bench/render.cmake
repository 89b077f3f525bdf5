# Renderer benchmarks: the heavy movie for `orvane-tool bench` and a Google Benchmark of
# shape-to-path conversion and cached drawing.
add_executable(orvane_render_bench_movie ${CMAKE_CURRENT_LIST_DIR}/RenderBenchMovie.cpp)
target_link_libraries(orvane_render_bench_movie PRIVATE orvane_swfwriter)

add_executable(orvane_bench_render ${CMAKE_CURRENT_LIST_DIR}/BenchRender.cpp)
target_link_libraries(orvane_bench_render PRIVATE swf_render benchmark::benchmark)

# `cmake --build <dir> --target render_heavy_swf` writes <dir>/bench/render-heavy.swf for
# `orvane-tool bench <dir>/bench/render-heavy.swf --frames 10000`.
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/render-heavy.swf
  COMMAND orvane_render_bench_movie ${CMAKE_CURRENT_BINARY_DIR}/render-heavy.swf
  DEPENDS orvane_render_bench_movie
  COMMENT "Writing the heavy renderer benchmark movie")
add_custom_target(render_heavy_swf DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/render-heavy.swf)
