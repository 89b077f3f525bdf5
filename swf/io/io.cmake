# swf_io: bounded byte/bit readers, capped zlib/LZMA decompression and a streaming body reader.
add_library(swf_io STATIC Decompress.cpp BodyStream.cpp)
target_include_directories(swf_io PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(swf_io PUBLIC ZLIB::ZLIB PkgConfig::LZMA)
