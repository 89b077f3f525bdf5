orvane_add_gtest(engine_io_tests SOURCES IoTest.cpp LIBS swf_io PkgConfig::LZMA ZLIB::ZLIB LABELS asan)
add_dependencies(asan_suite engine_io_tests)
