# Soak benchmark (Google Benchmark); not part of ctest: an hour of a looping, script-heavy
# movie on the virtual clock, with resident memory that must stay flat.
if(TARGET swf_session AND TARGET orvane_avm1asm)
  add_executable(bench_soak ${CMAKE_CURRENT_LIST_DIR}/BenchSoak.cpp)
  target_link_libraries(bench_soak PRIVATE swf_session orvane_swfwriter orvane_avm1asm benchmark::benchmark)
endif()
