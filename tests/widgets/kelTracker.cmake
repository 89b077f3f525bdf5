# Slider control: layout numbers, pointer sequences and painted pixels.
if(TARGET orvane_controls)
  orvane_add_qtest(kelTrackerTest
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/kelTrackerTest.cpp
    LIBS orvane_controls
    LABELS asan)
  add_dependencies(asan_suite kelTrackerTest)
endif()
