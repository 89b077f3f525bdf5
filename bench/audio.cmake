# Sound benchmarks: `orvane_bench_audio [--seconds N]` prints the CPU share of decoding and
# mixing eight MP3 streams and how far the frame clock strays from the audio clock.
if(TARGET swf_audio)
  add_executable(orvane_bench_audio ${CMAKE_CURRENT_LIST_DIR}/BenchAudio.cpp)
  target_link_libraries(orvane_bench_audio PRIVATE swf_audio swf_player orvane_swfwriter)
endif()
