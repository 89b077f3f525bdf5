# Video benchmarks: `orvane_bench_video [--seconds N] [--long-seconds N] [--jumps N]` prints
# decode-and-draw speed against real time and the time of random jumps in a long stream.
if(TARGET swf_video)
  add_executable(orvane_bench_video ${CMAKE_CURRENT_LIST_DIR}/BenchVideo.cpp)
  target_link_libraries(orvane_bench_video PRIVATE swf_session swf_video swf_render)
endif()
