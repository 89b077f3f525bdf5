# Action interpreter fuzz target. Without libFuzzer (g++) the plain-program form
# replays the seed corpus (and every prefix of each seed), under the sanitizers in
# the asan suite.
add_executable(fuzz_actions ${CMAKE_CURRENT_LIST_DIR}/FuzzActions.cpp
                            ${PROJECT_SOURCE_DIR}/tests/unit/avm1/FakeClipHost.cpp)
target_include_directories(fuzz_actions PRIVATE ${PROJECT_SOURCE_DIR}/tests/unit/avm1)
target_link_libraries(fuzz_actions PRIVATE swf_avm1_interp)
if(TARGET swf_avm1_host AND TARGET swf_player)
  target_link_libraries(fuzz_actions PRIVATE swf_avm1_host swf_player)
  target_compile_definitions(fuzz_actions PRIVATE ORVANE_FUZZ_WITH_PLAYER)
endif()
add_test(NAME fuzz_actions_corpus COMMAND fuzz_actions ${CMAKE_CURRENT_SOURCE_DIR}/corpus/actions)
set_tests_properties(fuzz_actions_corpus PROPERTIES LABELS "fuzz;asan")
add_dependencies(asan_suite fuzz_actions)
