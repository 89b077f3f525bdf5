# The main window, driven through its handlers and through mouse events.
orvane_add_qtest(orvane_mainform_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/MainFormTest.cpp ${CMAKE_CURRENT_LIST_DIR}/PlayerTestSupport.h
  LIBS orvane_mainform orvane_swfwriter
  LABELS asan)
add_dependencies(asan_suite orvane_mainform_tests)
