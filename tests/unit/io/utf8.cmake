# UTF-8 encoding shared by the record readers and the interpreter.
if(TARGET swf_format AND TARGET swf_avm1_interp)
  orvane_add_gtest(engine_utf8_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/Utf8Test.cpp
                   LIBS swf_format swf_avm1_interp LABELS asan)
  add_dependencies(asan_suite engine_utf8_tests)
endif()
