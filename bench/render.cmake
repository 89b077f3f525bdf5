# Renderer benchmarks: the heavy movie for `orvane-tool bench` and a Google Benchmark of
# shape-to-path conversion and cached drawing.
add_executable(orvane_render_bench_movie ${CMAKE_CURRENT_LIST_DIR}/RenderBenchMovie.cpp)
target_link_libraries(orvane_render_bench_movie PRIVATE orvane_swfwriter)

add_executable(orvane_bench_render ${CMAKE_CURRENT_LIST_DIR}/BenchRender.cpp)
target_link_libraries(orvane_bench_render PRIVATE swf_render benchmark::benchmark)

# `cmake --build <dir> --target render_bench_movies` writes <dir>/bench/render-<kind>.swf for
# each kind of RenderBenchMovie.cpp (render-heavy.swf is the first benchmark movie); see
# bench/README.md for the runs. render_heavy_swf still writes the first alone.
set(ORVANE_RENDER_BENCH_KINDS heavy distinct turning cartoon bitmaps still)
set(ORVANE_RENDER_BENCH_MOVIES)
foreach(kind IN LISTS ORVANE_RENDER_BENCH_KINDS)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/render-${kind}.swf)
  add_custom_command(OUTPUT ${out}
    COMMAND orvane_render_bench_movie ${out} --kind ${kind}
    DEPENDS orvane_render_bench_movie
    COMMENT "Writing the ${kind} renderer benchmark movie")
  list(APPEND ORVANE_RENDER_BENCH_MOVIES ${out})
endforeach()
add_custom_target(render_heavy_swf DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/render-heavy.swf)
add_custom_target(render_bench_movies DEPENDS ${ORVANE_RENDER_BENCH_MOVIES})
