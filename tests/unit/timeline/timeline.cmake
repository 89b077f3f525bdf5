orvane_add_gtest(engine_timeline_tests SOURCES TimelineTest.cpp DisplayObjectTest.cpp PlaceRulesTest.cpp
  LIBS swf_player swf_avm1_host orvane_swfwriter LABELS asan)
add_dependencies(asan_suite engine_timeline_tests)
