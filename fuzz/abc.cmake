# ActionScript 3 fuzz target: hostile ABC through the machine and the player. Without
# libFuzzer the plain program replays the corpus and flipped assembled programs, under
# the sanitizers in the asan suite.
add_executable(fuzz_abc ${CMAKE_CURRENT_LIST_DIR}/FuzzAbc.cpp)
target_link_libraries(fuzz_abc PRIVATE swf_session orvane_abcasm)
add_test(NAME fuzz_abc_corpus COMMAND fuzz_abc ${CMAKE_CURRENT_SOURCE_DIR}/corpus/abc)
set_tests_properties(fuzz_abc_corpus PROPERTIES LABELS "fuzz;asan")
add_dependencies(asan_suite fuzz_abc)
