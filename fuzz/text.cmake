# Text field and XML fuzz target (HTML text, style sheets, restrict patterns, editing keys,
# line layout, Flash's XML reader).
if(TARGET swf_avm1_interp)
  add_executable(fuzz_text ${CMAKE_CURRENT_LIST_DIR}/FuzzText.cpp)
  target_link_libraries(fuzz_text PRIVATE swf_avm1_interp swf_text)
  add_test(NAME fuzz_text_corpus COMMAND fuzz_text ${CMAKE_CURRENT_SOURCE_DIR}/corpus/text)
  set_tests_properties(fuzz_text_corpus PROPERTIES LABELS "fuzz;asan")
  add_dependencies(asan_suite fuzz_text)
endif()
