# Movie load-and-play fuzz target. g++ has no libFuzzer: the plain-program form
# replays the seed corpus, under the sanitizers in the asan suite.
add_executable(fuzz_loadplay FuzzLoadPlay.cpp)
target_link_libraries(fuzz_loadplay PRIVATE swf_player)
add_test(NAME fuzz_loadplay_corpus COMMAND fuzz_loadplay ${CMAKE_CURRENT_SOURCE_DIR}/corpus/loadplay)
set_tests_properties(fuzz_loadplay_corpus PROPERTIES LABELS "fuzz;asan")
add_dependencies(asan_suite fuzz_loadplay)
