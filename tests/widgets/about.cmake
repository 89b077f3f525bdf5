# The About box and the platform figures behind it.
orvane_add_qtest(orvane_about_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/AboutFormTest.cpp
  LIBS orvane_about orvane_platform orvane_version_note
  LABELS asan)
add_dependencies(asan_suite orvane_about_tests)
