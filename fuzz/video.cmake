# Video decoding fuzz target (damaged packets of every codec, streams without keyframes,
# absurd picture sizes, jumps in any order).
if(TARGET swf_video)
  add_executable(fuzz_video ${CMAKE_CURRENT_LIST_DIR}/FuzzVideo.cpp)
  target_link_libraries(fuzz_video PRIVATE swf_video)
  add_test(NAME fuzz_video_corpus COMMAND fuzz_video ${CMAKE_CURRENT_SOURCE_DIR}/corpus/video)
  set_tests_properties(fuzz_video_corpus PROPERTIES LABELS "fuzz;asan")
  add_dependencies(asan_suite fuzz_video)
endif()
