# swf_video: video decoding (FFmpeg's libavcodec and libswscale) into the pictures video
# objects show. No Qt: the renderer draws the pictures like any other object's pixels.
add_library(swf_video STATIC
  ${CMAKE_CURRENT_LIST_DIR}/VideoCodec.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VideoDecoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EmbeddedVideo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VideoEngine.cpp)
target_include_directories(swf_video PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(swf_video PUBLIC swf_player swf_timeline swf_movie swf_format PRIVATE PkgConfig::FFMPEG)
