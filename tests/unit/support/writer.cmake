# The SWF writer's own checks: what it writes must read back as the format says.
orvane_add_gtest(orvane_swfwriter_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/SwfWriterTest.cpp
  LIBS orvane_swfwriter
  LABELS asan)
add_dependencies(asan_suite orvane_swfwriter_tests)
# The per-test entries that gtest discovery makes do not carry the asan label, so in the
# sanitizer build the whole executable also runs as one test that does.
if(ORVANE_SANITIZE)
  add_test(NAME orvane_swfwriter_tests.all COMMAND orvane_swfwriter_tests)
  set_tests_properties(orvane_swfwriter_tests.all PROPERTIES LABELS asan)
endif()
