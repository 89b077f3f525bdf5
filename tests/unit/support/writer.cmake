# The SWF writer's own checks: what it writes must read back as the format says.
orvane_add_gtest(orvane_swfwriter_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/SwfWriterTest.cpp
  LIBS orvane_swfwriter
  LABELS asan)
add_dependencies(asan_suite orvane_swfwriter_tests)
