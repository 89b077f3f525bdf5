# Sound decoding and mixing fuzz target (damaged MP3, ADPCM and PCM data, absurd counts).
if(TARGET swf_audio)
  add_executable(fuzz_sound FuzzSound.cpp)
  target_link_libraries(fuzz_sound PRIVATE swf_audio)
  add_test(NAME fuzz_sound_corpus COMMAND fuzz_sound ${CMAKE_CURRENT_SOURCE_DIR}/corpus/sound)
  set_tests_properties(fuzz_sound_corpus PROPERTIES LABELS "fuzz;asan")
  add_dependencies(asan_suite fuzz_sound)
endif()
