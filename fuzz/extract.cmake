# Projector extraction fuzz target: arbitrary program bytes through the player's own
# extraction. Without libFuzzer (g++) the plain-program form replays the seed corpus, under
# the sanitizers in the asan suite.
add_executable(fuzz_extract ${CMAKE_CURRENT_LIST_DIR}/FuzzExtract.cpp)
target_link_libraries(fuzz_extract PRIVATE orvane_shell_core)
add_test(NAME fuzz_extract_corpus COMMAND fuzz_extract ${CMAKE_CURRENT_SOURCE_DIR}/corpus/extract)
set_tests_properties(fuzz_extract_corpus PROPERTIES LABELS "fuzz;asan")
add_dependencies(asan_suite fuzz_extract)
