# swf_media: bitmap decoding (through QImage and zlib) for the renderer.
add_library(swf_media STATIC
  ${CMAKE_CURRENT_LIST_DIR}/BitmapDecoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BitmapCache.cpp)
target_include_directories(swf_media PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(swf_media PUBLIC Qt6::Gui PRIVATE ZLIB::ZLIB)
