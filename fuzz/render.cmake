# Renderer fuzz target: load, play 20 frames, draw each small. g++ has no libFuzzer: the
# plain-program form replays the seed corpus (plus cut and bit-flipped variants), under
# the sanitizers in the asan suite.
if(TARGET swf_player)
  add_executable(fuzz_render ${CMAKE_CURRENT_LIST_DIR}/FuzzRender.cpp)
  target_link_libraries(fuzz_render PRIVATE swf_render)
  add_test(NAME fuzz_render_corpus COMMAND fuzz_render ${CMAKE_CURRENT_SOURCE_DIR}/corpus/render)
  set_tests_properties(fuzz_render_corpus PROPERTIES LABELS "fuzz;asan" ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  add_dependencies(asan_suite fuzz_render)
endif()
