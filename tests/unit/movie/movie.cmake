orvane_add_gtest(engine_movie_tests SOURCES MovieTest.cpp LIBS swf_player orvane_swfwriter ZLIB::ZLIB LABELS asan)
add_dependencies(asan_suite engine_movie_tests)
