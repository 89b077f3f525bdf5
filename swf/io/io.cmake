# swf_io: bounded byte/bit readers and capped zlib/LZMA decompression.
add_library(swf_io STATIC Decompress.cpp)
target_include_directories(swf_io PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(swf_io PUBLIC ZLIB::ZLIB PkgConfig::LZMA)
